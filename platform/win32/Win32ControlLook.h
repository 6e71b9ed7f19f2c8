#pragma once
// How the Win32 renderer's controls show their text and the button strip: the pieces of
// Win32FormView that only draw or measure.

#include <windows.h>

#include <string>

namespace KDAutoUpdate::Win32ControlLook {

// Labels break lines at CR LF; a lone CR or LF is a break too.
std::wstring LabelText(const std::string& text);
std::wstring WindowText(HWND hwnd);
// The width of a control's text in its font, in pixels.
int TextWidth(HWND control, HFONT font);
// The button strip's band: the dialog face a shade darker; one brush for the process.
HBRUSH StripBrush();
// The etched line along the strip's top edge, a child the strip clips.
void AddStripLine(HWND strip);

} // namespace KDAutoUpdate::Win32ControlLook
