#pragma once
// The WebBrowser control renders a page in an old document mode unless the program that hosts
// it is named under the browser emulation feature key. kdautoupdate.exe shows the service's
// message page in that control, so its registration names it there too.

namespace KDAutoUpdate::BrowserEmulation {

// The feature key's value for IE11 edge mode, whatever the page's doctype says.
constexpr unsigned long kEdgeMode = 11001;

// Writes (or removes) the value named after this program's file name under the feature key of
// the machine (HKLM) or of the user (HKCU). Removing also removes the key when nothing else
// is left in it.
bool Register(bool perUser);
bool Unregister(bool perUser);

} // namespace KDAutoUpdate::BrowserEmulation
