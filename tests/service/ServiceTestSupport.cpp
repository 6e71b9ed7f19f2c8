#include "ServiceTestSupport.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/qt/CoreApplicationEnvironment.h"

namespace KDAutoUpdate::Testing {

namespace {

[[maybe_unused]] const auto* const kApplication = AddCoreApplication("kdau_tests_service");

// Reads HTTP answers off a byte stream: status line, headers, Content-Length bytes of body.
bool TakeAnswer(QByteArray& buffer, HttpResult& result) {
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return false;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    HttpResult answer;
    answer.status = lines.value(0).split(' ').value(1).toInt();
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length")
            answer.contentLength = value.toLongLong();
        else if (name == "content-type")
            answer.contentType = value;
    }
    const qint64 length = std::max<qint64>(0, answer.contentLength);
    if (buffer.size() < headerEnd + 4 + length)
        return false;
    answer.body = buffer.mid(headerEnd + 4, length);
    answer.finished = true;
    buffer.remove(0, headerEnd + 4 + length);
    result = answer;
    return true;
}

} // namespace

QString SampleCatalogue() {
    return QStringLiteral(KDAU_SOURCE_DIR "/service/catalogue");
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

QByteArray RandomBytes(qsizetype size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char& byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

QByteArray InProduct(const QByteArray& messages) {
    return "<catalogue>\n<product code=\"{AB}\" name=\"P\">\n" + messages +
           "\n</product>\n</catalogue>";
}

HttpResult Get(const QString& url, int timeoutMs) {
    const QUrl parsed(url);
    const QByteArray target = parsed.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority);
    return RawExchange(static_cast<quint16>(parsed.port()),
                       "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 1, timeoutMs)
        .value(0);
}

QList<HttpResult> RawExchange(quint16 port, const QByteArray& requests, int answers,
                              int timeoutMs) {
    QTcpSocket socket;
    QByteArray buffer;
    QList<HttpResult> results;
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [&] {
        buffer += socket.readAll();
        HttpResult answer;
        while (TakeAnswer(buffer, answer))
            results.append(answer);
        if (results.size() >= answers)
            loop.quit();
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::connected, &loop, [&] { socket.write(requests); });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    loop.exec();
    return results;
}

HttpResult RawGet(quint16 port, const QByteArray& target, const QByteArray& method) {
    const QList<HttpResult> results = RawExchange(
        port, method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                  "\r\n\r\n");
    return results.value(0);
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (condition())
        return true;
    poll.start(5);
    loop.exec();
    return condition();
}

CheckAnswer ParseCheck(const QByteArray& body) {
    CheckAnswer answer;
    pugi::xml_document document;
    if (!document.load_buffer(body.constData(), static_cast<size_t>(body.size())))
        return answer;
    const pugi::xml_node root = document.document_element();
    answer.count = root.attribute("count").as_int(-1);
    answer.msgs = QString::fromUtf8(root.attribute("msgs").value());
    for (const pugi::xml_node message : root.children("Message"))
        answer.ids.append(QString::fromUtf8(message.attribute("id").value()));
    return answer;
}

TempCatalogue::TempCatalogue()
    : m_dir((QDir().mkpath(QStringLiteral(KDAU_BINARY_DIR "/tmp")),
             QStringLiteral(KDAU_BINARY_DIR "/tmp/service-XXXXXX"))) {
    QDir(m_dir.path()).mkpath(QStringLiteral("packages"));
    QDir(m_dir.path()).mkpath(QStringLiteral("info"));
}

QString TempCatalogue::Write(const QString& relativePath, const QByteArray& bytes) const {
    QFile file(QDir(m_dir.path()).filePath(relativePath));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    return file.fileName();
}

pugi::xml_node IslandOf(const QByteArray& html, pugi::xml_document& document) {
    const QByteArray open = "<script type=\"text/xml\" id=\"KdAutoUpdate\">";
    const qsizetype begin = html.indexOf(open);
    EXPECT_GE(begin, 0);
    const QByteArray text =
        html.mid(begin + open.size(), html.indexOf("</script>", begin) - begin - open.size());
    EXPECT_TRUE(document.load_buffer(text.constData(), static_cast<size_t>(text.size())));
    return document.document_element();
}

pugi::xml_node FindElement(const pugi::xml_node& root, const char* name, const char* attribute,
                           const char* value) {
    return root.find_node([&](const pugi::xml_node& node) {
        return qstrcmp(node.name(), name) == 0 &&
               qstrcmp(node.attribute(attribute).value(), value) == 0;
    });
}

} // namespace KDAutoUpdate::Testing
