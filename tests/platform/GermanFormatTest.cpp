#include <gtest/gtest.h>

#include "platform/portable/GermanFormat.h"

using namespace KDAutoUpdate;

namespace {
constexpr long long kKB = 1024;
constexpr long long kMB = kKB * 1024;
constexpr long long kGB = kMB * 1024;
constexpr long long kTB = kGB * 1024;
} // namespace

TEST(GermanFormatTest, ByteSizes) {
    const std::pair<long long, const char*> cases[] = {
        {0, "0 Bytes"},          {1, "1 Byte"},        {1023, "1023 Bytes"},
        {-5, "0 Bytes"},         {kKB, "1 KB"},        {1536, "1,5 KB"},
        {kKB + 51, "1 KB"},      {kKB + 52, "1,1 KB"}, {kGB * 23 / 10, "2,3 GB"},
        {2048 * kTB, "2048 TB"}, {kMB - 1, "1 MB"},    {kMB - kKB, "1023 KB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(GermanFormat::FormatByteSize(bytes), text) << bytes;
}

TEST(GermanFormatTest, DurationsUseTheTwoLargestUnits) {
    const std::pair<long long, const char*> cases[] = {
        {0, "0 Sek."},
        {59, "59 Sek."},
        {60, "1 Min. 0 Sek."},
        {3599, "59 Min. 59 Sek."},
        {3600 + 239, "1 Std. 3 Min."},
        {-1, "unbekannt"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(GermanFormat::FormatDuration(seconds), text) << seconds;
}

TEST(GermanFormatTest, ShortenTextPutsDotsInTheMiddleCountingCodePoints) {
    const std::string broken = "ab\xC3"
                               "cdefgh\xFF";
    const std::tuple<std::string, int, std::string> cases[] = {
        {"Größenänderungß", 15, "Größenänderungß"},
        {"abcdefghij", 9, "abc...hij"},
        {"abcdefghij", 8, "abc...ij"},
        {"abcdefghij", 4, "a..."},
        {"Übergrößenänderung", 11, "Über...rung"},
        {"€uro€", 4, "€..."},
        {"Übergröße", 3, "Übe"},
        {"Übergröße", -2, ""},
        {broken, 8, "ab\xC3...h\xFF"},
    };
    for (const auto& [text, length, shortened] : cases)
        EXPECT_EQ(GermanFormat::ShortenText(text, length), shortened) << text << " " << length;
}
