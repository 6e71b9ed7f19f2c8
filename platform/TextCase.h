#pragma once
// Unicode lower-casing of UTF-8 text as the platform does it, for case-insensitive keys,
// words and stamps.

#include <string>
#include <string_view>

namespace KDAutoUpdate {

class ITextCase {
public:
    virtual ~ITextCase() = default;
    // Malformed text is lower-cased in its ASCII letters only, its other bytes kept.
    virtual std::string LowerCase(std::string_view utf8) const = 0;
};

} // namespace KDAutoUpdate
