// The service's catalogue file: loaded and asked for offers.

#include <QDir>
#include <QFile>

#include <cstdint>

#include "service/Catalogue.h"
#include "service/ProductVersion.h"
#include "tests/support/TestPlatform.h"

using namespace KDAutoUpdate;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString folder =
        QString::fromStdString(TestPlatform::MakeTempFolder("fuzz-catalogue").string());
    QFile file(QDir(folder).filePath(QLatin1String(Catalogue::kFileName)));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();
    QString error;
    if (const auto catalogue = Catalogue::Load(folder, &error)) {
        for (const char* code : {"{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}", "x", ""})
            catalogue->Offers(QString::fromLatin1(code), ProductVersion::Parse(u"5.0.2"));
    }
    return 0;
}
