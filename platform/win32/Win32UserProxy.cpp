#include "platform/win32/Win32UserProxy.h"

#include <windows.h>

#include <winhttp.h>

namespace KDAutoUpdate {

namespace {

// The strings of both structures belong to the caller, who frees them with GlobalFree.
struct UserSettings : WINHTTP_CURRENT_USER_IE_PROXY_CONFIG {
    UserSettings() : WINHTTP_CURRENT_USER_IE_PROXY_CONFIG{} {}
    ~UserSettings() {
        GlobalFree(lpszAutoConfigUrl);
        GlobalFree(lpszProxy);
        GlobalFree(lpszProxyBypass);
    }
    UserSettings(const UserSettings&) = delete;
    UserSettings& operator=(const UserSettings&) = delete;
};

struct FoundProxy : WINHTTP_PROXY_INFO {
    FoundProxy() : WINHTTP_PROXY_INFO{} {}
    ~FoundProxy() {
        GlobalFree(lpszProxy);
        GlobalFree(lpszProxyBypass);
    }
    FoundProxy(const FoundProxy&) = delete;
    FoundProxy& operator=(const FoundProxy&) = delete;
};

std::wstring Text(const wchar_t* text) {
    return text ? std::wstring(text) : std::wstring();
}

} // namespace

Win32UserProxy::~Win32UserProxy() {
    for (const Session& session : m_sessions)
        WinHttpCloseHandle(session.handle);
    if (m_resolver)
        WinHttpCloseHandle(m_resolver);
}

void* Win32UserProxy::SessionFor(const std::wstring& url, void* fallback) {
    const Choice choice = Choose(url);
    if (choice.accessType == 0)
        return fallback;
    for (const Session& session : m_sessions)
        if (session.choice == choice)
            return session.handle;
    void* handle = Open(choice);
    if (handle)
        m_sessions.push_back({choice, handle});
    return handle;
}

Win32UserProxy::Choice Win32UserProxy::Choose(const std::wstring& url) {
    UserSettings user;
    if (!WinHttpGetIEProxyConfigForCurrentUser(&user))
        return {};
    const bool detect = user.fAutoDetect && !m_detectionFailed;
    if (detect || user.lpszAutoConfigUrl) {
        if (!m_resolver)
            m_resolver = WinHttpOpen(L"KDAutoUpdate", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                     WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
        WINHTTP_AUTOPROXY_OPTIONS options{};
        if (detect) {
            options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
            options.dwAutoDetectFlags =
                WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        }
        if (user.lpszAutoConfigUrl) {
            options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
            options.lpszAutoConfigUrl = user.lpszAutoConfigUrl;
        }
        options.fAutoLogonIfChallenged = TRUE;
        FoundProxy found;
        if (m_resolver && WinHttpGetProxyForUrl(m_resolver, url.c_str(), &options, &found)) {
            if (found.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && found.lpszProxy)
                return {WINHTTP_ACCESS_TYPE_NAMED_PROXY, Text(found.lpszProxy),
                        Text(found.lpszProxyBypass)};
            return {WINHTTP_ACCESS_TYPE_NO_PROXY, {}, {}}; // the script said DIRECT
        }
        if (detect && !user.lpszAutoConfigUrl &&
            GetLastError() == ERROR_WINHTTP_AUTODETECTION_FAILED)
            m_detectionFailed = true;
    }
    if (user.lpszProxy && *user.lpszProxy)
        return {WINHTTP_ACCESS_TYPE_NAMED_PROXY, Text(user.lpszProxy), Text(user.lpszProxyBypass)};
    return {};
}

void* Win32UserProxy::Open(const Choice& choice) {
    const bool named = choice.accessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    return WinHttpOpen(L"KDAutoUpdate", choice.accessType,
                       named ? choice.proxy.c_str() : WINHTTP_NO_PROXY_NAME,
                       named && !choice.bypass.empty() ? choice.bypass.c_str()
                                                       : WINHTTP_NO_PROXY_BYPASS,
                       WINHTTP_FLAG_ASYNC);
}

} // namespace KDAutoUpdate
