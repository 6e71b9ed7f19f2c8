#pragma once
// What a partial download is part of, kept beside it ("<name>.resume") so that a later
// transfer of the same address can ask only for the rest: the address, the whole length and
// the server's validator of that version of the file (its ETag, or else its Last-Modified).
// One line each, in that order; a record that does not read back whole is no record.

#include <filesystem>
#include <optional>
#include <string>

namespace KDAutoUpdate {

struct ResumeRecord {
    std::string url;
    long long length = -1;
    // "ETag" or "Last-Modified", and the header's value as the server sent it.
    std::string validatorName;
    std::string validator;

    static std::optional<ResumeRecord> Load(const std::filesystem::path& file);
    // Written whole under a temporary name and renamed into place.
    bool Save(const std::filesystem::path& file) const;
};

} // namespace KDAutoUpdate
