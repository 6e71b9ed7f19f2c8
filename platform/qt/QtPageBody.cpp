#include "platform/qt/QtPageBody.h"

#include "platform/headless/HtmlNames.h"

namespace KDAutoUpdate {

namespace {
// Chromium refuses URLs longer than 2 MB; setContent sends the page as a data: URL.
constexpr std::size_t kMaxDataUrl = 2 * 1024 * 1024 - 4096;
} // namespace

bool QtPageBody::FitsDataUrl(const std::string& body) {
    std::size_t length = 64;
    for (const char c : body) {
        const auto u = static_cast<unsigned char>(c);
        const bool plain =
            (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
        length += plain ? 1 : 3;
        if (length > kMaxDataUrl)
            return false;
    }
    return true;
}

QByteArray QtPageBody::WithBase(const std::string& body, const std::string& url) {
    const std::string lower = HtmlNames::ToLowerAscii(body);
    if (lower.find("<base") != std::string::npos)
        return QByteArray::fromStdString(body);
    std::string href;
    for (const char c : url) {
        if (c == '&')
            href += "&amp;";
        else if (c == '"')
            href += "&quot;";
        else
            href += c;
    }
    const std::string tag = "<base href=\"" + href + "\">";
    std::size_t at = 0;
    for (std::size_t head = lower.find("<head"); head != std::string::npos;
         head = lower.find("<head", head + 1)) {
        const char next = head + 5 < lower.size() ? lower[head + 5] : '\0';
        if (next == '>' || next == ' ' || next == '\t' || next == '\n' || next == '\r') {
            const std::size_t close = lower.find('>', head);
            at = close == std::string::npos ? 0 : close + 1;
            break;
        }
    }
    if (at == 0 && lower.starts_with("<!doctype")) {
        const std::size_t close = lower.find('>');
        at = close == std::string::npos ? 0 : close + 1;
    }
    return QByteArray::fromStdString(body.substr(0, at) + tag + body.substr(at));
}

} // namespace KDAutoUpdate
