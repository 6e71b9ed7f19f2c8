// The update store on the real Win32 platform (MSXML 6, the Win32 utility library): every save
// replaces the file whole through a temporary that does not stay behind, and clears what a
// writer that died left.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "agent/AuAgent.h"
#include "platform/win32/Win32Platform.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

namespace fs = std::filesystem;

class Win32Store : public ::testing::Test {
protected:
    Win32Store() { host.platform().programFolder = folder.string(); }
    ~Win32Store() override { fs::remove_all(folder); }

    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(folder / name, std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(folder / name, std::ios::binary);
        return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder = TestPlatform::MakeTempFolder("win32store");
    Win32Platform host;
};

TEST_F(Win32Store, ASaveReplacesTheFileAndLeavesNoTemporaryBehind) {
    ASSERT_FALSE(folder.empty());
    // What a writer that died in the middle of a save left; its process id is no process.
    Write("updateinfo.xml.tmp4000000000", "<update-info><half");
    Write("updateinfo.xml", "<update-info><product code=\"{B}\" n=\"1\"/></update-info>");
    {
        AuAgent agent(host.platform());
        agent.SetProductCode("{B}");
        EXPECT_EQ(agent.GetProductAttribute("n"), "1");
        agent.SetProductAttribute("n", "2");
    }
    EXPECT_NE(Read("updateinfo.xml").find("n=\"2\""), std::string::npos) << Read("updateinfo.xml");
    // The lock file beside the store stays: removing it would race with another agent's lock.
    EXPECT_EQ(Names(), (std::vector<std::string>{"updateinfo.xml", "updateinfo.xml.lock"}));
}

} // namespace
} // namespace KDAutoUpdate
