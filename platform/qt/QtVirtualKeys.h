#pragma once
// Qt key events in the terms of the browser control's TranslateAccelerator event: Windows
// virtual-key codes (F5 116, Esc 27, 'A' 65) and the modifier state (Shift 1, Ctrl 2, Alt 4).

class QKeyEvent;

namespace KDAutoUpdate {

// The key's virtual-key code; 0 for keys without one. Shifted signs of the digit row give the
// digit's key, the German letters the keys a German layout puts them on.
int WindowsVirtualKey(const QKeyEvent& event);
int WindowsModifierState(const QKeyEvent& event);

} // namespace KDAutoUpdate
