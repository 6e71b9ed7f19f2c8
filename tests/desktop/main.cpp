// The desktop tests' own main(): the application prepared as a host prepares it, and Qt
// WebEngine's renderer, as root, without the sandbox.

#include <QApplication>

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/qt/HostPlatform.h"

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    ::testing::InitGoogleTest(&argc, argv);
    KDAutoUpdate::HostPlatform::PrepareDesktopApplication();
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
