// A check loads what it needs and no more: the dynamic loader's own account (LD_DEBUG=libs) of
// a shell that checks the embedded service names no library of the windows, the browser or the
// HTTP service.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "AppHarness.h"

namespace KDAutoUpdate {
namespace {

TEST(LoadedLibraries, ACheckLoadsNeitherWindowsNorBrowserNorHttpService) {
    ServiceProcess service;
    ASSERT_TRUE(service.Started());
    ProgramCopy app;
    const QString trace = QString::fromStdString((app.Folder() / "ld").string());
    app.SetEnv("LD_DEBUG", "libs");
    app.SetEnv("LD_DEBUG_OUTPUT", trace);
    const std::string output =
        app.RunShell("BaseURL = " + service.BaseUrl().toStdString() +
                     "\nProductCode = 6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14\n"
                     "CheckMessages bSilent=True bAsync=False bAuto=False\n");
    ASSERT_NE(output.find("CheckMessages -> True"), std::string::npos) << output;

    QString loaded;
    for (const QString& name :
         QDir(QString::fromStdString(app.Folder().string())).entryList({"ld.*"}, QDir::Files)) {
        QFile file(QString::fromStdString((app.Folder() / name.toStdString()).string()));
        if (file.open(QIODevice::ReadOnly))
            loaded += QString::fromLocal8Bit(file.readAll());
    }
    ASSERT_TRUE(loaded.contains("calling init: ")) << "no loader trace";
    for (const char* library :
         {"libkdautoupdate.so", "libQt6Network.so", "libpugixml.so", "libgumbo.so"})
        EXPECT_TRUE(loaded.contains(library)) << library;
    for (const char* library : {"libQt6Gui.so", "libQt6Widgets.so", "libQt6WebEngineCore.so",
                                "libQt6HttpServer.so", "libkdautoupdate-desktop.so"})
        EXPECT_FALSE(loaded.contains(library)) << library;
}

} // namespace
} // namespace KDAutoUpdate
