#pragma once
// The proxy a WinHTTP request takes, chosen as the user configured it for the system (the
// Internet settings the browser and MSXML's own loads use): automatic detection and a proxy
// configuration script, through WinHttpGetProxyForUrl; otherwise, or when those find none, the
// named proxy with its bypass list. WinHTTP alone would use only the machine-wide setting and
// miss the user's.
//
// The choice is made per address and served by a session opened with it (a proxy given to
// WinHttpOpen is honoured everywhere, wine included, unlike one set on a request later). Each
// distinct choice gets one asynchronous session, kept until this object ends. Automatic
// detection that found nothing is not tried again: it costs a network search each time.

#include <string>
#include <vector>

namespace KDAutoUpdate {

class Win32UserProxy {
public:
    Win32UserProxy() = default;
    ~Win32UserProxy();
    Win32UserProxy(const Win32UserProxy&) = delete;
    Win32UserProxy& operator=(const Win32UserProxy&) = delete;

    // The asynchronous session for a request to `url`: `fallback` (the caller's session with
    // the machine's default) when the user configured no proxy, otherwise one opened with the
    // user's choice for the address. Null when that session cannot be opened.
    void* SessionFor(const std::wstring& url, void* fallback);

private:
    struct Choice {
        unsigned long accessType = 0;
        std::wstring proxy;
        std::wstring bypass;
        bool operator==(const Choice&) const = default;
    };
    struct Session {
        Choice choice;
        void* handle = nullptr;
    };

    // The user's choice for the address; nothing chosen when `accessType` stays 0.
    Choice Choose(const std::wstring& url);
    void* Open(const Choice& choice);

    void* m_resolver = nullptr; // a synchronous session for WinHttpGetProxyForUrl, made on use
    bool m_detectionFailed = false;
    std::vector<Session> m_sessions;
};

} // namespace KDAutoUpdate
