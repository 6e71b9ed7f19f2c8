// The check endpoint: which messages a product at a version is offered (by version, rollout
// share of its licence key, test channel, campaign, way back), and the stamp of that set.
#include "ServiceTestSupport.h"

#include "service/UpdateService.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace KDAutoUpdate::Testing {
namespace {

class CheckUpdateTest : public ::testing::Test {
protected:
    void Serve(const QString& folder) {
        m_service = std::make_unique<UpdateService>(folder);
        ASSERT_TRUE(m_service->Start(QHostAddress::LocalHost, 0))
            << m_service->ErrorString().toStdString();
    }
    // Product {AB} with `messages`, whose package is p.bin.
    void ServeMessages(const QByteArray& messages) {
        m_catalogue.AddPackage("p.bin", "payload");
        m_catalogue.WriteCatalogue(InProduct(messages));
        Serve(m_catalogue.Folder());
    }
    CheckAnswer Check(const QString& query) {
        const HttpResult result = Get(m_service->BaseUrl() + "/CheckUpdate.aspx?" + query);
        EXPECT_TRUE(result.finished);
        EXPECT_EQ(result.status, 200);
        return ParseCheck(result.body);
    }
    CheckAnswer CheckSample(const QString& version) {
        return Check(QStringLiteral("ProductCode=%1&Version=%2").arg(kSampleProduct, version));
    }
    QStringList Offered(const QString& query) { return Check("ProductCode={AB}&" + query).ids; }
    // The keys among `keys` that are offered message `id`.
    QSet<QString> KeysOffered(const QString& id, const QStringList& keys) {
        QSet<QString> in;
        for (const QString& key : keys)
            if (Offered("Version=1.0&LicKey=" + key).contains(id))
                in.insert(key);
        return in;
    }

    TempCatalogue m_catalogue;
    std::unique_ptr<UpdateService> m_service;
};

TEST_F(CheckUpdateTest, ProductCodeMatchesInAnyCaseOfNameAndValueWithOrWithoutBracesEscaped) {
    Serve(SampleCatalogue());
    const CheckAnswer reference = CheckSample("5.0.2");
    const QString bare = QString(kSampleProduct).mid(1).chopped(1);
    for (const QString& code :
         {bare, bare.toLower(), QString(kSampleProduct).toLower(), "%7B" + bare + "%7D"}) {
        SCOPED_TRACE(code.toStdString());
        const CheckAnswer answer = Check("productcode=" + code + "&VERSION=5.0.2");
        EXPECT_EQ(answer.count, reference.count);
        EXPECT_EQ(answer.msgs, reference.msgs);
    }
    // The endpoint's name ignores letter case too.
    const HttpResult result =
        RawGet(m_service->Port(),
               QByteArray("/services/autoupdate/checkupdate.ASPX?ProductCode=") + kSampleProduct);
    EXPECT_EQ(ParseCheck(result.body).msgs, CheckSample("").msgs);
}

TEST_F(CheckUpdateTest, UnknownOrMissingProductGetsZeroAndAnEmptyStamp) {
    Serve(SampleCatalogue());
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

// Edits are picked up while the service runs; a broken one keeps the previous catalogue.
TEST_F(CheckUpdateTest, StampChangesWithTheSetAndNotWithTheOrder) {
    ServeMessages(kOne);
    const QString query = "ProductCode=ab&Version=1.0";
    const HttpResult first = Get(m_service->BaseUrl() + "/CheckUpdate.aspx?" + query);
    EXPECT_EQ(first.contentType, "text/xml");
    const CheckAnswer one = ParseCheck(first.body);
    EXPECT_EQ(one.msgs.size(), 12);
    EXPECT_FALSE(one.msgs.contains(QRegularExpression("[^0-9a-f]")));
    m_catalogue.WriteCatalogue(InProduct(kOne + kTwo));
    const CheckAnswer two = Check(query);
    // The same two messages in the other order, an id in other letter case.
    m_catalogue.WriteCatalogue(
        InProduct("<!-- reordered -->" + QByteArray(kTwo).replace("m2", "M2") + kOne));
    const CheckAnswer reordered = Check(query);
    m_catalogue.WriteCatalogue("<catalogue><product code=");
    const CheckAnswer broken = Check(query);

    EXPECT_EQ(one.count, 1);
    EXPECT_EQ(two.count, 2);
    EXPECT_NE(one.msgs, two.msgs);
    EXPECT_EQ(reordered.ids, (QStringList{"M2", "m1"}));
    EXPECT_EQ(reordered.msgs, two.msgs);
    EXPECT_EQ(broken.ids, reordered.ids);
    EXPECT_TRUE(m_service->ErrorString().contains("not well-formed"));
}

TEST_F(CheckUpdateTest, RolloutShareGrowsOverTheSameKeysAndZeroHaltsAtTheNextCheck) {
    const QByteArray plain = R"(<message id="plain" name="P" type="exe" package="p.bin"/>)";
    auto rolled = [&](const char* percent) {
        return plain + R"(<message id="new" name="N" type="exe" package="p.bin" rollout=")" +
               percent + "\"/>";
    };
    ServeMessages(rolled("5"));
    QStringList keys;
    for (int i = 0; i < 400; ++i)
        keys << QStringLiteral("K%1-%2").arg(i * 7919).arg(i % 13);
    const QSet<QString> few = KeysOffered("new", keys);
    EXPECT_GT(few.size(), 5);
    EXPECT_LT(few.size(), 40);
    // Without a licence key there is no bucket: the message waits for 100 %.
    EXPECT_EQ(Offered("Version=1.0"), QStringList{"plain"});
    EXPECT_EQ(Offered("Version=1.0&LicKey="), QStringList{"plain"});

    // The service reads the edited catalogue at the next query.
    m_catalogue.WriteCatalogue(InProduct(rolled("60")));
    const QSet<QString> many = KeysOffered("new", keys);
    EXPECT_TRUE(many.contains(few)) << "a key once in stays in as the share grows";
    EXPECT_GT(many.size(), 200);
    EXPECT_LT(many.size(), 280);

    m_catalogue.WriteCatalogue(InProduct(rolled("0")));
    EXPECT_TRUE(KeysOffered("new", QStringList(many.begin(), many.end())).isEmpty());
    m_catalogue.WriteCatalogue(InProduct(rolled("100")));
    EXPECT_EQ(Offered("Version=1.0"), (QStringList{"plain", "new"}));
}

TEST_F(CheckUpdateTest, TestChannelCampaignAndRollbackRangeChooseTheirQueries) {
    ServeMessages(R"(<message id="plain" name="P" type="exe" package="p.bin" toVersion="6.0"/>
<message id="beta" name="B" type="exe" package="p.bin" channel="test"/>
<message id="spring" name="S" type="exe" package="p.bin" campaign="Spring-24"/>
<message id="back" name="Back" type="exe" package="p.bin" toVersion="5.0.1" allowDowngrade="yes"
         minVersion="5.0.2" maxVersion="5.0.3"/>)");
    EXPECT_EQ(Offered("Version=5.0.2&TestMode=False"), (QStringList{"plain", "back"}));
    EXPECT_EQ(Offered("Version=5.0.2&TestMode=True"), (QStringList{"plain", "beta", "back"}));
    EXPECT_EQ(Offered("Version=5.0.3&testmode=true&CmpID=spring-24"),
              (QStringList{"plain", "beta", "spring", "back"}));
    EXPECT_EQ(Offered("Version=5.0.4&CmpID=Spring-25"), QStringList{"plain"});
    EXPECT_EQ(Offered("Version=5.0.1&CmpID=Spring-24"), (QStringList{"plain", "spring"}));

    // The page lets the agent go back for that message only; its signature covers the mark.
    const HttpResult page =
        Get(m_service->BaseUrl() + "/InitUpdate.aspx?ProductCode={AB}&Version=5.0.2");
    pugi::xml_document document;
    const pugi::xml_node island = IslandOf(page.body, document);
    EXPECT_STREQ(FindElement(island, "Message", "id", "back").attribute("allowDowngrade").value(),
                 "true");
    EXPECT_FALSE(FindElement(island, "Message", "id", "plain").attribute("allowDowngrade"));

    // The log tells the vendor what each query was offered and on which channel.
    Offered("Version=5.0.2&TestMode=True&LicKey=abc");
    const QString line = m_service->RequestLog().last();
    EXPECT_TRUE(line.contains(
        QRegularExpression(" 200 offered=plain,beta,back bucket=[0-9]+\\.[0-9]{2} channel=test$")))
        << line.toStdString();
    Offered("Version=9");
    EXPECT_TRUE(m_service->RequestLog().last().endsWith(" 200 offered=- bucket=- channel=release"));
}

} // namespace
} // namespace KDAutoUpdate::Testing
