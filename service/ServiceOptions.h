#pragma once

#include <QString>

class QTextStream;

namespace KDAutoUpdate {

// How an UpdateService is set up. The last two are test aids and off by default.
struct ServiceOptions {
    QString catalogueFolder;
    // Where each request's log line goes as well (flushed at once); null: memory only.
    QTextStream* log = nullptr;
    // Package bodies go out at no more than this many bytes per second; 0: as fast as possible.
    qint64 packageBytesPerSecond = 0;
    // /CheckUpdate.aspx receives but never answers, for the agent's timeout.
    bool hangCheck = false;
};

} // namespace KDAutoUpdate
