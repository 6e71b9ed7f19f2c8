// Who among a product's installations is offered a message: the rollout share of its licence
// key, the test channel, a campaign, and the signed way back to an older version.
#include "ServiceTestSupport.h"

#include "service/UpdateService.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace KDAutoUpdate::Testing {
namespace {

QByteArray Catalogue(const QByteArray& messages) {
    return "<catalogue><product code=\"{AB}\" name=\"P\">" + messages + "</product></catalogue>";
}

class GatedOffers : public ::testing::Test {
protected:
    void SetUp() override { m_catalogue.AddPackage("p.bin", "payload"); }
    void Serve(const QByteArray& messages) {
        m_catalogue.WriteCatalogue(Catalogue(messages));
        m_service = std::make_unique<UpdateService>(m_catalogue.Folder());
        ASSERT_TRUE(m_service->Start(QHostAddress::LocalHost, 0))
            << m_service->ErrorString().toStdString();
    }
    QStringList Offered(const QString& query) {
        const HttpResult result =
            Get(m_service->BaseUrl() + "/CheckUpdate.aspx?ProductCode={AB}&" + query);
        EXPECT_EQ(result.status, 200);
        return ParseCheck(result.body).ids;
    }
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

TEST_F(GatedOffers, RolloutShareGrowsOverTheSameKeysAndZeroHaltsAtTheNextCheck) {
    const QByteArray plain = R"(<message id="plain" name="P" type="exe" package="p.bin"/>)";
    auto rolled = [&](const char* percent) {
        return plain + R"(<message id="new" name="N" type="exe" package="p.bin" rollout=")" +
               percent + "\"/>";
    };
    Serve(rolled("5"));
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
    m_catalogue.WriteCatalogue(Catalogue(rolled("60")));
    const QSet<QString> many = KeysOffered("new", keys);
    EXPECT_TRUE(many.contains(few)) << "a key once in stays in as the share grows";
    EXPECT_GT(many.size(), 200);
    EXPECT_LT(many.size(), 280);

    m_catalogue.WriteCatalogue(Catalogue(rolled("0")));
    EXPECT_TRUE(KeysOffered("new", QStringList(many.begin(), many.end())).isEmpty());
    m_catalogue.WriteCatalogue(Catalogue(rolled("100")));
    EXPECT_EQ(Offered("Version=1.0"), (QStringList{"plain", "new"}));
}

TEST_F(GatedOffers, TestChannelCampaignAndRollbackRangeChooseTheirQueries) {
    Serve(R"(<message id="plain" name="P" type="exe" package="p.bin" toVersion="6.0"/>
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
