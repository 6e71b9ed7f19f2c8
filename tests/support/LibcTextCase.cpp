#include "tests/support/LibcTextCase.h"

#include <cwchar>
#include <locale>

namespace KDAutoUpdate {

namespace {
using Utf8 = std::codecvt<char32_t, char8_t, std::mbstate_t>;

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}
} // namespace

std::string LibcTextCase::LowerCase(std::string_view utf8) const {
    static const std::locale unicode = [] {
        try {
            return std::locale("C.UTF-8");
        } catch (...) {
            return std::locale::classic();
        }
    }();
    const auto& codec = std::use_facet<Utf8>(std::locale::classic());
    const auto& ctype = std::use_facet<std::ctype<wchar_t>>(unicode);

    std::u32string wide(utf8.size(), U'\0');
    std::mbstate_t state{};
    const auto* from = reinterpret_cast<const char8_t*>(utf8.data());
    const char8_t* fromNext = nullptr;
    char32_t* toNext = nullptr;
    if (codec.in(state, from, from + utf8.size(), fromNext, wide.data(), wide.data() + wide.size(),
                 toNext) != Utf8::ok)
        return AsciiLower(utf8);
    wide.resize(static_cast<std::size_t>(toNext - wide.data()));
    for (char32_t& c : wide)
        c = static_cast<char32_t>(ctype.tolower(static_cast<wchar_t>(c)));

    std::u8string out(wide.size() * 4, u8'\0');
    state = {};
    const char32_t* wideNext = nullptr;
    char8_t* outNext = nullptr;
    codec.out(state, wide.data(), wide.data() + wide.size(), wideNext, out.data(),
              out.data() + out.size(), outNext);
    return std::string(reinterpret_cast<const char*>(out.data()),
                       static_cast<std::size_t>(outNext - out.data()));
}

} // namespace KDAutoUpdate
