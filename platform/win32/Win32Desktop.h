#pragma once
// Hands a web address to the system's own interactive download: the shell's DoFileDownload
// (shdocvw.dll), which asks the user where to save the file and shows its own progress, where
// the system exports a working one; otherwise the default handler of the address's scheme
// through ShellExecuteEx (the user's browser, which downloads it). Never waits for either.
//
// Wine exports DoFileDownload as a stub that does nothing, so under wine the default handler
// (winebrowser, which passes the address to the host's desktop) takes its place.
//
// Only http, https and ftp addresses with a host, in their strict ASCII form, are handed on,
// so an address from a web page cannot make the desktop open a local file or program, nor
// carry quotes or spaces into the handler's command line.

#include <string>

#include "platform/Desktop.h"

namespace KDAutoUpdate {

class Win32Desktop : public IDesktop {
public:
    enum class Route { ShellDownload, DefaultHandler };

    // The route the system offers (see above).
    Win32Desktop();
    // A fixed route; with ShellDownload, addresses are refused where shdocvw.dll has none.
    explicit Win32Desktop(Route route);

    bool OpenUrl(const std::string& url) override;
    Route route() const { return m_route; }

    // Whether the address may be handed to the desktop.
    static bool IsAllowedAddress(const std::string& url);
    // Whether this process runs under wine rather than Windows.
    static bool IsWine();

private:
    Route m_route;
};

} // namespace KDAutoUpdate
