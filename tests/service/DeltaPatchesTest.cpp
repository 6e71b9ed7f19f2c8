// Patches of packages from the earlier packages the catalogue names: made once, named in the
// island with the package's hash, served and published as files that rebuild the package.

#include "ServiceTestSupport.h"

#include "platform/sodium/SodiumSignatureVerifier.h"
#include "platform/zstd/ZstdPatchApplier.h"
#include "service/Catalogue.h"
#include "service/CataloguePublisher.h"
#include "service/UpdateService.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTemporaryDir>

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
    QString Package(const char* name) const {
        return QDir(catalogue.Folder()).filePath(QStringLiteral("packages/") + name);
    }
    // Each Delta of the island's m51 rebuilds the package from the base its hash names.
    void ExpectPatchesRebuild(const pugi::xml_node& island,
                              const std::function<QString(const QString&)>& fetch) {
        const pugi::xml_node message = FindElement(island, "Message", "id", "m51");
        EXPECT_EQ(message.attribute("sha256").value(), Sha256(target));
        QStringList bases;
        for (const char* name : {"app-5.0.sh", "app-5.0.1.sh"})
            bases << QString::fromStdString(Sha256(Package(name)));
        int count = 0;
        for (const pugi::xml_node delta : message.children("Delta")) {
            const QString base = QString::fromUtf8(delta.attribute("base").value());
            ASSERT_EQ(base, bases.value(count)) << "in the catalogue's order";
            const QString patch = fetch(QString::fromUtf8(delta.attribute("path").value()));
            EXPECT_EQ(QFileInfo(patch).size(), delta.attribute("size").as_llong());
            EXPECT_LT(QFileInfo(patch).size(), Version(51).size() / 10);
            const QString rebuilt = QDir(scratch.path()).filePath(QString::number(count));
            ZstdPatchApplier applier;
            ASSERT_TRUE(applier.ApplyPatch(
                Package(count == 0 ? "app-5.0.sh" : "app-5.0.1.sh").toStdString(),
                patch.toStdString(), rebuilt.toStdString(), 1 << 20));
            EXPECT_EQ(Sha256(rebuilt), Sha256(target));
            ++count;
        }
        EXPECT_EQ(count, 2);
        // A package without bases keeps its unsigned form: no hash, no patches.
        const pugi::xml_node plain = FindElement(island, "Message", "id", "plain");
        EXPECT_FALSE(plain.attribute("sha256"));
        EXPECT_FALSE(plain.child("Delta"));
    }
    static pugi::xml_node IslandOf(const QByteArray& html, pugi::xml_document& document) {
        const QByteArray open = "<script type=\"text/xml\" id=\"KdAutoUpdate\">";
        const qsizetype begin = html.indexOf(open) + open.size();
        const QByteArray text = html.mid(begin, html.indexOf("</script>", begin) - begin);
        EXPECT_TRUE(document.load_buffer(text.constData(), static_cast<size_t>(text.size())));
        return document.document_element();
    }

    TempCatalogue catalogue;
    QString target;
    QTemporaryDir scratch{QStringLiteral(KDAU_BINARY_DIR "/tmp/delta-XXXXXX")};
};

TEST_F(DeltaPatchesTest, TheServiceNamesAndServesPatchesThatRebuildThePackage) {
    UpdateService service(catalogue.Folder());
    ASSERT_TRUE(service.Start(QHostAddress::LocalHost, 0));
    const HttpResult page = Get(service.BaseUrl() + "/InitUpdate.aspx?ProductCode={AB}");
    ASSERT_EQ(page.status, 200);
    pugi::xml_document island;
    int fetched = 0;
    ExpectPatchesRebuild(IslandOf(page.body, island), [&](const QString& url) {
        EXPECT_TRUE(url.startsWith(service.BaseUrl() + "/deltas/")) << url.toStdString();
        const HttpResult result = Get(url);
        EXPECT_EQ(result.status, 200);
        const QString file =
            QDir(scratch.path()).filePath(QStringLiteral("patch%1").arg(++fetched));
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(result.body) == result.body.size());
        return file;
    });
}

TEST_F(DeltaPatchesTest, PublishWritesThePatchesBesideThePages) {
    QString error;
    const auto loaded = Catalogue::Load(catalogue.Folder(), &error);
    ASSERT_TRUE(loaded) << error.toStdString();
    const QString out = QDir(scratch.path()).filePath(QStringLiteral("site"));
    ASSERT_TRUE(CataloguePublisher::Publish(*loaded, out, "http://example.test", &error))
        << error.toStdString();
    QFile page(QDir(out).filePath(QStringLiteral("page/p0-0_1.html")));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << page.fileName().toStdString();
    pugi::xml_document island;
    const QString prefix = QStringLiteral("http://example.test/services/autoupdate/deltas/");
    ExpectPatchesRebuild(IslandOf(page.readAll(), island), [&](const QString& url) {
        EXPECT_TRUE(url.startsWith(prefix)) << url.toStdString();
        return QDir(out).filePath(QStringLiteral("deltas/") + url.mid(prefix.size()));
    });
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
