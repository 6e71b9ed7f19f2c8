#pragma once
// Helpers shared by the Qt backend tests of the platform test program.

#include <QApplication>

#include "tests/support/FileText.h"
#include "tests/support/qt/CoreApplicationEnvironment.h"

namespace KDAutoUpdate {

// A widget application, as a host has: the network, image plugins and the WebEngine windows
// all need it; the windows share one OpenGL context.
inline const auto* const kQtApplication = [] {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return AddCoreApplication<QApplication>("kdau_tests_platform");
}();

} // namespace KDAutoUpdate
