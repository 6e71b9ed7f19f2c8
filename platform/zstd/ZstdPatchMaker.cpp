#include "platform/zstd/ZstdPatchMaker.h"

#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include <zstd.h>

#include "platform/zstd/ZstdFiles.h"

namespace KDAutoUpdate {

namespace {

// What zstd's largest window reaches over, base and target together.
constexpr std::uint64_t kMaxInputBytes = std::uint64_t{1} << 31;

struct CCtxFree {
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};

std::optional<std::vector<char>> Compress(const std::vector<char>& base,
                                          const std::vector<char>& target, int level) {
    std::unique_ptr<ZSTD_CCtx, CCtxFree> context(ZSTD_createCCtx());
    if (!context)
        return std::nullopt;
    ZSTD_CCtx* c = context.get();
    // The window must reach from the end of the target back to the start of the base, or
    // matches in the base's early part are lost. The target's length and a checksum go into
    // the frame, so the applier knows what to expect and can tell a wrong base.
    const int windowLog = ZstdFiles::WindowLogFor(base.size() + target.size());
    const bool set =
        !ZSTD_isError(ZSTD_CCtx_setParameter(c, ZSTD_c_compressionLevel, level)) &&
        !ZSTD_isError(ZSTD_CCtx_setParameter(c, ZSTD_c_windowLog, windowLog)) &&
        !ZSTD_isError(ZSTD_CCtx_setParameter(c, ZSTD_c_enableLongDistanceMatching, 1)) &&
        !ZSTD_isError(ZSTD_CCtx_setParameter(c, ZSTD_c_contentSizeFlag, 1)) &&
        !ZSTD_isError(ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1)) &&
        !ZSTD_isError(ZSTD_CCtx_refPrefix(c, base.data(), base.size()));
    if (!set)
        return std::nullopt;
    std::vector<char> patch(ZSTD_compressBound(target.size()));
    const std::size_t size =
        ZSTD_compress2(c, patch.data(), patch.size(), target.data(), target.size());
    if (ZSTD_isError(size))
        return std::nullopt;
    patch.resize(size);
    return patch;
}

} // namespace

bool ZstdPatchMaker::MakePatch(const std::string& base, const std::string& target,
                               const std::string& patch, int level) {
    const auto baseBytes = ZstdFiles::ReadAll(base, kMaxInputBytes);
    const auto targetBytes =
        baseBytes ? ZstdFiles::ReadAll(target, kMaxInputBytes - baseBytes->size()) : std::nullopt;
    if (!targetBytes)
        return false;
    const std::optional<std::vector<char>> bytes = Compress(*baseBytes, *targetBytes, level);
    if (!bytes)
        return false;
    const std::filesystem::path finalPath = ZstdFiles::PathOf(patch);
    // Another process making the same patch writes a part of its own.
    std::filesystem::path partPath = finalPath;
    partPath += ".part" + std::to_string(std::random_device()());
    {
        std::ofstream out(partPath, std::ios::binary | std::ios::trunc);
        out.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
        out.close();
        if (out.fail()) {
            std::error_code error;
            std::filesystem::remove(partPath, error);
            return false;
        }
    }
    return ZstdFiles::ReplaceFile(partPath, finalPath);
}

} // namespace KDAutoUpdate
