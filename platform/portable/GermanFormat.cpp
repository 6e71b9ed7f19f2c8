#include "platform/portable/GermanFormat.h"

#include <array>
#include <cstddef>
#include <vector>

namespace KDAutoUpdate::GermanFormat {

namespace {

// Tenths as "12" or "12,3".
std::string TenthsText(long long tenths) {
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0)
        text += "," + std::to_string(tenths % 10);
    return text;
}

// Byte offsets where each code point starts, plus the end of the text.
std::vector<std::size_t> CodePointStarts(const std::string& text) {
    std::vector<std::size_t> starts;
    std::size_t i = 0;
    while (i < text.size()) {
        starts.push_back(i);
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        if (lead >= 0xC2 && lead <= 0xDF)
            length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF)
            length = 3;
        else if (lead >= 0xF0 && lead <= 0xF4)
            length = 4;
        if (length > 1) {
            // A truncated or broken sequence counts byte by byte.
            bool complete = i + length <= text.size();
            for (std::size_t k = 1; complete && k < length; ++k)
                complete = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
            if (!complete)
                length = 1;
        }
        i += length;
    }
    starts.push_back(text.size());
    return starts;
}

} // namespace

std::string FormatByteSize(long long bytes) {
    if (bytes < 0)
        bytes = 0;
    if (bytes == 1)
        return "1 Byte";
    if (bytes < 1024)
        return std::to_string(bytes) + " Bytes";

    static constexpr std::array<const char*, 4> kUnits{"KB", "MB", "GB", "TB"};
    std::size_t unitIndex = 0;
    long long unit = 1024;
    while (unitIndex + 1 < kUnits.size() && bytes / unit >= 1024) {
        unit *= 1024;
        ++unitIndex;
    }
    // Rounded to tenths in integers, so 1536 is exactly "1,5" and no overflow can occur.
    const long long whole = bytes / unit;
    const long long rest = bytes % unit;
    long long tenths = whole * 10 + (rest * 10 + unit / 2) / unit;
    if (tenths >= 10240 && unitIndex + 1 < kUnits.size()) {
        // 1023,96 KB rounds up to the next unit rather than showing "1024 KB".
        ++unitIndex;
        tenths = 10;
    }
    return TenthsText(tenths) + " " + kUnits[unitIndex];
}

std::string FormatDuration(long long seconds) {
    if (seconds < 0)
        return "unbekannt";
    if (seconds < 60)
        return std::to_string(seconds) + " Sek.";
    if (seconds < 3600)
        return std::to_string(seconds / 60) + " Min. " + std::to_string(seconds % 60) + " Sek.";
    return std::to_string(seconds / 3600) + " Std. " + std::to_string(seconds % 3600 / 60) +
           " Min.";
}

std::string ShortenText(const std::string& text, int maxLength) {
    if (maxLength <= 0)
        return {};
    const std::vector<std::size_t> starts = CodePointStarts(text);
    const std::size_t count = starts.size() - 1;
    const auto max = static_cast<std::size_t>(maxLength);
    if (count <= max)
        return text;
    if (max < 4)
        return text.substr(0, starts[max]);
    const std::size_t keep = max - 3;
    const std::size_t head = (keep + 1) / 2;
    const std::size_t tail = keep / 2;
    return text.substr(0, starts[head]) + "..." + text.substr(starts[count - tail]);
}

} // namespace KDAutoUpdate::GermanFormat
