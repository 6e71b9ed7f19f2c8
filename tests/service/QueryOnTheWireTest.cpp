// The agent's query reaches the service as built: the request log holds it, escaped only where
// the characters would otherwise be the URL's own syntax.

#include "ServiceTestSupport.h"

#include "platform/qt/QtHttpFetcher.h"
#include "service/ServiceOptions.h"
#include "service/UpdateService.h"

#include <QHostAddress>

#include <gtest/gtest.h>

namespace KDAutoUpdate::Testing {
namespace {

TEST(QueryOnTheWire, TheServiceReceivesEveryParameterAsBuilt) {
    ServiceOptions options;
    options.catalogueFolder = SampleCatalogue();
    UpdateService service(options);
    ASSERT_TRUE(service.Start(QHostAddress::LocalHost, 0));
    const std::string path = "/services/autoupdate/CheckUpdate.aspx";
    const std::string query = std::string("?TestMode=False&ProductCode=") + kSampleProduct +
                              "&LicKey=a#b c\"|{}%41&UILang=1031&OpType=check&CompatMode=2";

    QtHttpFetcher http;
    http.GetSync("http://127.0.0.1:" + std::to_string(service.Port()) + path + query);

    ASSERT_EQ(service.RequestLog().size(), 1);
    const QStringList line = service.RequestLog().front().split(' ');
    ASSERT_GE(line.size(), 3); // method, target, status, then what was offered
    EXPECT_EQ(QByteArray::fromPercentEncoding(line[1].toUtf8()).toStdString(), path + query);
}

} // namespace
} // namespace KDAutoUpdate::Testing
