// The check endpoint: which messages a product at a version is offered, and the stamp of that set.
#include "ServiceTestSupport.h"

#include "service/UpdateService.h"

#include <QHostAddress>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace KDAutoUpdate::Testing {
namespace {

class CheckUpdateTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_service.Start(QHostAddress::LocalHost, 0)); }

    CheckAnswer Check(const QString& query) {
        const HttpResult result = Get(m_service.BaseUrl() + "/CheckUpdate.aspx?" + query);
        EXPECT_TRUE(result.finished);
        EXPECT_EQ(result.status, 200);
        return ParseCheck(result.body);
    }
    CheckAnswer CheckSample(const QString& version) {
        return Check(QStringLiteral("ProductCode=%1&Version=%2").arg(kSampleProduct, version));
    }

    UpdateService m_service{SampleCatalogue()};
};

TEST_F(CheckUpdateTest, ProductCodeMatchesWithOrWithoutBracesInAnyCaseAndEscaped) {
    const CheckAnswer reference = CheckSample("5.0.2");
    const QString bare = QString(kSampleProduct).mid(1).chopped(1);
    for (const QString& code :
         {bare, bare.toLower(), QString(kSampleProduct).toLower(), "%7B" + bare + "%7D"}) {
        SCOPED_TRACE(code.toStdString());
        const CheckAnswer answer = Check("ProductCode=" + code + "&Version=5.0.2");
        EXPECT_EQ(answer.count, reference.count);
        EXPECT_EQ(answer.msgs, reference.msgs);
    }
    // The endpoint's name ignores letter case too.
    const HttpResult result =
        RawGet(m_service.Port(),
               QByteArray("/services/autoupdate/checkupdate.ASPX?ProductCode=") + kSampleProduct);
    EXPECT_EQ(ParseCheck(result.body).msgs, CheckSample("").msgs);
}

TEST_F(CheckUpdateTest, UnknownOrMissingProductGetsZeroAndAnEmptyStamp) {
    for (const QString& query :
         {QStringLiteral("ProductCode={00000000-0000-0000-0000-000000000000}&Version=1.0.0"),
          QString()}) {
        SCOPED_TRACE(query.toStdString());
        const CheckAnswer answer = Check(query);
        EXPECT_EQ(answer.count, 0);
        EXPECT_EQ(answer.msgs, "");
    }
}

const QByteArray kOne =
    R"(<message id="m1" name="One" type="exe" toVersion="2.0" package="p.bin"/>)";
const QByteArray kTwo =
    R"(<message id="m2" name="Two" type="info" url="https://example.invalid/news"/>)";

QByteArray Product(const QByteArray& messages) {
    return "<catalogue><product code=\"{AB}\" name=\"P\">" + messages + "</product></catalogue>";
}

// Edits are picked up while the service runs; a broken one keeps the previous catalogue.
TEST(CheckUpdateCatalogueEdits, StampChangesWithTheSetAndNotWithTheOrder) {
    TempCatalogue catalogue;
    catalogue.AddPackage("p.bin", "payload");
    catalogue.WriteCatalogue(Product(kOne));
    UpdateService service(catalogue.Folder());
    ASSERT_TRUE(service.Start(QHostAddress::LocalHost, 0));
    const QString url = service.BaseUrl() + "/CheckUpdate.aspx?ProductCode=ab&Version=1.0";

    const HttpResult first = Get(url);
    EXPECT_EQ(first.contentType, "text/xml");
    const CheckAnswer one = ParseCheck(first.body);
    EXPECT_EQ(one.msgs.size(), 12);
    EXPECT_FALSE(one.msgs.contains(QRegularExpression("[^0-9a-f]")));
    catalogue.WriteCatalogue(Product(kOne + kTwo));
    const CheckAnswer two = ParseCheck(Get(url).body);
    // The same two messages in the other order, an id in other letter case.
    catalogue.WriteCatalogue(
        Product("<!-- reordered -->" + QByteArray(kTwo).replace("m2", "M2") + kOne));
    const CheckAnswer reordered = ParseCheck(Get(url).body);
    catalogue.WriteCatalogue("<catalogue><product code=");
    const CheckAnswer broken = ParseCheck(Get(url).body);

    EXPECT_EQ(one.count, 1);
    EXPECT_EQ(two.count, 2);
    EXPECT_NE(one.msgs, two.msgs);
    EXPECT_EQ(reordered.ids, (QStringList{"M2", "m1"}));
    EXPECT_EQ(reordered.msgs, two.msgs);
    EXPECT_EQ(broken.ids, reordered.ids);
    EXPECT_TRUE(service.ErrorString().contains("not well-formed"));
}

} // namespace
} // namespace KDAutoUpdate::Testing
