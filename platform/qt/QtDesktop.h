#pragma once
// Hands a web address to the desktop, whose browser or download manager takes it from there:
// through Qt's desktop services when a GUI application runs, otherwise (or when those decline)
// by starting the opener program (xdg-open) detached. Never waits for the opener.
//
// Only http, https and ftp addresses are handed on, so an address from a web page cannot make
// the desktop open a local file or program.

#include <functional>
#include <string>

#include "platform/Desktop.h"

class QUrl;

namespace KDAutoUpdate {

class QtDesktop : public IDesktop {
public:
    // `opener`: the program that gets the address as its one argument. `useDesktopServices`:
    // whether to try Qt's desktop services first (tests turn it off to watch the opener).
    explicit QtDesktop(std::string opener = "xdg-open", bool useDesktopServices = true);

    bool OpenUrl(const std::string& url) override;

    // Qt's desktop services live in Qt Gui, which this library does not load; the desktop
    // library hands them in when it is loaded.
    using DesktopServices = std::function<bool(const QUrl&)>;
    static void SetDesktopServices(DesktopServices services);

private:
    std::string m_opener;
    bool m_useDesktopServices;
};

} // namespace KDAutoUpdate
