// Reading the catalogue: the sample, the mistakes a vendor can make, and the version rules.
#include "ServiceTestSupport.h"

#include "service/Catalogue.h"
#include "service/ProductVersion.h"
#include "service/UpdateService.h"

#include <QHostAddress>

#include <gtest/gtest.h>

namespace KDAutoUpdate::Testing {
namespace {

struct Mistake {
    const char* what;
    QByteArray xml;
    const char* expectedError;
};

class CatalogueMistakeTest : public ::testing::TestWithParam<Mistake> {};

TEST_P(CatalogueMistakeTest, IsReportedAndKeepsTheServiceFromStarting) {
    TempCatalogue catalogue;
    catalogue.AddPackage("p.bin", "payload");
    catalogue.WriteCatalogue(GetParam().xml);

    QString error;
    EXPECT_FALSE(Catalogue::Load(catalogue.Folder(), &error));
    EXPECT_TRUE(error.contains(GetParam().expectedError)) << error.toStdString();

    UpdateService service(catalogue.Folder());
    EXPECT_FALSE(service.IsCatalogueLoaded());
    EXPECT_FALSE(service.Start(QHostAddress::LocalHost, 0));
    EXPECT_EQ(service.ErrorString(), error);
}

QByteArray InProduct(const QByteArray& messages) {
    return "<catalogue>\n<product code=\"{AB}\" name=\"P\">\n" + messages +
           "\n</product>\n</catalogue>";
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, CatalogueMistakeTest,
    ::testing::Values(
        Mistake{"bad xml", "<catalogue>\n<product code=\"{AB}\" name=\"P\">\n<message id=\"x\"\n",
                "catalogue.xml, line 3: not well-formed"},
        Mistake{"wrong root", "<products/>", "root element must be <catalogue>"},
        Mistake{"unknown type",
                InProduct(R"(<message id="m" name="M" type="zip" package="p.bin"/>)"),
                "line 3: message m: type must be exe, msp, pftw or info"},
        Mistake{"missing package",
                InProduct(R"(<message id="m" name="M" type="exe" package="gone.bin"/>)"),
                "package gone.bin not found"},
        Mistake{"package outside",
                InProduct(R"(<message id="m" name="M" type="exe" package="../p.bin"/>)"),
                "plain file name"},
        Mistake{"duplicate id", InProduct(R"(<message id="m" name="M" type="exe" package="p.bin"/>
<message id="M" name="N" type="exe" package="p.bin"/>)"),
                "line 4: message id M is used twice"},
        Mistake{"misspelt attribute",
                InProduct(R"(<message id="m" name="M" type="exe" toVersoin="2" package="p.bin"/>)"),
                "unknown attribute toVersoin"},
        Mistake{"bad boolean", InProduct(R"(<message id="m" name="M" type="exe" package="p.bin"
  mustBePaid="maybe"/>)"),
                "mustBePaid and compressed take yes or no"},
        Mistake{"feature without name",
                InProduct(
                    R"(<message id="m" name="M" type="msp" package="p.bin"><feature/></message>)"),
                "<feature> needs a name"},
        Mistake{"info without page", InProduct(R"(<message id="m" name="M" type="info"/>)"),
                "needs exactly one of page, url, package"},
        Mistake{"rollout above 100",
                InProduct(R"(<message id="m" name="M" type="exe" package="p.bin" rollout="150"/>)"),
                "rollout must be a whole percentage"},
        Mistake{
            "unknown channel",
            InProduct(R"(<message id="m" name="M" type="exe" package="p.bin" channel="beta"/>)"),
            "channel must be test or release"},
        Mistake{
            "campaign with a blank",
            InProduct(R"(<message id="m" name="M" type="exe" package="p.bin" campaign="a b"/>)"),
            "campaign must be letters"},
        Mistake{"rollback without range", InProduct(R"(<message id="m" name="M" type="exe"
  package="p.bin" toVersion="1.0" allowDowngrade="yes"/>)"),
                "allowDowngrade needs minVersion or maxVersion"},
        Mistake{"duplicate product",
                "<catalogue><product code=\"{AB}\" name=\"P\"/><product code=\"ab\" name=\"Q\"/>"
                "</catalogue>",
                "product ab is listed twice"}),
    [](const ::testing::TestParamInfo<Mistake>& param) {
        return QString(param.param.what).replace(' ', '_').toStdString();
    });

TEST(CatalogueFolder, MissingFolderIsReported) {
    UpdateService service(QStringLiteral(KDAU_BINARY_DIR "/tmp/no-such-catalogue"));
    EXPECT_FALSE(service.IsCatalogueLoaded());
    EXPECT_TRUE(service.ErrorString().contains("not found"));
    EXPECT_FALSE(service.Start(QHostAddress::LocalHost, 0));
}

TEST(CatalogueOffers, VersionBoundsAndTargetDecide) {
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

} // namespace
} // namespace KDAutoUpdate::Testing
