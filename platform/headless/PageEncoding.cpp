#include "platform/headless/PageEncoding.h"

#include <iconv.h>

#include <algorithm>
#include <memory>

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
    // Every charset a page may name agrees with ASCII on ASCII bytes.
    if (IsAscii(page))
        return page;
    std::string charset = CharsetOf(contentType);
    if (charset.empty())
        charset = MetaCharset(page);
    if (charset.empty() || charset == "utf-8" || charset == "utf8")
        return page;
    const iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return page;
    const std::unique_ptr<void, IconvCloser> closer(cd);
    std::string out(page.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(page.data());
    std::size_t inLeft = page.size();
    char* to = out.data();
    std::size_t outLeft = out.size();
    if (iconv(cd, &in, &inLeft, &to, &outLeft) == static_cast<std::size_t>(-1))
        return page;
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace KDAutoUpdate
