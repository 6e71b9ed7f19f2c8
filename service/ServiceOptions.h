#pragma once

#include <QString>

#include <memory>

class QTextStream;

namespace KDAutoUpdate {

class AnswerSigner;

// How an UpdateService is set up. The last two are test aids and off by default.
struct ServiceOptions {
    QString catalogueFolder;
    // Where each request's log line goes as well (flushed at once); null: memory only.
    QTextStream* log = nullptr;
    // Package bodies go out at no more than this many bytes per second; 0: as fast as possible.
    qint64 packageBytesPerSecond = 0;
    // /CheckUpdate.aspx receives but never answers, for the agent's timeout.
    bool hangCheck = false;
    // Signs answers and packages with the vendor's key; null: unsigned, as without a key.
    std::shared_ptr<const AnswerSigner> signer;
};

} // namespace KDAutoUpdate
