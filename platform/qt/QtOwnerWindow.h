#pragma once
// The window a form stays above for the owner handle its host gave: a window of this process
// by its id, or on X11 (xcb) any other program's window by its X11 window id. Elsewhere
// (offscreen, Wayland) another program's window cannot be named, and such an owner is ignored.

#include <memory>

#include "platform/FormView.h"

class QWidget;
class QWindow;

namespace KDAutoUpdate::QtOwnerWindow {

// Null when there is no such window or it is `self`'s own. `foreign` keeps the window made
// for another program's id, reused while the id stays the same.
QWindow* Find(WindowHandle owner, const QWidget* self, std::unique_ptr<QWindow>& foreign);

// On X11, names `owner` (0: none) as the window manager's WM_TRANSIENT_FOR of `window`: Qt
// itself does so only for dialogs, and the messages window is a normal one.
void MarkTransientFor(const QWindow& window, WindowHandle owner);

} // namespace KDAutoUpdate::QtOwnerWindow
