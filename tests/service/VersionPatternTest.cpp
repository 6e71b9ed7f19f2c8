// The version patterns of a published catalogue agree with the service's own comparison.
#include "service/VersionPattern.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace KDAutoUpdate {
namespace {

bool Matches(const QString& pattern, const QString& text) {
    return !pattern.isEmpty() &&
           QRegularExpression(QStringLiteral("^(?:%1)$").arg(pattern)).match(text).hasMatch();
}

TEST(VersionPatternTest, BelowAndEqualAgreeWithTheComparison) {
    const QStringList versions{"0",       "0.0.1",    "1",       "5",       "5.0",    "5.0.0",
                               "5.0.2",   "05.00.02", "5.0.9",   "5.0.10",  "5.0.19", "5.0.20",
                               "5.0.100", "5.1",      "5.1.0.0", "5.10",    "9.9.9",  "10",
                               "19.0",    "20.0.1",   "100",     "5.0.2.1", "2024.1"};
    for (const QString& boundary : versions) {
        const ProductVersion b = ProductVersion::Parse(boundary);
        for (const QString& text : versions) {
            SCOPED_TRACE((text + QStringLiteral(" against ") + boundary).toStdString());
            const ProductVersion v = ProductVersion::Parse(text);
            EXPECT_EQ(Matches(VersionPattern::Below(b), text), v < b);
            EXPECT_EQ(Matches(VersionPattern::Equal(b), text), v == b);
            EXPECT_TRUE(Matches(VersionPattern::Plain(), text));
        }
    }
    EXPECT_FALSE(Matches(VersionPattern::Plain(), "5.0.2-beta"));
}

} // namespace
} // namespace KDAutoUpdate
