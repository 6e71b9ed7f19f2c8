// Patches of packages from the earlier packages the catalogue names: made once, named in the
// island with the package's hash, served as files that rebuild the package. (Publish writes the
// same files: the published catalogue's tests compare them with the service's.)

#include "ServiceTestSupport.h"

#include "platform/sodium/SodiumSignatureVerifier.h"
#include "platform/zstd/ZstdPatchApplier.h"
#include "service/Catalogue.h"
#include "service/UpdateService.h"

#include <QDir>
#include <QHostAddress>

#include <gtest/gtest.h>

namespace KDAutoUpdate::Testing {
namespace {

QByteArray Version(int n) {
    QByteArray text = "#!/bin/sh\n";
    for (int line = 0; line < 3000; ++line)
        text += "echo " + QByteArray::number(line % 11 == 0 ? line * n : line) + "\n";
    return text;
}

std::string Sha256(const QString& path) {
    return SodiumSignatureVerifier().FileSha256(path.toStdString()).value_or("");
}

class DeltaPatchesTest : public ::testing::Test {
protected:
    DeltaPatchesTest() {
        catalogue.AddPackage("app-5.0.sh", Version(50));
        catalogue.AddPackage("app-5.0.1.sh", Version(501));
        target = catalogue.AddPackage("app-5.1.sh", Version(51));
        catalogue.AddPackage("other.sh", "#!/bin/sh\n");
        catalogue.WriteCatalogue(R"(<catalogue><product code="{AB}" name="App">
          <message id="m51" name="5.1" type="exe" package="app-5.1.sh">
            <base package="app-5.0.sh"/><feature name="f"/><base package="app-5.0.1.sh"/>
          </message>
          <message id="plain" name="plain" type="exe" package="other.sh"/>
        </product></catalogue>)");
    }
    QString Package(const QString& name) const {
        return QDir(catalogue.Folder()).filePath(QStringLiteral("packages/") + name);
    }

    TempCatalogue catalogue;
    QString target;
};

TEST_F(DeltaPatchesTest, TheServiceNamesAndServesPatchesThatRebuildThePackage) {
    UpdateService service(catalogue.Folder());
    ASSERT_TRUE(service.Start(QHostAddress::LocalHost, 0));
    const HttpResult page = Get(service.BaseUrl() + "/InitUpdate.aspx?ProductCode={AB}");
    ASSERT_EQ(page.status, 200);
    pugi::xml_document document;
    const pugi::xml_node island = IslandOf(page.body, document);
    // Each Delta of m51 rebuilds the package from the base its hash names.
    const pugi::xml_node message = FindElement(island, "Message", "id", "m51");
    EXPECT_EQ(message.attribute("sha256").value(), Sha256(target));
    const QStringList bases{"app-5.0.sh", "app-5.0.1.sh"};
    int count = 0;
    for (const pugi::xml_node delta : message.children("Delta")) {
        ASSERT_LT(count, bases.size());
        const QString base = Package(bases[count]);
        ASSERT_EQ(delta.attribute("base").value(), Sha256(base)) << "in the catalogue's order";
        const QString url = QString::fromUtf8(delta.attribute("path").value());
        EXPECT_TRUE(url.startsWith(service.BaseUrl() + "/deltas/")) << url.toStdString();
        const HttpResult patch = Get(url);
        EXPECT_EQ(patch.status, 200);
        EXPECT_EQ(patch.body.size(), delta.attribute("size").as_llong());
        EXPECT_LT(patch.body.size(), Version(51).size() / 10);
        const QString patchFile = catalogue.Write(QStringLiteral("patch%1").arg(count), patch.body);
        const QString rebuilt = catalogue.Folder() + QStringLiteral("/rebuilt%1").arg(count);
        ASSERT_TRUE(ZstdPatchApplier().ApplyPatch(base.toStdString(), patchFile.toStdString(),
                                                  rebuilt.toStdString(), 1 << 20));
        EXPECT_EQ(Sha256(rebuilt), Sha256(target));
        ++count;
    }
    EXPECT_EQ(count, 2);
    // A package without bases keeps its unsigned form: no hash, no patches.
    const pugi::xml_node plain = FindElement(island, "Message", "id", "plain");
    EXPECT_FALSE(plain.attribute("sha256"));
    EXPECT_FALSE(plain.child("Delta"));
}

TEST_F(DeltaPatchesTest, ABaseMustBeAnotherPackageOfAnInstallableMessage) {
    catalogue.AddPackage("page.html", "<p/>");
    const char* wrong[] = {
        R"(<message id="m" name="m" type="exe" package="app-5.1.sh"><base package="gone.sh"/></message>)",
        R"(<message id="m" name="m" type="exe" package="app-5.1.sh"><base package="app-5.1.sh"/></message>)",
        R"(<message id="m" name="m" type="exe" package="app-5.1.sh"><base package="../app-5.0.sh"/></message>)",
        R"(<message id="m" name="m" type="exe" package="app-5.1.sh"><base file="app-5.0.sh"/></message>)",
        R"(<message id="m" name="m" type="info" package="page.html"><base package="app-5.0.sh"/></message>)",
        R"(<message id="m" name="m" type="exe" package="app-5.1.sh"><base package="app-5.0.sh"/><base package="app-5.0.sh"/></message>)",
    };
    for (const char* message : wrong) {
        catalogue.WriteCatalogue(QByteArray("<catalogue><product code=\"{AB}\" name=\"App\">") +
                                 message + "</product></catalogue>");
        QString error;
        EXPECT_FALSE(Catalogue::Load(catalogue.Folder(), &error)) << message;
        EXPECT_TRUE(error.contains(u"base")) << error.toStdString();
    }
}

} // namespace
} // namespace KDAutoUpdate::Testing
