// The system's interactive download of an address (a message's download button): the address
// rule, and the hand-over to the handler the system has registered for the scheme. The test
// registers a recording program as that handler for the time of the test.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Desktop.h"
#include "platform/win32/Win32Platform.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

namespace fs = std::filesystem;

// The command of a scheme's "open" verb, replaced for the lifetime of this object.
class SchemeHandler {
public:
    SchemeHandler(const std::wstring& scheme, const std::wstring& command)
        : m_key(scheme + L"\\shell\\open\\command") {
        std::wstring old(4096, L'\0');
        DWORD size = static_cast<DWORD>(old.size() * sizeof(wchar_t));
        if (RegGetValueW(HKEY_CLASSES_ROOT, m_key.c_str(), nullptr, RRF_RT_REG_SZ | RRF_NOEXPAND,
                         nullptr, old.data(), &size) == ERROR_SUCCESS)
            m_old = old.c_str();
        m_set = Set(command);
    }
    ~SchemeHandler() {
        if (m_old)
            Set(*m_old);
        else
            RegDeleteKeyW(HKEY_CLASSES_ROOT, m_key.c_str());
    }
    bool set() const { return m_set; }

private:
    bool Set(const std::wstring& command) const {
        return RegSetKeyValueW(HKEY_CLASSES_ROOT, m_key.c_str(), nullptr, REG_SZ, command.c_str(),
                               static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) ==
               ERROR_SUCCESS;
    }
    std::wstring m_key;
    std::optional<std::wstring> m_old;
    bool m_set = false;
};

class Win32DesktopTest : public ::testing::Test {
protected:
    ~Win32DesktopTest() override { fs::remove_all(folder); }

    // The first argument the recording handler received; empty when it was not started within
    // a few seconds (a program started by the shell needs that long under wine).
    std::string Recorded(const fs::path& file) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            std::ifstream in(file, std::ios::binary);
            std::string text(std::istreambuf_iterator<char>(in), {});
            const std::size_t end = text.find_first_of("\r\n");
            if (end != std::string::npos)
                return text.substr(0, end);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return {};
    }
    std::wstring RecorderCommand(const fs::path& out) const {
        const std::wstring waiter =
            Widen(Win32Platform::ProgramFolder()) + L"\\kdau_test_waiter.exe";
        return L"\"" + waiter + L"\" \"" + out.wstring() + L"\" 0 \"%1\"";
    }

    fs::path folder = TestPlatform::MakeTempFolder("desktop");
};

TEST_F(Win32DesktopTest, OnlyWebAddressesWithAHostAndWithoutQuotesOrSpacesAreHandedOn) {
    for (const char* url : {"http://127.0.0.1:8080/pkg/setup.exe", "https://example.com/a?b=c",
                            "ftp://ftp.example.com/pub/x.msi", "HTTP://EXAMPLE.COM/"})
        EXPECT_TRUE(Win32Desktop::IsAllowedAddress(url)) << url;
    for (const char* url :
         {"", "file:///C:/Windows/notepad.exe", "C:\\Windows\\notepad.exe", "javascript:alert(1)",
          "mailto:a@example.com", "http:///nohost", "res://x.dll/page.htm",
          "http://example.com/a b", "http://example.com/\" --evil", "http://example.com/\xc3\xa4"})
        EXPECT_FALSE(Win32Desktop::IsAllowedAddress(url)) << url;
}

TEST_F(Win32DesktopTest, TheAddressGoesToTheSchemesHandlerAndNothingElseDoes) {
    ASSERT_FALSE(folder.empty());
    // Wine's shdocvw exports the shell download as a stub: its default handler stands in.
    Win32Desktop desktop;
    if (Win32Desktop::IsWine()) {
        EXPECT_EQ(desktop.route(), Win32Desktop::Route::DefaultHandler);
    }
    if (desktop.route() != Win32Desktop::Route::DefaultHandler) {
        GTEST_SKIP() << "the shell's own download dialog runs here";
    }

    const fs::path httpOut = folder / "http.txt";
    const fs::path ftpOut = folder / "ftp.txt";
    SchemeHandler http(L"http", RecorderCommand(httpOut));
    SchemeHandler ftp(L"ftp", RecorderCommand(ftpOut));
    ASSERT_TRUE(http.set() && ftp.set());

    EXPECT_FALSE(desktop.OpenUrl("file:///C:/Windows/notepad.exe"));
    EXPECT_FALSE(desktop.OpenUrl("http://127.0.0.1/a\" \"b"));
    const std::string url = "http://127.0.0.1:8080/files/setup.exe?lang=de&v=5.1";
    EXPECT_TRUE(desktop.OpenUrl(url));
    EXPECT_EQ(Recorded(httpOut), url);
    EXPECT_TRUE(desktop.OpenUrl("ftp://127.0.0.1/pub/patch.msp"));
    EXPECT_EQ(Recorded(ftpOut), "ftp://127.0.0.1/pub/patch.msp");
}

} // namespace
} // namespace KDAutoUpdate
