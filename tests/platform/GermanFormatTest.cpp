#include <gtest/gtest.h>

#include "platform/portable/GermanFormat.h"

using namespace KDAutoUpdate;

namespace {
constexpr long long kKB = 1024;
constexpr long long kMB = kKB * 1024;
constexpr long long kGB = kMB * 1024;
constexpr long long kTB = kGB * 1024;
} // namespace

TEST(GermanFormatTest, ByteSizesBelowOneKilobyteCountBytes) {
    EXPECT_EQ(GermanFormat::FormatByteSize(0), "0 Bytes");
    EXPECT_EQ(GermanFormat::FormatByteSize(1), "1 Byte");
    EXPECT_EQ(GermanFormat::FormatByteSize(2), "2 Bytes");
    EXPECT_EQ(GermanFormat::FormatByteSize(512), "512 Bytes");
    EXPECT_EQ(GermanFormat::FormatByteSize(1023), "1023 Bytes");
    EXPECT_EQ(GermanFormat::FormatByteSize(-5), "0 Bytes");
}

TEST(GermanFormatTest, LargerSizesUseOneDecimalWithCommaAndDropZero) {
    EXPECT_EQ(GermanFormat::FormatByteSize(kKB), "1 KB");
    EXPECT_EQ(GermanFormat::FormatByteSize(1536), "1,5 KB");
    EXPECT_EQ(GermanFormat::FormatByteSize(kKB + 51), "1 KB");   // 1,0498 rounds to 1,0
    EXPECT_EQ(GermanFormat::FormatByteSize(kKB + 52), "1,1 KB"); // 1,0508 rounds up
    EXPECT_EQ(GermanFormat::FormatByteSize(kMB * 3 / 2), "1,5 MB");
    EXPECT_EQ(GermanFormat::FormatByteSize(kGB * 23 / 10), "2,3 GB");
    EXPECT_EQ(GermanFormat::FormatByteSize(5 * kTB), "5 TB");
    EXPECT_EQ(GermanFormat::FormatByteSize(2048 * kTB), "2048 TB");
}

TEST(GermanFormatTest, RoundingUpToTheNextUnitShowsThatUnit) {
    EXPECT_EQ(GermanFormat::FormatByteSize(kMB - 1), "1 MB");
    EXPECT_EQ(GermanFormat::FormatByteSize(kMB - kKB), "1023 KB");
    EXPECT_EQ(GermanFormat::FormatByteSize(kGB - 1), "1 GB");
}

TEST(GermanFormatTest, DurationsUseTheTwoLargestUnits) {
    EXPECT_EQ(GermanFormat::FormatDuration(0), "0 Sek.");
    EXPECT_EQ(GermanFormat::FormatDuration(5), "5 Sek.");
    EXPECT_EQ(GermanFormat::FormatDuration(59), "59 Sek.");
    EXPECT_EQ(GermanFormat::FormatDuration(60), "1 Min. 0 Sek.");
    EXPECT_EQ(GermanFormat::FormatDuration(125), "2 Min. 5 Sek.");
    EXPECT_EQ(GermanFormat::FormatDuration(3599), "59 Min. 59 Sek.");
    EXPECT_EQ(GermanFormat::FormatDuration(3600 + 180), "1 Std. 3 Min.");
    EXPECT_EQ(GermanFormat::FormatDuration(3600 + 180 + 59), "1 Std. 3 Min.");
    EXPECT_EQ(GermanFormat::FormatDuration(30 * 3600), "30 Std. 0 Min.");
    EXPECT_EQ(GermanFormat::FormatDuration(-1), "unbekannt");
}

TEST(GermanFormatTest, ShortenTextKeepsWhatFits) {
    EXPECT_EQ(GermanFormat::ShortenText("abcdefghij", 10), "abcdefghij");
    EXPECT_EQ(GermanFormat::ShortenText("abcdefghij", 11), "abcdefghij");
    EXPECT_EQ(GermanFormat::ShortenText("", 5), "");
    // Fifteen code points in nineteen bytes fit fifteen.
    EXPECT_EQ(GermanFormat::ShortenText("Größenänderungß", 15), "Größenänderungß");
}

TEST(GermanFormatTest, ShortenTextPutsDotsInTheMiddle) {
    EXPECT_EQ(GermanFormat::ShortenText("abcdefghij", 9), "abc...hij");
    EXPECT_EQ(GermanFormat::ShortenText("abcdefghij", 8), "abc...ij");
    EXPECT_EQ(GermanFormat::ShortenText("abcdefghij", 4), "a...");
    EXPECT_EQ(GermanFormat::ShortenText("/home/user/Downloads/update.msp", 20),
              "/home/use...date.msp");
}

TEST(GermanFormatTest, ShortenTextCountsCodePointsAndNeverSplitsThem) {
    // 18 code points, 22 bytes.
    const std::string text = "Übergrößenänderung";
    EXPECT_EQ(GermanFormat::ShortenText(text, 10), "Über...ung");
    EXPECT_EQ(GermanFormat::ShortenText(text, 11), "Über...rung");
    EXPECT_EQ(GermanFormat::ShortenText("äöüäöü", 5), "ä...ü");
    EXPECT_EQ(GermanFormat::ShortenText("€uro€", 4), "€...");
}

TEST(GermanFormatTest, ShortenTextBelowFourKeepsTheStart) {
    EXPECT_EQ(GermanFormat::ShortenText("Übergröße", 3), "Übe");
    EXPECT_EQ(GermanFormat::ShortenText("Übergröße", 1), "Ü");
    EXPECT_EQ(GermanFormat::ShortenText("Übergröße", 0), "");
    EXPECT_EQ(GermanFormat::ShortenText("Übergröße", -2), "");
}

TEST(GermanFormatTest, ShortenTextCountsBrokenBytesOneByOne) {
    const std::string broken = "ab\xC3"
                               "cdefgh\xFF";
    EXPECT_EQ(GermanFormat::ShortenText(broken, 10), broken);
    EXPECT_EQ(GermanFormat::ShortenText(broken, 8), "ab\xC3...h\xFF");
}
