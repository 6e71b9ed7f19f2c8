// A package comes as a patch against the package kept from the update before, when the page
// offers one and proves the result by its SHA-256; else the whole package, without a word.

#include <filesystem>

#include "DeploymentFixture.h"
#include "platform/SignatureVerifier.h"
#include "platform/zstd/ZstdPatchMaker.h"

namespace KDAutoUpdate {
namespace {

constexpr const char* kPatchUrl = "http://127.0.0.1/deltas/update.zst";
constexpr const char* kFileName = "KeldraStudio-Update-5.1.0.sh"; // the fixture's message's

std::string Version(int n) {
    std::string text = "#!/bin/sh\n";
    for (int line = 0; line < 2000; ++line)
        text += "echo line " + std::to_string(line * (line % 7 == 0 ? n : 1)) + "\n";
    return text;
}

class DeltaDownload : public DeploymentTest {
protected:
    DeltaDownload() {
        std::filesystem::create_directories(tp.ProgramFolder() / "dl");
        std::filesystem::create_directories(tp.ProgramFolder() / "full");
        tp.WriteProgramFile("base-5.0.sh", Version(50));
        tp.WriteProgramFile("full/" + std::string(kFileName), Version(51));
        agent->SetProductAttribute("last-package-file", base);
        // The patch lands in the download folder; the whole package elsewhere.
        downloads.OnBegin([this](FakeDownloader& d) {
            const std::string url = downloads.Log().begins.back().url;
            if (url == kPatchUrl && failPatchTransfer)
                d.Fail(10);
            else
                d.Finish(url == kPatchUrl ? patch : full, 10);
        });
        renderer.QueueModalAction("dlgAfterDownload",
                                  [this](ScriptedView&) { renderer.Close("dlgAfterDownload"); });
    }
    std::string Sha256(const std::string& path) {
        return tp.platform().signatures->FileSha256(path).value_or("");
    }
    // The patch from the base to `targetBytes`, where the patch transfer leaves it.
    void MakePatch(const std::string& targetBytes) {
        tp.WriteProgramFile("target", targetBytes);
        ASSERT_TRUE(ZstdPatchMaker::MakePatch(base, tp.ProgramFile("target"), patch));
    }
    std::unique_ptr<AuMessage> Offer() {
        auto m = Message(aumtExe);
        m->SetPackageSha256(Sha256(full));
        m->AddDelta({"00" + Sha256(base).substr(2), "http://127.0.0.1/deltas/other.zst", 9});
        m->AddDelta({Sha256(base), kPatchUrl, 200});
        return m;
    }
    std::vector<std::string> Urls() const {
        std::vector<std::string> urls;
        for (const auto& begin : downloads.Log().begins)
            urls.push_back(begin.url);
        return urls;
    }

    const std::string base = tp.ProgramFile("base-5.0.sh");
    const std::string full = tp.ProgramFile("full/" + std::string(kFileName));
    const std::string patch = tp.ProgramFile("dl/update.zst");
    const std::string rebuilt = tp.ProgramFile("dl/" + std::string(kFileName));
    bool failPatchTransfer = false;
};

TEST_F(DeltaDownload, TheKeptBaseAndThePatchGiveThePackageWhichBecomesTheNextBase) {
    MakePatch(Version(51));
    auto m = Offer();
    m->Deploy();

    EXPECT_EQ(Urls(), std::vector<std::string>{kPatchUrl});
    EXPECT_EQ(downloads.Log().begins[0].kept, std::vector<std::string>{base});
    EXPECT_EQ(m->LocalPath(), rebuilt);
    EXPECT_EQ(tp.ReadProgramFile("dl/" + std::string(kFileName)), Version(51));
    EXPECT_EQ(Attribute("last-update-cmd"), rebuilt);
    EXPECT_FALSE(std::filesystem::exists(patch));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(Attribute("last-package-file"), rebuilt);
}

// The first three fail before the patch is fetched.
enum class Failure { NoSha256, NoDeltas, BaseChanged, TransferFails, CorruptPatch, WrongResult };

struct DeltaFallback : DeltaDownload, ::testing::WithParamInterface<Failure> {};

TEST_P(DeltaFallback, FetchesTheWholePackageSilently) {
    MakePatch(Version(51));
    auto m = Offer();
    const bool patchTried = GetParam() > Failure::BaseChanged;
    switch (GetParam()) {
    case Failure::NoSha256:
        m->SetPackageSha256("");
        break;
    case Failure::NoDeltas:
        m = Message(aumtExe);
        m->SetPackageSha256(Sha256(full));
        break;
    case Failure::BaseChanged:
        tp.WriteProgramFile("base-5.0.sh", Version(49));
        break;
    case Failure::TransferFails: // and leaves no file
        failPatchTransfer = true;
        std::filesystem::remove(patch);
        break;
    case Failure::CorruptPatch:
        tp.WriteProgramFile("dl/update.zst", "not a patch");
        break;
    case Failure::WrongResult:
        MakePatch(Version(52));
        break;
    }
    m->Deploy();

    std::vector<std::string> expected{m->DownloadPath()};
    if (patchTried)
        expected.insert(expected.begin(), kPatchUrl);
    EXPECT_EQ(Urls(), expected);
    EXPECT_EQ(m->LocalPath(), full);
    EXPECT_EQ(Attribute("last-update-cmd"), full);
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown[0].text;
    EXPECT_FALSE(std::filesystem::exists(rebuilt));
    EXPECT_FALSE(patchTried && std::filesystem::exists(patch));
    // Without patches on offer the store stays as it was; with them, the package is kept.
    EXPECT_EQ(Attribute("last-package-file"), GetParam() == Failure::NoDeltas ? base : full);
}

INSTANTIATE_TEST_SUITE_P(Each, DeltaFallback,
                         ::testing::Values(Failure::NoSha256, Failure::NoDeltas,
                                           Failure::BaseChanged, Failure::TransferFails,
                                           Failure::CorruptPatch, Failure::WrongResult));

} // namespace
} // namespace KDAutoUpdate
