// Reading the catalogue: the mistakes a vendor can make, and the version rules of the service
// and of the published catalogue.
#include "ServiceTestSupport.h"

#include "service/Catalogue.h"
#include "service/ProductVersion.h"
#include "service/UpdateService.h"
#include "service/VersionPattern.h"

#include <QHostAddress>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace KDAutoUpdate::Testing {
namespace {

// Message m of product {AB}, on the catalogue's third line.
QByteArray Message(const QByteArray& attributes, const QByteArray& content = {}) {
    return InProduct(R"(<message id="m" name="M" )" + attributes + ">" + content + "</message>");
}

TEST(Catalogue, MistakesAreReportedAndKeepTheServiceFromStarting) {
    const QByteArray exe = R"(type="exe" package="p.bin")";
    const std::pair<QByteArray, const char*> mistakes[] = {
        {"<catalogue>\n<product code=\"{AB}\" name=\"P\">\n<message id=\"x\"\n",
         "catalogue.xml, line 3: not well-formed"},
        {"<products/>", "root element must be <catalogue>"},
        {Message(R"(type="zip" package="p.bin")"),
         "line 3: message m: type must be exe, msp, pftw or info"},
        {Message(R"(type="exe" package="gone.bin")"), "package gone.bin not found"},
        {Message(R"(type="exe" package="../p.bin")"), "plain file name"},
        {InProduct(R"(<message id="m" name="M" type="exe" package="p.bin"/>
<message id="M" name="N" type="exe" package="p.bin"/>)"),
         "line 4: message id M is used twice"},
        {Message(exe + R"( toVersoin="2")"), "unknown attribute toVersoin"},
        {Message(exe + R"( mustBePaid="maybe")"), "mustBePaid and compressed take yes or no"},
        {Message(R"(type="msp" package="p.bin")", "<feature/>"), "<feature> needs a name"},
        {Message(R"(type="info")"), "needs exactly one of page, url, package"},
        {Message(exe + R"( rollout="150")"), "rollout must be a whole percentage"},
        {Message(exe + R"( channel="beta")"), "channel must be test or release"},
        {Message(exe + R"( campaign="a b")"), "campaign must be letters"},
        {Message(exe + R"( toVersion="1.0" allowDowngrade="yes")"),
         "allowDowngrade needs minVersion or maxVersion"},
        {R"(<catalogue><product code="{AB}" name="P"/><product code="ab" name="Q"/></catalogue>)",
         "product ab is listed twice"},
        // A base is another package the agent may hold already, of an installable message.
        {Message(exe, R"(<base package="gone.bin"/>)"), "base gone.bin not found in packages/"},
        {Message(exe, R"(<base package="p.bin"/>)"),
         "base p.bin is the package itself or listed twice"},
        {Message(exe, R"(<base package="q.bin"/><base package="q.bin"/>)"),
         "base q.bin is the package itself or listed twice"},
        {Message(exe, R"(<base package="../q.bin"/>)"),
         "<base> needs a plain file name in packages/"},
        {Message(exe, R"(<base file="q.bin"/>)"), "unknown attribute file of <base>"},
        {Message(R"(type="info" package="p.bin")", R"(<base package="q.bin"/>)"),
         "<base> is for installable packages only"}};
    TempCatalogue catalogue;
    catalogue.AddPackage("p.bin", "payload");
    catalogue.AddPackage("q.bin", "earlier");
    for (const auto& [xml, expectedError] : mistakes) {
        SCOPED_TRACE(expectedError);
        catalogue.WriteCatalogue(xml);
        QString error;
        EXPECT_FALSE(Catalogue::Load(catalogue.Folder(), &error));
        EXPECT_TRUE(error.contains(expectedError)) << error.toStdString();
        UpdateService service(catalogue.Folder());
        EXPECT_FALSE(service.IsCatalogueLoaded());
        EXPECT_FALSE(service.Start(QHostAddress::LocalHost, 0));
        EXPECT_EQ(service.ErrorString(), error);
    }
    UpdateService missing(QStringLiteral(KDAU_BINARY_DIR "/tmp/no-such-catalogue"));
    EXPECT_FALSE(missing.IsCatalogueLoaded());
    EXPECT_TRUE(missing.ErrorString().contains("not found"));
    EXPECT_FALSE(missing.Start(QHostAddress::LocalHost, 0));
}

TEST(Catalogue, VersionBoundsAndTargetDecideTheOffers) {
    TempCatalogue catalogue;
    catalogue.AddPackage("p.bin", "payload");
    catalogue.WriteCatalogue(InProduct(
        R"(<message id="range" name="R" type="exe" package="p.bin" minVersion="2.0" maxVersion="2.5" toVersion="3.0"/>
<message id="target" name="T" type="exe" package="p.bin" toVersion="2.2"/>)"));
    QString error;
    const std::optional<Catalogue> loaded = Catalogue::Load(catalogue.Folder(), &error);
    ASSERT_TRUE(loaded) << error.toStdString();
    const auto offered = [&](const char* version) {
        QStringList ids;
        for (const CatalogueMessage* message :
             loaded->Offers(u"{ab}", ProductVersion::Parse(QString::fromLatin1(version))))
            ids.append(message->id);
        return ids.join(',');
    };
    EXPECT_EQ(offered("1.9.9"), "target");
    EXPECT_EQ(offered("2.0"), "range,target");
    EXPECT_EQ(offered("2.2"), "range");
    EXPECT_EQ(offered("2.5.0"), "range");
    EXPECT_EQ(offered("2.5.1"), "");
    EXPECT_EQ(offered(""), "range,target");
}

// The version patterns of a published catalogue agree with the service's own comparison.
bool Matches(const QString& pattern, const QString& text) {
    return !pattern.isEmpty() &&
           QRegularExpression(QStringLiteral("^(?:%1)$").arg(pattern)).match(text).hasMatch();
}

TEST(Catalogue, PublishedVersionPatternsAgreeWithTheComparison) {
    const QStringList versions{"0",       "0.0.1",    "1",       "5",       "5.0",    "5.0.0",
                               "5.0.2",   "05.00.02", "5.0.9",   "5.0.10",  "5.0.19", "5.0.20",
                               "5.0.100", "5.1",      "5.1.0.0", "5.10",    "9.9.9",  "10",
                               "19.0",    "20.0.1",   "100",     "5.0.2.1", "2024.1"};
    for (const QString& boundary : versions) {
        const ProductVersion b = ProductVersion::Parse(boundary);
        for (const QString& text : versions) {
            SCOPED_TRACE((text + QStringLiteral(" against ") + boundary).toStdString());
            const ProductVersion v = ProductVersion::Parse(text);
            EXPECT_EQ(Matches(VersionPattern::Below(b), text), v < b);
            EXPECT_EQ(Matches(VersionPattern::Equal(b), text), v == b);
            EXPECT_TRUE(Matches(VersionPattern::Plain(), text));
        }
    }
    EXPECT_FALSE(Matches(VersionPattern::Plain(), "5.0.2-beta"));
}

} // namespace
} // namespace KDAutoUpdate::Testing
