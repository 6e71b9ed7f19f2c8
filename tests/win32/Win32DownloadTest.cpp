// The WinHTTP download control against the embedded update service on 127.0.0.1
// (KDAU_SERVICE_BASE; one that cuts its first package answer short in
// KDAU_CUTTING_SERVICE_BASE), and through the proxy of the user's Internet settings
// (KDAU_PROXY, KDAU_PROXY_LOG, KDAU_PROXY_SCRIPTS), as the test-windows scripts set them up;
// skipped without. The settings are written as the system's Internet options write them.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "platform/win32/Win32Downloader.h"
#include "platform/win32/Win32EventLoop.h"
#include "tests/support/FileText.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

namespace fs = std::filesystem;

constexpr const wchar_t* kConnections =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

// The user's connection settings (the binary "DefaultConnectionSettings" value), replaced for
// the lifetime of this object.
class ConnectionSettings {
public:
    enum Flags : DWORD { Direct = 1, NamedProxy = 2, ConfigScript = 4 };

    ConnectionSettings(DWORD flags, const std::string& proxy, const std::string& bypass,
                       const std::string& script = {}) {
        DWORD size = 0;
        if (Read(nullptr, &size)) {
            m_old.emplace(size, '\0');
            Read(m_old->data(), &size);
        }
        std::string value;
        const auto dword = [&value](DWORD v) {
            value.append(reinterpret_cast<const char*>(&v), sizeof v);
        };
        dword(0x46); // the version of the layout
        dword(1);    // a change counter
        dword(flags);
        for (const std::string& text : {proxy, bypass, script}) {
            dword(static_cast<DWORD>(text.size()));
            value += text;
        }
        value.resize(value.size() + 32); // the last detection's results: none
        m_set = Write(value);
    }
    ~ConnectionSettings() {
        if (m_old)
            Write(*m_old);
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kConnections, kValue);
    }
    bool set() const { return m_set; }

private:
    static constexpr const wchar_t* kValue = L"DefaultConnectionSettings";
    static bool Read(void* data, DWORD* size) {
        return RegGetValueW(HKEY_CURRENT_USER, kConnections, kValue, RRF_RT_REG_BINARY, nullptr,
                            data, size) == ERROR_SUCCESS;
    }
    static bool Write(const std::string& value) {
        return RegSetKeyValueW(HKEY_CURRENT_USER, kConnections, kValue, REG_BINARY, value.data(),
                               static_cast<DWORD>(value.size())) == ERROR_SUCCESS;
    }
    std::optional<std::string> m_old;
    bool m_set = false;
};

class Win32Download : public ::testing::Test, public IDownloadEvents {
protected:
    void SetUp() override {
        if (const char* base = std::getenv("KDAU_SERVICE_BASE"))
            service = base;
        if (service.empty())
            GTEST_SKIP() << "no update service (KDAU_SERVICE_BASE)";
        downloader.SetEvents(this);
    }
    ~Win32Download() override { fs::remove_all(folder); }

    void DownloadProgress(long long, long long percent, long long, long long, long long received,
                          long long total, long long) override {
        lastPercent = percent;
        lastReceived = received;
        lastTotal = total;
    }
    void DownloadComplete(const std::string& value) override { completions.push_back(value); }

    std::vector<std::string> Files() const { return FileNames(downloader.Folder()); }

    std::string service;
    fs::path folder = TestPlatform::MakeTempFolder("win32-download");
    Win32EventLoop loop;
    // A blank in the folder's path: the installer's command line would split there. An absent
    // proxy is a refused connection: its retries come quickly here.
    Win32Downloader downloader{loop, (folder / "my downloads").string(),
                               NetworkLimits{.retryDelayMs = 20}};
    long long lastPercent = -1, lastReceived = -1, lastTotal = -1;
    std::vector<std::string> completions;
};

TEST_F(Win32Download, PackagesLandWholeInTheFolderAndFailuresLeaveNothing) {
    EXPECT_FALSE(downloader.BeginDownload("file:///C:/windows/win.ini", "{M}"));
    for (const std::string& url : {service + "/packages/missing.msp",
                                   std::string("http://127.0.0.1:1/packages/refused.msp")}) {
        completions.clear();
        ASSERT_TRUE(downloader.BeginDownload(url, "{M}")) << url;
        ASSERT_TRUE(loop.RunUntil([&] { return !completions.empty(); }, 30000)) << url;
        EXPECT_FALSE(downloader.IsBusy());
        EXPECT_EQ(completions, std::vector<std::string>{""}) << url;
        EXPECT_EQ(downloader.LocalFile(), "") << url;
    }
    EXPECT_TRUE(Files().empty());

    completions.clear();
    ASSERT_TRUE(downloader.BeginDownload(service + "/packages/KeldraStudio-5.0.3.msp", "{M}"));
    ASSERT_TRUE(loop.RunUntil([&] { return !completions.empty(); }, 30000));
    EXPECT_FALSE(downloader.IsBusy());
    EXPECT_EQ(Files(), std::vector<std::string>{"KeldraStudio-5.0.3.msp"});
    EXPECT_EQ(completions, std::vector<std::string>{downloader.LocalFile()});
    const fs::path local = fs::path(downloader.Folder()) / "KeldraStudio-5.0.3.msp";
    EXPECT_TRUE(fs::equivalent(fs::path(downloader.LocalFile()), local));
    EXPECT_EQ(downloader.LocalFile().find(' '), std::string::npos) << downloader.LocalFile();
    EXPECT_EQ(lastPercent, 100);
    EXPECT_GT(lastTotal, 0);
    EXPECT_EQ(lastReceived, lastTotal);
    EXPECT_EQ(static_cast<long long>(fs::file_size(local)), lastTotal);
}

TEST_F(Win32Download, CancelRemovesThePartialFileQuietly) {
    ASSERT_TRUE(downloader.BeginDownload(service + "/packages/KeldraStudio-5.0.3.msp", "{M}"));
    EXPECT_FALSE(downloader.BeginDownload(service + "/packages/KeldraStudio-5.0.3.msp", "{N}"));
    EXPECT_EQ(Files(), std::vector<std::string>{"KeldraStudio-5.0.3.msp.part"});
    downloader.CancelDownload("{N}"); // another key: not this transfer
    EXPECT_TRUE(downloader.IsBusy());
    downloader.CancelDownload("{M}");
    EXPECT_FALSE(downloader.IsBusy());
    EXPECT_TRUE(Files().empty());
    loop.RunFor(300);
    EXPECT_TRUE(completions.empty());
    EXPECT_TRUE(Files().empty());
}

TEST_F(Win32Download, ATransferCutShortContinuesWhereItStopped) {
    const char* cutting = std::getenv("KDAU_CUTTING_SERVICE_BASE");
    if (!cutting)
        GTEST_SKIP() << "no cutting update service (KDAU_CUTTING_SERVICE_BASE)";
    // The service closes the connection after 200 of the package's 407 bytes.
    ASSERT_TRUE(
        downloader.BeginDownload(std::string(cutting) + "/packages/KeldraStudio-5.0.3.msp", "{M}"));
    ASSERT_TRUE(loop.RunUntil([&] { return !completions.empty(); }, 30000));
    ASSERT_EQ(Files(), std::vector<std::string>{"KeldraStudio-5.0.3.msp"});
    const auto size = static_cast<long long>(
        fs::file_size(fs::path(downloader.Folder()) / "KeldraStudio-5.0.3.msp"));
    EXPECT_EQ(size, 407);
    EXPECT_EQ(downloader.FetchedBytes(), size) << "the rest came as a range, nothing twice";
    EXPECT_EQ(completions, std::vector<std::string>{downloader.LocalFile()});
}

class Win32Proxy : public Win32Download {
protected:
    void SetUp() override {
        Win32Download::SetUp();
        for (auto [name, value] :
             {std::pair{"KDAU_PROXY", &proxy}, std::pair{"KDAU_PROXY_LOG", &log},
              std::pair{"KDAU_PROXY_SCRIPTS", &scripts}})
            if (const char* text = std::getenv(name))
                *value = text;
        if (!IsSkipped() && (proxy.empty() || log.empty() || scripts.empty()))
            GTEST_SKIP() << "no proxy (KDAU_PROXY, KDAU_PROXY_LOG, KDAU_PROXY_SCRIPTS)";
    }

    std::string ProxyLog() const {
        std::ifstream in(log, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Downloads the package; answers what the proxy logged meanwhile. Empty completion: failed.
    std::string Download(const std::string& url) {
        const std::size_t before = ProxyLog().size();
        completions.clear();
        EXPECT_TRUE(downloader.BeginDownload(url, "{M}")) << url;
        EXPECT_TRUE(loop.RunUntil([&] { return !completions.empty(); }, 30000)) << url;
        const std::string after = ProxyLog();
        return after.size() > before ? after.substr(before) : std::string();
    }

    static constexpr DWORD kNamed = ConnectionSettings::Direct | ConnectionSettings::NamedProxy;
    static constexpr DWORD kScripted = kNamed | ConnectionSettings::ConfigScript;
    static constexpr const char* kAbsent = "127.0.0.1:1"; // no proxy listens there
    struct Case {
        const char* what;
        DWORD flags;
        std::string server, bypass, script;
        bool throughProxy, completes;
    };
    // Downloads the package under each case's settings: through the proxy or not, and whole or
    // failed (one empty completion).
    void Expect(const std::vector<Case>& cases) {
        const std::string url = service + "/packages/KeldraStudio-5.0.3.msp";
        for (const Case& c : cases) {
            ConnectionSettings settings(c.flags, c.server, c.bypass, c.script);
            ASSERT_TRUE(settings.set()) << c.what;
            const bool through = Download(url).find("GET " + url) != std::string::npos;
            EXPECT_EQ(through, c.throughProxy) << c.what << "\n" << ProxyLog();
            if (c.completes)
                EXPECT_TRUE(completions.size() == 1 && !completions[0].empty()) << c.what;
            else
                EXPECT_EQ(completions, std::vector<std::string>{""}) << c.what;
        }
    }

    std::string proxy, log, scripts;
};

TEST_F(Win32Proxy, ThePackageGoesThroughTheNamedProxyUnlessItsHostIsBypassed) {
    Expect({{"named proxy", kNamed, proxy, "", "", true, true},
            {"bypassed host", kNamed, proxy, "example.org;127.0.0.1", "", false, true},
            // The user's choice wins over a direct connection: a proxy that is not there fails.
            {"absent proxy", kNamed, kAbsent, "", "", false, false}});
}

// The script wins over the named proxy, whichever way it answers.
TEST_F(Win32Proxy, AConfigurationScriptChoosesTheProxyPerAddress) {
    Expect({{"script: proxy", kScripted, kAbsent, "", scripts + "/proxy.pac", true, true},
            {"script: DIRECT", kScripted, proxy, "", scripts + "/direct.pac", false, true}});
}

} // namespace
} // namespace KDAutoUpdate
