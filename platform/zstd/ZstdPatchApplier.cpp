#include "platform/zstd/ZstdPatchApplier.h"

#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

#include <zstd.h>

#include "platform/zstd/ZstdFiles.h"

namespace KDAutoUpdate {

namespace {

// A base beyond zstd's largest window cannot be referred to by any patch.
constexpr std::uint64_t kMaxBaseBytes = std::uint64_t{1} << 31;

struct DCtxFree {
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

// Decodes the frame in `in` with `base` as prefix into `out`; true when exactly one whole frame
// of `expected` bytes came out and its checksum held.
bool Decode(std::ifstream& in, std::ofstream& out, const std::vector<char>& base,
            std::uint64_t expected) {
    std::unique_ptr<ZSTD_DCtx, DCtxFree> context(ZSTD_createDCtx());
    if (!context)
        return false;
    // The window a patch needs reaches over base and target; a larger one is refused, which
    // bounds the memory a patch can ask for.
    const int windowLog = ZstdFiles::WindowLogFor(base.size() + expected);
    if (ZSTD_isError(ZSTD_DCtx_setParameter(context.get(), ZSTD_d_windowLogMax, windowLog)) ||
        ZSTD_isError(ZSTD_DCtx_refPrefix(context.get(), base.data(), base.size())))
        return false;
    std::vector<char> input(ZSTD_DStreamInSize());
    std::vector<char> output(ZSTD_DStreamOutSize());
    std::uint64_t written = 0;
    std::size_t pending = 1; // ZSTD_decompressStream's hint: 0 once the frame is complete
    while (in) {
        in.read(input.data(), static_cast<std::streamsize>(input.size()));
        ZSTD_inBuffer chunk{input.data(), static_cast<std::size_t>(in.gcount()), 0};
        while (chunk.pos < chunk.size) {
            if (pending == 0)
                return false; // bytes after the frame
            ZSTD_outBuffer buffer{output.data(), output.size(), 0};
            pending = ZSTD_decompressStream(context.get(), &buffer, &chunk);
            if (ZSTD_isError(pending))
                return false;
            written += buffer.pos;
            if (written > expected ||
                !out.write(output.data(), static_cast<std::streamsize>(buffer.pos)))
                return false;
        }
    }
    // Flush what the decoder still holds once the input is gone.
    while (pending != 0 && !in.bad()) {
        ZSTD_inBuffer none{nullptr, 0, 0};
        ZSTD_outBuffer buffer{output.data(), output.size(), 0};
        pending = ZSTD_decompressStream(context.get(), &buffer, &none);
        if (ZSTD_isError(pending) || buffer.pos == 0)
            return false;
        written += buffer.pos;
        if (written > expected ||
            !out.write(output.data(), static_cast<std::streamsize>(buffer.pos)))
            return false;
    }
    return pending == 0 && written == expected && in.eof() && !in.bad();
}

// The target's length as the frame header states it; nullopt when it does not.
std::optional<std::uint64_t> FrameContentSize(std::ifstream& in) {
    char header[18]; // the longest frame header zstd writes
    in.read(header, sizeof header);
    const unsigned long long size =
        ZSTD_getFrameContentSize(header, static_cast<std::size_t>(in.gcount()));
    in.clear();
    in.seekg(0);
    if (size == ZSTD_CONTENTSIZE_UNKNOWN || size == ZSTD_CONTENTSIZE_ERROR || !in)
        return std::nullopt;
    return size;
}

} // namespace

bool ZstdPatchApplier::ApplyPatch(const std::string& base, const std::string& patch,
                                  const std::string& target, std::uint64_t maxTargetBytes) {
    std::ifstream in(ZstdFiles::PathOf(patch), std::ios::binary);
    if (!in)
        return false;
    const std::optional<std::uint64_t> expected = FrameContentSize(in);
    if (!expected || *expected > maxTargetBytes)
        return false;
    const std::optional<std::vector<char>> baseBytes = ZstdFiles::ReadAll(base, kMaxBaseBytes);
    if (!baseBytes)
        return false;
    // Written beside the target and moved over it only when complete and proven by the frame.
    const std::filesystem::path finalPath = ZstdFiles::PathOf(target);
    std::filesystem::path partPath = finalPath;
    partPath += ".rebuild";
    bool decoded = false;
    {
        std::ofstream out(partPath, std::ios::binary | std::ios::trunc);
        decoded = out && Decode(in, out, *baseBytes, *expected);
        out.close();
        decoded = decoded && !out.fail();
    }
    if (!decoded) {
        std::error_code error;
        std::filesystem::remove(partPath, error);
        return false;
    }
    return ZstdFiles::ReplaceFile(partPath, finalPath);
}

} // namespace KDAutoUpdate
