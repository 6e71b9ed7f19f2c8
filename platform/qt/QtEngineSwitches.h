#pragma once
// The engine's command-line switches that suit the messages window, which shows two small pages
// of two sites (the progress page from the resource library, the service page over http): one
// renderer process for both browsers instead of one per site. The service page then loads into
// the renderer that the progress page has started, and the process tree holds one renderer
// less (bench/README.md, kdau_bench_display).
//
// The agent lives in a host's process: Qt WebEngine reads QTWEBENGINE_CHROMIUM_FLAGS once, when
// it starts, and a host that set the variable keeps what it chose.

#include <QByteArray>

namespace KDAutoUpdate {

class QtEngineSwitches {
public:
    static constexpr const char* kVariable = "QTWEBENGINE_CHROMIUM_FLAGS";
    static constexpr const char* kDefaults = "--renderer-process-limit=1";

    // Sets kVariable to kDefaults when the host has not set it. Call only while Qt WebEngine has
    // not started (before the QApplication exists). False when the host's value was kept.
    static bool ApplyUnlessSet();
};

} // namespace KDAutoUpdate
