// Packages and info pages: bytes as stored, nothing outside the catalogue, 404 for the rest.
#include "ServiceTestSupport.h"

#include "service/ServiceOptions.h"
#include "service/UpdateService.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace KDAutoUpdate::Testing {
namespace {

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

QByteArray RandomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char& byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

class PackageRoutesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_service.Start(QHostAddress::LocalHost, 0)); }
    UpdateService m_service{SampleCatalogue()};
};

TEST_F(PackageRoutesTest, PackagesArriveByteForByteWithTheirLength) {
    for (const char* name : {"KeldraStudio-Update-5.1.0.sh", "KeldraStudio-5.0.3.msp"}) {
        SCOPED_TRACE(name);
        const QByteArray stored = FileBytes(SampleCatalogue() + "/packages/" + name);
        const HttpResult result = Get(m_service.BaseUrl() + "/packages/" + name);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.status, 200);
        EXPECT_EQ(result.contentType, "application/octet-stream");
        EXPECT_EQ(result.contentLength, stored.size());
        EXPECT_EQ(result.body, stored);
    }
}

TEST_F(PackageRoutesTest, InfoPageIsServedAsHtml) {
    const HttpResult result = Get(m_service.BaseUrl() + "/info/KeldraStudio6-Vorschau.html");
    EXPECT_EQ(result.status, 200);
    EXPECT_TRUE(result.contentType.startsWith("text/html"));
    EXPECT_EQ(result.body, FileBytes(SampleCatalogue() + "/info/KeldraStudio6-Vorschau.html"));
}

TEST_F(PackageRoutesTest, AddressesThatLeaveTheFolderAreNotFound) {
    for (const QByteArray& target : QList<QByteArray>{
             "/services/autoupdate/packages/../catalogue.xml",
             "/services/autoupdate/packages/..%2Fcatalogue.xml",
             "/services/autoupdate/packages/..",
             "/services/autoupdate/packages/%2Fetc%2Fpasswd",
             "/services/autoupdate/packages//etc/passwd",
             "/services/autoupdate/packages/..%5Ccatalogue.xml",
             "/services/autoupdate/info/../packages/KeldraStudio-5.0.3.msp",
             "/services/autoupdate/packages/",
             "/services/autoupdate/packages/missing.bin",
         }) {
        SCOPED_TRACE(target.toStdString());
        const HttpResult result = RawGet(m_service.Port(), target);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.status, 404);
        EXPECT_FALSE(result.body.contains("catalogue"));
    }
}

TEST_F(PackageRoutesTest, UnknownAddressesAndOtherMethodsAreRefused) {
    for (const QByteArray& target : QList<QByteArray>{
             "/", "/services/autoupdate", "/services/autoupdate/", "/CheckUpdate.aspx",
             "/services/autoupdate/Default.aspx", "/services/CheckUpdate.aspx"}) {
        SCOPED_TRACE(target.toStdString());
        EXPECT_EQ(RawGet(m_service.Port(), target).status, 404);
    }
    EXPECT_EQ(RawGet(m_service.Port(), "/services/autoupdate/CheckUpdate.aspx", "POST").status,
              405);
}

TEST(PackageRoutesOutside, LinkOutOfThePackagesFolderIsNotFollowed) {
    TempCatalogue catalogue;
    catalogue.AddPackage("p.bin", "payload");
    catalogue.WriteCatalogue(R"(<catalogue><product code="AB" name="P">
  <message id="m1" name="One" type="exe" package="p.bin"/></product></catalogue>)");
    ASSERT_TRUE(QFile::link(catalogue.Folder() + "/catalogue.xml",
                            catalogue.Folder() + "/packages/escape.xml"));
    UpdateService service(catalogue.Folder());
    ASSERT_TRUE(service.Start(QHostAddress::LocalHost, 0));
    EXPECT_EQ(Get(service.BaseUrl() + "/packages/escape.xml").status, 404);
    EXPECT_EQ(Get(service.BaseUrl() + "/packages/p.bin").body, "payload");
}

TEST(PackageRoutesThrottled, PackageBodyKeepsToTheRate) {
    TempCatalogue catalogue;
    const QByteArray payload = RandomBytes(12000);
    catalogue.AddPackage("slow.bin", payload);
    catalogue.WriteCatalogue(R"(<catalogue><product code="AB" name="P">
  <message id="m1" name="One" type="exe" package="slow.bin"/></product></catalogue>)");
    ServiceOptions options;
    options.catalogueFolder = catalogue.Folder();
    options.packageBytesPerSecond = 40000; // 12000 bytes take at least 300 ms
    UpdateService service(options);
    ASSERT_TRUE(service.Start(QHostAddress::LocalHost, 0));

    QElapsedTimer clock;
    clock.start();
    const HttpResult package = Get(service.BaseUrl() + "/packages/slow.bin");
    const qint64 packageMs = clock.elapsed();

    EXPECT_EQ(package.contentLength, payload.size()); // known up front, for the progress bar
    EXPECT_TRUE(package.body == payload);
    EXPECT_GE(packageMs, 250);
}

} // namespace
} // namespace KDAutoUpdate::Testing
