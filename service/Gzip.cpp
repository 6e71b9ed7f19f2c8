#include "service/Gzip.h"

#include <zlib.h>

#include <limits>

namespace KDAutoUpdate {

std::optional<QByteArray> Gzip::Compress(const QByteArray& bytes) {
    // One call of deflate takes at most 4 GiB; nothing published comes near.
    if (bytes.size() > std::numeric_limits<uInt>::max())
        return std::nullopt;
    z_stream stream{};
    // 16 + 15: a gzip header and trailer around a deflate stream with the largest window.
    constexpr int kGzipWindowBits = 16 + 15;
    constexpr int kMemoryLevel = 9;
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, kGzipWindowBits, kMemoryLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;
    QByteArray out(static_cast<qsizetype>(deflateBound(&stream, static_cast<uLong>(bytes.size()))),
                   Qt::Uninitialized);
    // zlib does not write through next_in; its interface predates const.
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    const auto written = static_cast<qsizetype>(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        return std::nullopt;
    out.truncate(written);
    return out;
}

} // namespace KDAutoUpdate
