#pragma once
// A picture of a window as a desktop shows it, for documentation made without a window
// system: the client area under a title bar with the window's icon, caption and the caption
// buttons its flags ask for, inside a thin border.

#include <QImage>

class QWidget;

namespace KDAutoUpdate {

// Null image for a null window.
QImage QtWindowPicture(QWidget* window);

} // namespace KDAutoUpdate
