#pragma once

#include <QString>

#include <memory>

class QTextStream;

namespace KDAutoUpdate {

class AnswerSigner;

// How an UpdateService is set up. packageBytesPerSecond and hangCheck are test aids, off by
// default.
struct ServiceOptions {
    QString catalogueFolder;
    // Where each request's log line goes as well; null: nowhere.
    QTextStream* log = nullptr;
    // The lines reach `log` in batches, flushed a few times a second, instead of one write per
    // request.
    bool bufferLog = false;
    // Every log line is kept for RequestLog() and announced by RequestLogged. A long-running
    // service turns this off: the list would grow with every request.
    bool recordRequests = true;
    // Package bodies go out at no more than this many bytes per second; 0: as fast as possible.
    qint64 packageBytesPerSecond = 0;
    // /CheckUpdate.aspx receives but never answers, for the agent's timeout.
    bool hangCheck = false;
    // The first `cutPackages` package answers end after `cutPackageAfterBytes` bytes of their
    // body with the connection closed, as a network that drops it would; for resumed downloads.
    qint64 cutPackageAfterBytes = 0;
    int cutPackages = 0;
    // Signs answers and packages with the vendor's key; null: unsigned, as without a key.
    std::shared_ptr<const AnswerSigner> signer;
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
    // Listens on a socket that other services of this process may open on the same port, so
    // that several threads serve one port.
    bool sharePort = false;
    // Where the patches of packages from their bases are made and served from; empty: a
    // temporary folder of the service's own, removed when it ends.
    QString deltaFolder;
};

} // namespace KDAutoUpdate
