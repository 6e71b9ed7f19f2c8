#pragma once
// The C library's Unicode lower-casing (locale C.UTF-8), one code point at a time: the tests'
// stand-in for the lower-casing of a toolkit or of the system.

#include "platform/TextCase.h"

namespace KDAutoUpdate {

class LibcTextCase : public ITextCase {
public:
    std::string LowerCase(std::string_view utf8) const override;
};

} // namespace KDAutoUpdate
