#pragma once
// kdautoupdate.exe as a COM local server: registration of AuAgent and the type library per
// user, and the serving run that COM starts with -Embedding.

#include <string>

namespace KDAutoUpdate {

namespace ComServer {

// Software\Classes of the machine (HKLM) or of the user (HKCU): the class with its
// LocalServer32 (this program), the ProgID "KDAutoUpdate.AuAgent" and the type library
// embedded in this program.
bool Register(bool perUser);
bool Unregister(bool perUser);
// Offers the AuAgent class factory (multiple use) and runs the message loop until a few
// seconds after the last object is released and the last lock is gone. Returns the process
// exit code.
int Serve();

} // namespace ComServer

} // namespace KDAutoUpdate
