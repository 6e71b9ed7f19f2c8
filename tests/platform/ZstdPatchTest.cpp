// Patches made from a base rebuild the target byte for byte, and nothing else: a wrong base, a
// cut patch or a target over the limit leaves no file behind and an older file untouched.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>

#include "platform/zstd/ZstdPatchApplier.h"
#include "platform/zstd/ZstdPatchMaker.h"
#include "tests/support/FileText.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

namespace fs = std::filesystem;

std::string Noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xff);
    return bytes;
}

class ZstdPatch : public ::testing::Test {
protected:
    ZstdPatch() {
        Write("base", base);
        Write("target", target);
    }
    ~ZstdPatch() override { fs::remove_all(folder); }
    std::string File(const std::string& name) const { return (folder / name).string(); }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(folder / name, std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const { return ReadFile(folder / name); }

    const fs::path folder = TestPlatform::MakeTempFolder("zstd-patch");
    // Two "versions" of a 3 MiB incompressible package: a few changed and inserted bytes, as
    // a rebuild of nearby sources gives; beyond zstd's default window, so only a window over
    // the base finds the matches.
    const std::string base = Noise(3 << 20, 1);
    const std::string target = base.substr(0, 1000) + "changed" + base.substr(1007, 2 << 20) +
                               Noise(4096, 2) + base.substr((2 << 20) + 1007);
    ZstdPatchApplier applier;
};

TEST_F(ZstdPatch, RebuildsTheTargetFromItsBaseWithAFewPerCentOfItsBytes) {
    ASSERT_TRUE(ZstdPatchMaker::MakePatch(File("base"), File("target"), File("patch")));
    EXPECT_LT(fs::file_size(folder / "patch"), target.size() / 100);

    Write("rebuilt", "an older file under the target's name");
    ASSERT_TRUE(applier.ApplyPatch(File("base"), File("patch"), File("rebuilt"), target.size()));
    EXPECT_EQ(Read("rebuilt"), target);
    EXPECT_FALSE(fs::exists(folder / "rebuilt.rebuild"));
}

TEST_F(ZstdPatch, AWrongBaseACutPatchOrATooLargeTargetLeavesNothing) {
    ASSERT_TRUE(ZstdPatchMaker::MakePatch(File("base"), File("target"), File("patch")));
    const std::string patch = Read("patch");
    std::string otherBase = base;
    otherBase[5000] ^= 0x55; // one byte of the base the target copies
    Write("other-base", otherBase);
    Write("cut", patch.substr(0, patch.size() - 3));
    // An empty frame of its own after the patch: well-formed, but not what was made.
    Write("trailing", patch + std::string("\x28\xb5\x2f\xfd\x20\x00\x01\x00\x00", 9));

    // What, base file, patch file, limit.
    const std::tuple<const char*, std::string, std::string, std::uint64_t> cases[] = {
        {"another base", File("other-base"), File("patch"), target.size()},
        {"a cut patch", File("base"), File("cut"), target.size()},
        {"a frame after the patch", File("base"), File("trailing"), target.size()},
        {"a target over the limit", File("base"), File("patch"), target.size() - 1},
        {"no base", File("missing"), File("patch"), target.size()},
        {"no patch", File("base"), File("missing"), target.size()},
        {"the base as patch", File("base"), File("base"), target.size()},
    };
    for (const auto& [what, from, patchFile, limit] : cases) {
        EXPECT_FALSE(applier.ApplyPatch(from, patchFile, File("fresh"), limit)) << what;
        EXPECT_FALSE(fs::exists(folder / "fresh")) << what;
        Write("kept", "older");
        EXPECT_FALSE(applier.ApplyPatch(from, patchFile, File("kept"), limit)) << what;
        EXPECT_EQ(Read("kept"), "older") << what;
        EXPECT_FALSE(fs::exists(folder / "kept.rebuild")) << what;
    }
}

} // namespace
} // namespace KDAutoUpdate
