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
    // Scheme, host and port that links in the page start with (what clients reach the
    // service by, behind a proxy say); empty: the address it listens on. Never taken from a
    // request's Host header, which a client chooses.
    QString publicUrl;
    // A connection without any traffic for this long is closed, and so is one whose request
    // is not complete this long after its first byte: clients that open connections and
    // never finish must not use up the service's descriptors.
    int idleTimeoutMs = 30000;
    int requestTimeoutMs = 10000;
    // The request log keeps this many of the latest lines in memory.
    int maxLoggedRequests = 100;
};

} // namespace KDAutoUpdate
