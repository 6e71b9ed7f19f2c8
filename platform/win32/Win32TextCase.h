#pragma once
// The system's Unicode lower-casing (LCMapStringEx, invariant locale) of UTF-8 text.

#include "platform/TextCase.h"

namespace KDAutoUpdate {

class Win32TextCase : public ITextCase {
public:
    std::string LowerCase(std::string_view utf8) const override;
};

} // namespace KDAutoUpdate
