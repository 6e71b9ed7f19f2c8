#pragma once
// Lower-casing by Qt's Unicode tables (QString::toLower: the full mappings, so "İ" becomes
// "i" followed by the combining dot above).

#include "platform/TextCase.h"

namespace KDAutoUpdate {

class QtTextCase final : public ITextCase {
public:
    std::string LowerCase(std::string_view utf8) const override;
};

} // namespace KDAutoUpdate
