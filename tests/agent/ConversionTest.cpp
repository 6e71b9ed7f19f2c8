// Value conversions with fallbacks, and automation dates.

#include <gtest/gtest.h>

#include "common/AutomationDate.h"
#include "common/modMain.h"

namespace KDAutoUpdate {
namespace {

TEST(Conversion, NormalizeGuidAndVarToStr) {
    const std::pair<const char*, const char*> guids[] = {
        {"", ""},          {"  \t ", ""},     {"ABC", "{ABC}"},    {"{ABC}", "{ABC}"},
        {"ABC}", "{ABC}"}, {"{ABC", "{ABC}"}, {" ABC ", "{ ABC }"}};
    for (const auto& [in, out] : guids)
        EXPECT_EQ(NormalizeGuid(in), out) << in;
    // Only nothing falls back.
    const std::pair<Variant, const char*> texts[] = {
        {Variant::MakeNull(), "x"}, {Variant(), "x"},
        {Variant(""), "x"},         {Variant("abc"), "abc"},
        {Variant(" "), " "},        {Variant(std::int32_t{-42}), "-42"},
        {Variant(true), "True"},    {Variant::MakeObject(&std::cout), "x"}};
    for (const auto& [value, text] : texts)
        EXPECT_EQ(VarToStr(value, "x"), text) << text;
}

TEST(Conversion, VarToBoolWordsNumbersAndDefaults) {
    for (const char* yes : {"1", "true", "TRUE", "Yes", "Wahr"})
        EXPECT_TRUE(VarToBool(Variant(yes), false)) << yes;
    for (const char* no : {"0", "false", "No", "FALSCH"})
        EXPECT_FALSE(VarToBool(Variant(no), true)) << no;
    for (const char* other : {"2", " true", "", "-1", "y"}) {
        EXPECT_TRUE(VarToBool(Variant(other), true)) << other;
        EXPECT_FALSE(VarToBool(Variant(other), false)) << other;
    }
    EXPECT_TRUE(VarToBool(Variant::MakeNull(), true));
    EXPECT_FALSE(VarToBool(Variant::MakeNull(), false));
    EXPECT_TRUE(VarToBool(Variant(true), false));
    EXPECT_TRUE(VarToBool(Variant(std::int16_t{7}), false));
    EXPECT_FALSE(VarToBool(Variant(std::int16_t{0}), true));
}

TEST(Conversion, VarToLongParsesNumbersAndRoundsHalfToEven) {
    const std::pair<Variant, long> cases[] = {
        {Variant("  12 "), 12},
        {Variant("-3"), -3},
        {Variant("2,5"), 2},
        {Variant("3.5"), 4},
        {Variant(std::int32_t{77}), 77},
        {Variant(true), -1},
        {Variant(), 0}, // Empty is 0, whatever the default
        {Variant::MakeNull(), -9},
        {Variant(""), -9},
        {Variant("1 2"), -9},
        {Variant("2147483647"), 2147483647},
        {Variant("2147483648"), -9},
        {Variant("-2147483649"), -9},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(VarToLong(value, -9), expected) << value.ToText().value_or("?");
}

TEST(Conversion, StoreDatesBothWays) {
    EXPECT_EQ(FormatStoreDate(AutomationDate{0.0}), "1899-12-30 00:00:00");
    EXPECT_EQ(FormatStoreDate(AutomationDate{1.5}), "1899-12-31 12:00:00");
    EXPECT_EQ(FormatStoreDate(AutomationDate{-1.25}), "1899-12-29 06:00:00");
    const auto d = ParseDate("2009-09-14 18:35:52");
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(FormatStoreDate(*d), "2009-09-14 18:35:52");
    EXPECT_NEAR(d->value, 40070.774907, 1e-6);
    EXPECT_EQ(ParseDate("1899-12-30 00:00:00")->value, 0.0);
    for (const char* leap : {"2024-02-29", "2000-02-29"})
        EXPECT_EQ(FormatStoreDate(*ParseDate(leap)), std::string(leap) + " 00:00:00");
    EXPECT_EQ(FormatStoreDate(*ParseDate("17.05.2024 14:03")), "2024-05-17 14:03:00");
    for (const char* bad : {"abc", "", "2023-02-29 00:00:00", "1900-02-29", "2024-13-01 00:00:00",
                            "2024-05-17 24:00:00", "2024-05-17 14:03:59x"})
        EXPECT_FALSE(ParseDate(bad).has_value()) << bad;
}

} // namespace
} // namespace KDAutoUpdate
