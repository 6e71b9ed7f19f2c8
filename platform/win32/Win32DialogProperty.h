#pragma once
// The window property that marks a top-level window as a dialog: the message loop then gives
// it the dialog keyboard (Tab between controls, Enter and Escape, access keys).

namespace KDAutoUpdate {

inline constexpr wchar_t kDialogProperty[] = L"KDAutoUpdate.Dialog";

} // namespace KDAutoUpdate
