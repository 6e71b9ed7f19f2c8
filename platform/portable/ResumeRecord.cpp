#include "platform/portable/ResumeRecord.h"

#include <charconv>
#include <fstream>
#include <system_error>

namespace KDAutoUpdate {

namespace fs = std::filesystem;

namespace {

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

} // namespace

std::optional<ResumeRecord> ResumeRecord::Load(const fs::path& file) {
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(file, error)))
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    ResumeRecord record;
    std::string length;
    if (!std::getline(in, record.url) || !std::getline(in, length) ||
        !std::getline(in, record.validatorName) || !std::getline(in, record.validator))
        return std::nullopt;
    const char* end = length.data() + length.size();
    const auto [stop, failure] = std::from_chars(length.data(), end, record.length);
    if (failure != std::errc() || stop != end || record.length < 0 || record.url.empty() ||
        record.validator.empty() ||
        (record.validatorName != "ETag" && record.validatorName != "Last-Modified"))
        return std::nullopt;
    return record;
}

bool ResumeRecord::Save(const fs::path& file) const {
    if (HasLineBreak(url) || HasLineBreak(validatorName) || HasLineBreak(validator))
        return false;
    fs::path temporary = file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << url << '\n' << length << '\n' << validatorName << '\n' << validator << '\n';
        out.flush();
        if (!out)
            return false;
    }
    std::error_code error;
    fs::rename(temporary, file, error);
    if (!error)
        return true;
    fs::remove(temporary, error);
    return false;
}

} // namespace KDAutoUpdate
