// The whole road with a patch: the service makes a patch from the package the agent kept, the
// agent fetches only the patch and records the package it rebuilt, byte for byte the one a
// whole download gives.

#include <gtest/gtest.h>

#include <QProcess>

#include <cstring>
#include <filesystem>
#include <iostream>

#include "AppHarness.h"

namespace KDAutoUpdate {
namespace {

constexpr const char* kProduct = "{5D2C7A10-1B3E-4F56-8A9B-0C1D2E3F4A5B}";
// The download folder keeps each product's packages apart.
constexpr const char* kProductFolder =
    "cache/kdautoupdate/downloads/5D2C7A10-1B3E-4F56-8A9B-0C1D2E3F4A5B";

std::string Version(int n) {
    std::string text = "#!/bin/sh\n";
    for (int line = 0; line < 20000; ++line)
        text += "echo " + std::to_string(line % 97 == 0 ? line * n : line) + "\n";
    return text;
}

TEST(DeltaRoad, OnlyThePatchIsFetchedAndThePackageRebuiltIsTheVendors) {
    ProgramCopy vendor;
    std::filesystem::create_directories(vendor.Folder() / "catalogue/packages");
    vendor.WriteFile("catalogue/packages/app-5.0.sh", Version(50));
    vendor.WriteFile("catalogue/packages/app-5.1.sh", Version(51));
    vendor.WriteFile("catalogue/catalogue.xml",
                     std::string("<catalogue><product code=\"") + kProduct +
                         "\" name=\"App\"><message id=\"m51\" name=\"App 5.1\" type=\"exe\" "
                         "toVersion=\"5.1.0\" package=\"app-5.1.sh\"><base package=\"app-5.0.sh\"/>"
                         "</message></product></catalogue>");
    ServiceProcess service(
        {"--catalogue", QString::fromStdString((vendor.Folder() / "catalogue").string())});
    ASSERT_TRUE(service.Started());

    // The agent installed 5.0 from a package it keeps.
    ProgramCopy app;
    const std::string folder = app.Folder().string();
    app.SetEnv("XDG_CACHE_HOME", QString::fromStdString(folder + "/cache"));
    std::filesystem::create_directories(app.Folder() / "kept");
    app.WriteFile("kept/app-5.0.sh", Version(50));
    app.WriteFile("updateinfo.xml", std::string("<?xml version=\"1.0\"?><update-info><product "
                                                "code=\"") +
                                        kProduct + "\" last-package-file=\"" + folder +
                                        "/kept/app-5.0.sh\"/></update-info>");
    const std::string out = app.RunShell(
        "BaseURL = " + service.BaseUrl().toStdString() + "\nProductCode = " + kProduct +
        "\nMajorVer = 5\nCheckMessages bSilent=True bAsync=False\nDisplayMessages\n"
        "wait Page 20000\nanswer dlgAfterDownload optInstallAction(1) cmdOK\n"
        "ui frmMessages click [auButtonType=actionbutton] [forMessage=m51]\n");

    const std::string rebuilt = folder + "/" + kProductFolder + "/app-5.1.sh";
    const std::string store = app.ReadFile("updateinfo.xml");
    EXPECT_NE(store.find("last-update-cmd=\"" + rebuilt + "\""), std::string::npos) << out << store;
    EXPECT_NE(store.find("last-package-file=\"" + rebuilt + "\""), std::string::npos) << store;
    EXPECT_EQ(app.ReadFile(std::string(kProductFolder) + "/app-5.1.sh"), Version(51));

    const QStringList requests = service.Requests();
    const QStringList patches = requests.filter("/deltas/app-5.1.sh.");
    ASSERT_EQ(patches.size(), 1) << requests.join('\n').toStdString();
    EXPECT_TRUE(patches[0].endsWith(" 200"));
    EXPECT_TRUE(requests.filter("/packages/").isEmpty()) << requests.join('\n').toStdString();
    // What went over the wire: the patch, against the whole package.
    const QString target = patches[0].section(' ', 1, 1);
    QString origin = service.BaseUrl();
    origin.chop(static_cast<qsizetype>(std::strlen("/services/autoupdate")));
    QProcess curl;
    curl.start("curl", {"-s", "-o", "/dev/null", "-w", "%{size_download}", origin + target});
    ASSERT_TRUE(curl.waitForFinished(10000));
    const long long patchBytes = curl.readAllStandardOutput().toLongLong();
    const auto fullBytes = static_cast<long long>(Version(51).size());
    EXPECT_GT(patchBytes, 0);
    EXPECT_LE(patchBytes * 10, fullBytes);
    std::cout << "[ figures  ] package " << fullBytes << " bytes, fetched as a patch of "
              << patchBytes << " bytes\n";
}

} // namespace
} // namespace KDAutoUpdate
