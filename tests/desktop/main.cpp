// The desktop tests' own main(): Qt WebEngine takes its URL schemes only before the
// application object exists, and its renderer runs as root only without the sandbox.

#include <QApplication>

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/qt/QtWebBrowserControl.h"

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    ::testing::InitGoogleTest(&argc, argv);
    KDAutoUpdate::QtWebBrowserControl::RegisterSchemes();
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
