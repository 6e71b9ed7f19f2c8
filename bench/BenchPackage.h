#pragma once
// The large package of the download benchmarks: its size as the command line gives it, and the
// file written to serve it.

#include <filesystem>
#include <optional>
#include <string>

namespace KDAutoUpdate::Bench {

constexpr long long kMiB = 1024 * 1024;

// "BYTES", "BYTESK", "BYTESM" or "BYTESG" (either case); nullopt for anything else or no bytes.
std::optional<long long> ParseSize(std::string text);

// A file of `size` bytes written in 1 MiB pieces of a varying pattern.
bool WritePackage(const std::filesystem::path& path, long long size);

} // namespace KDAutoUpdate::Bench
