// Lower-casing by Qt's Unicode tables, behind the platform's text-case interface.

#include "platform/qt/QtTextCase.h"

#include <gtest/gtest.h>

namespace KDAutoUpdate {
namespace {

TEST(QtTextCase, LowersEveryScriptByTheFullMappings) {
    const std::pair<std::string, std::string> cases[] = {
        {"ÄÖÜ ABC ẞ", "äöü abc ß"},
        {"ŁÓDŹ МОСКВА Ÿ ǅ", "łódź москва ÿ ǆ"},
        {"İ", "i\u0307"}, // never the dotless ı
        {"\xff\xfe"
         "A",
         "\xff\xfe"
         "a"}, // malformed: bytes kept
    };
    const QtTextCase textCase;
    for (const auto& [text, lower] : cases)
        EXPECT_EQ(textCase.LowerCase(text), lower) << text;
}

} // namespace
} // namespace KDAutoUpdate
