// Package downloads through the proxy of the user's Internet settings. Run by
// scripts/test-windows-proxy.sh, which starts a real proxy on 127.0.0.1 and names it in
// KDAU_PROXY (host:port) and its log file in KDAU_PROXY_LOG; the update service's address is in
// KDAU_SERVICE_BASE, and KDAU_PROXY_SCRIPTS names a folder on 127.0.0.1 with two proxy
// configuration scripts: proxy.pac (everything through the proxy) and direct.pac (nothing).
// Skipped without them. The tests write the user's connection settings as
// the system's Internet options do and put back what was there.
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
    enum Flags : DWORD { Direct = 1, NamedProxy = 2, ConfigScript = 4, AutoDetect = 8 };

    ConnectionSettings(DWORD flags, const std::string& proxy, const std::string& bypass,
                       const std::string& script = {}) {
        DWORD size = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, kConnections, kValue, RRF_RT_REG_BINARY, nullptr,
                         nullptr, &size) == ERROR_SUCCESS) {
            m_old.emplace(size);
            RegGetValueW(HKEY_CURRENT_USER, kConnections, kValue, RRF_RT_REG_BINARY, nullptr,
                         m_old->data(), &size);
        }
        std::vector<BYTE> value;
        auto dword = [&value](DWORD v) {
            const auto* bytes = reinterpret_cast<const BYTE*>(&v);
            value.insert(value.end(), bytes, bytes + sizeof v);
        };
        auto text = [&](const std::string& t) {
            dword(static_cast<DWORD>(t.size()));
            value.insert(value.end(), t.begin(), t.end());
        };
        dword(0x46); // the version of the layout
        dword(1);    // a change counter
        dword(flags);
        text(proxy);
        text(bypass);
        text(script);
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
    static bool Write(const std::vector<BYTE>& value) {
        return RegSetKeyValueW(HKEY_CURRENT_USER, kConnections, kValue, REG_BINARY, value.data(),
                               static_cast<DWORD>(value.size())) == ERROR_SUCCESS;
    }
    std::optional<std::vector<BYTE>> m_old;
    bool m_set = false;
};

class Win32Proxy : public ::testing::Test, public IDownloadEvents {
protected:
    void SetUp() override {
        for (auto [name, value] :
             {std::pair{"KDAU_SERVICE_BASE", &service}, std::pair{"KDAU_PROXY", &proxy},
              std::pair{"KDAU_PROXY_LOG", &log}, std::pair{"KDAU_PROXY_SCRIPTS", &scripts}})
            if (const char* text = std::getenv(name))
                *value = text;
        if (service.empty() || proxy.empty() || log.empty() || scripts.empty())
            GTEST_SKIP() << "no proxy (KDAU_PROXY, KDAU_PROXY_LOG, KDAU_PROXY_SCRIPTS) or "
                            "service (KDAU_SERVICE_BASE)";
        downloader.SetEvents(this);
    }
    ~Win32Proxy() override { fs::remove_all(folder); }

    void DownloadProgress(long long, long long, long long, long long, long long, long long,
                          long long) override {}
    void DownloadComplete(const std::string& value) override { completions.push_back(value); }

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

    std::string service, proxy, log, scripts;
    fs::path folder = TestPlatform::MakeTempFolder("win32-proxy");
    Win32EventLoop loop;
    // An absent proxy is a refused connection: its retries come quickly here.
    Win32Downloader downloader{loop, folder.string(), NetworkLimits{.retryDelayMs = 20}};
    std::vector<std::string> completions;
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
