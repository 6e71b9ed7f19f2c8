#pragma once

#include <QByteArray>

#include <optional>

namespace KDAutoUpdate {

// The gzip form (RFC 1952) of a file, as `gzip -9` writes it, for web servers that send a
// precompressed file to clients that accept gzip. Without a time or name in its header, so the
// same bytes always compress to the same file.
class Gzip {
public:
    // Nothing when zlib fails.
    static std::optional<QByteArray> Compress(const QByteArray& bytes);
};

} // namespace KDAutoUpdate
