#include "platform/portable/ResUrl.h"

#include <optional>
#include <string_view>
#include <utility>

namespace KDAutoUpdate {

namespace {

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<std::string> PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) {
            return std::nullopt;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string ResourceUrlPath(const std::string& filePath) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(filePath.size());
    for (const char ch : filePath) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsUnreserved(c) || c == '/') {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

bool ParseResUrl(const std::string& url, std::string& filePath, std::string& resourceName) {
    std::string_view rest(url);
    if (!StartsWithNoCase(rest, "res:")) {
        return false;
    }
    rest.remove_prefix(4);
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (rest.starts_with("//")) {
        // The file lives on this machine: only an empty or "localhost" authority makes sense.
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        if (slash == rest.npos) {
            return false;
        }
        const std::string_view authority = rest.substr(0, slash);
        const bool local = authority.empty() ||
                           (authority.size() == 9 && StartsWithNoCase(authority, "localhost"));
        if (!local) {
            return false;
        }
        rest.remove_prefix(slash);
    }
    if (!rest.starts_with('/')) {
        return false;
    }
    const std::size_t last = rest.rfind('/');
    if (last == rest.npos || last == 0) {
        return false;
    }
    auto path = PercentDecode(rest.substr(0, last));
    auto name = PercentDecode(rest.substr(last + 1));
    if (!path || !name || name->empty()) {
        return false;
    }
    filePath = std::move(*path);
    resourceName = std::move(*name);
    return true;
}

} // namespace KDAutoUpdate
