#include "platform/headless/PageEncoding.h"

#include <iconv.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "platform/headless/HtmlNames.h"
#include "platform/headless/HtmlTreeBuilder.h"

namespace KDAutoUpdate {

namespace {

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string Trimmed(std::string_view text, std::string_view junk) {
    const std::size_t begin = text.find_first_not_of(junk);
    if (begin == std::string_view::npos)
        return {};
    return std::string(text.substr(begin, text.find_last_not_of(junk) - begin + 1));
}

// The first meta element's charset, depth first.
std::string CharsetInTree(const HeadlessElement& element) {
    if (element.IsHtml() && element.LocalName() == "meta") {
        if (const auto charset = element.GetAttribute("charset"))
            return HtmlNames::ToLowerAscii(Trimmed(*charset, " \t\r\n\"'"));
        const auto equiv = element.GetAttribute("http-equiv");
        if (equiv && HtmlNames::EqualsIgnoreCase(Trimmed(*equiv, " \t\r\n"), "content-type"))
            return PageEncoding::CharsetOf(element.GetAttribute("content").value_or(""));
    }
    for (const auto& child : element.Children())
        if (const auto* node = std::get_if<HeadlessElementPtr>(&child))
            if (std::string charset = CharsetInTree(**node); !charset.empty())
                return charset;
    return {};
}

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

// `text` from `charset` to UTF-8; nullopt when the system does not know the charset or the
// bytes do not fit it.
std::optional<std::string> Converted(std::string_view text, const char* charset) {
    const iconv_t cd = iconv_open("UTF-8", charset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    const std::unique_ptr<void, IconvCloser> closer(cd);
    std::string out(text.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* to = out.data();
    std::size_t outLeft = out.size();
    if (iconv(cd, &in, &inLeft, &to, &outLeft) == static_cast<std::size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

// A byte-order mark decides the encoding before any header or meta element does.
std::optional<std::string> FromByteOrderMark(const std::string& page) {
    const std::string_view text(page);
    if (text.starts_with("\xEF\xBB\xBF"))
        return std::string(text.substr(3));
    if (text.starts_with("\xFF\xFE"))
        return Converted(text.substr(2), "UTF-16LE").value_or(page);
    if (text.starts_with("\xFE\xFF"))
        return Converted(text.substr(2), "UTF-16BE").value_or(page);
    return std::nullopt;
}

} // namespace

std::string PageEncoding::CharsetOf(std::string_view contentType) {
    const std::string lower = HtmlNames::ToLowerAscii(contentType);
    for (std::size_t at = lower.find(';'); at != std::string::npos; at = lower.find(';', at + 1)) {
        const std::string parameter = Trimmed(std::string_view(lower).substr(at + 1), " \t");
        if (parameter.starts_with("charset="))
            return Trimmed(std::string_view(parameter).substr(8, parameter.find(';') - 8),
                           " \t\"'");
    }
    return {};
}

std::string PageEncoding::MetaCharset(const std::string& page) {
    const HeadlessElementPtr root =
        HtmlTreeBuilder::ParseDocument(std::make_shared<const std::string>(page));
    return root ? CharsetInTree(*root) : std::string();
}

std::string PageEncoding::ToUtf8(const std::string& page, std::string_view contentType) {
    if (std::optional<std::string> marked = FromByteOrderMark(page))
        return std::move(*marked);
    // Every charset a page may name agrees with ASCII on ASCII bytes.
    if (IsAscii(page))
        return page;
    std::string charset = CharsetOf(contentType);
    if (charset.empty())
        charset = MetaCharset(page);
    if (charset == "utf-8" || charset == "utf8")
        return page;
    if (charset.empty()) {
        // Named nowhere: UTF-8 when the bytes are UTF-8, else the Western encoding that
        // browsers assume for such a page (windows-1252, which ISO-8859-1 labels too).
        if (Converted(page, "UTF-8"))
            return page;
        if (std::optional<std::string> western = Converted(page, "WINDOWS-1252"))
            return std::move(*western);
        return Converted(page, "ISO-8859-1").value_or(page);
    }
    return Converted(page, charset.c_str()).value_or(page);
}

} // namespace KDAutoUpdate
