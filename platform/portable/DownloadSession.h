#pragma once
// One download of an address into a file, the same on every system above a transport that
// each backend supplies (Qt Network, WinHTTP).
//
// The body streams into "<target>.part" and is renamed to the target only when it is whole (its
// announced length, when there is one). Beside the partial file a ResumeRecord keeps the
// address, the length and the server's validator, so a transfer that ends early, by a cut,
// a stall, a cancel or the host's end, is continued later with "Range: bytes=N-" and
// "If-Range": a 206 whose Content-Range starts at N and ends at the recorded length appends;
// a 200, a 416 or any other range starts over from the first byte.
//
// Within one download a transfer cut short is tried again up to NetworkLimits'
// maxTransferRetries times, after a delay that doubles, each time resuming where it stopped;
// only then does the download fail. A refusal (an error status, a body longer than announced,
// a forbidden redirect, a full disk) fails at once and removes the partial file.
//
// Events, as the download control promises them (platform/Downloader.h): DownloadProgress
// every quarter second, counting the bytes already on disk from an earlier transfer; then one
// report of 100% and DownloadComplete with the target's path, or only DownloadComplete("")
// when it failed. Both are posted to the loop, never raised inside a call of this class, and
// IsBusy() is already false when they arrive. A cancel ends quietly, and keeps what can be
// resumed.

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/DownloadTransport.h"
#include "platform/Downloader.h"
#include "platform/EventLoop.h"
#include "platform/NetworkLimits.h"
#include "platform/portable/TransferMeter.h"

namespace KDAutoUpdate {

struct ResumeRecord;

class DownloadSession : private IDownloadTransportEvents {
public:
    // Milliseconds of a clock that only moves forward.
    using Clock = std::function<long long()>;

    // The loop and the transport must outlive the session. `markPrograms`: a finished file
    // that starts as a script or an ELF program becomes executable for its owner. `clock`
    // measures rates and stalls; empty for the steady clock of the system.
    DownloadSession(IEventLoop& loop, IDownloadTransport& transport, NetworkLimits limits,
                    bool markPrograms = false, Clock clock = {});
    // A running transfer is aborted without an event; what it wrote stays to be resumed.
    ~DownloadSession() override;
    DownloadSession(const DownloadSession&) = delete;
    DownloadSession& operator=(const DownloadSession&) = delete;

    void SetEvents(IDownloadEvents* events) { m_events = events; }
    void KeepFiles(std::vector<std::string> paths) { m_keep = std::move(paths); }
    // Fetches `url` into `target`, whose folder must exist; the folder is tidied first. False
    // when a transfer runs or its completion is still to be delivered, or when the partial
    // file cannot be written or the transport cannot start.
    bool Begin(const std::string& url, const std::string& key, const std::filesystem::path& target);
    // Ends the running transfer when `key` is its key, without an event.
    void Cancel(const std::string& key);
    bool IsBusy() const { return m_transfer != nullptr; }
    // After the end of a transfer: the target's path (UTF-8); empty after a failure.
    const std::string& LocalFile() const { return m_localFile; }
    // Body bytes the last transfer took from the network, over all its tries.
    long long FetchedBytes() const { return m_fetched; }

private:
    struct Transfer;

    void TransportAnswer(int status, const std::vector<DownloadHeader>& headers) override;
    void TransportBody(const char* data, std::size_t size) override;
    void TransportEnded(End end) override;

    bool Request();
    // The answer to a request for the rest: does it continue the file on disk?
    bool ContinuesPart(const std::vector<DownloadHeader>& headers) const;
    // Empties the partial file and forgets its record: the next bytes are the first.
    bool StartOver();
    void OnTimer(const std::string& key);
    void OnTick();
    // A cut: another try after the delay, or the failure once the tries are used up.
    void Interrupted();
    // Ends the transfer. `keepPart`: what was written stays for a later resume, if its record
    // allows one.
    void Fail(bool keepPart);
    void Finish();
    // Stops the timers and the transport and closes the file.
    void Release(Transfer& transfer);
    void RemovePart(Transfer& transfer);
    void Deliver(const std::string& value, bool finalReport, long long received, long long total,
                 long long rate);

    IEventLoop& m_loop;
    IDownloadTransport& m_transport;
    NetworkLimits m_limits;
    bool m_markPrograms;
    Clock m_clock;
    IDownloadEvents* m_events = nullptr;
    std::vector<std::string> m_keep;
    std::string m_localFile;
    long long m_fetched = 0;
    bool m_completionPending = false;
    std::unique_ptr<Transfer> m_transfer;
    std::unique_ptr<KDHiResTimer> m_timer;
    // Lets a posted task notice that the session, or the transfer it was for, is gone.
    std::shared_ptr<bool> m_alive;
};

} // namespace KDAutoUpdate
