#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <pugixml.hpp>

#include <functional>

namespace KDAutoUpdate::Testing {

inline constexpr const char* kSampleProduct = "{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}";

// The sample catalogue of the source tree.
QString SampleCatalogue();
// A file's bytes, or "(missing)".
QByteArray FileBytes(const QString& path);
// Bytes that do not compress, the same for the same seed.
QByteArray RandomBytes(qsizetype size, quint32 seed = 42);
// A catalogue of product {AB} holding `messages`, one line each for the product's tags.
QByteArray InProduct(const QByteArray& messages);

struct HttpResult {
    bool finished = false; // an answer arrived before the time ran out
    int status = 0;
    QByteArray contentType;
    qint64 contentLength = -1;
    QByteArray body;
};

// GET of a whole URL, its target percent-encoded as a client library sends it.
HttpResult Get(const QString& url, int timeoutMs = 10000);
// Sends `requests` (request lines with headers) exactly as given on one connection and reads
// `answers` responses; for addresses a client library would rewrite.
QList<HttpResult> RawExchange(quint16 port, const QByteArray& requests, int answers = 1,
                              int timeoutMs = 10000);
// One "GET <target> HTTP/1.1" with a Host header.
HttpResult RawGet(quint16 port, const QByteArray& target, const QByteArray& method = "GET");

// Runs the event loop until `condition` holds; false when the time ran out first.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);

// The CheckUpdate answer's root attributes.
struct CheckAnswer {
    int count = -1;
    QString msgs;
    QStringList ids;
};
CheckAnswer ParseCheck(const QByteArray& body);

// A catalogue folder under the build folder that a test writes itself.
class TempCatalogue {
public:
    TempCatalogue();
    QString Folder() const { return m_dir.path(); }
    void WriteCatalogue(const QByteArray& xml) const { Write("catalogue.xml", xml); }
    QString AddPackage(const QString& name, const QByteArray& bytes) const {
        return Write("packages/" + name, bytes);
    }
    QString Write(const QString& relativePath, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
};

// The page's data island as the browser hands it over: the script element's text, parsed alone.
pugi::xml_node IslandOf(const QByteArray& html, pugi::xml_document& document);

// The first element (depth first) named `name` whose attribute `attribute` equals `value`.
pugi::xml_node FindElement(const pugi::xml_node& root, const char* name, const char* attribute,
                           const char* value);

} // namespace KDAutoUpdate::Testing
