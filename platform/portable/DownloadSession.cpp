#include "platform/portable/DownloadSession.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <optional>
#include <string_view>
#include <system_error>

#include "platform/portable/DownloadFiles.h"
#include "platform/portable/ResumeRecord.h"

namespace KDAutoUpdate {

namespace fs = std::filesystem;

namespace {

constexpr long kReportIntervalMs = 250;
constexpr const char* kTick = "tick";
constexpr const char* kRetry = "retry";

std::string Utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path WithSuffix(fs::path path, const char* suffix) {
    path += suffix;
    return path;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A whole decimal count, nothing around it; nullopt for anything else.
std::optional<long long> Count(std::string_view text) {
    long long value = -1;
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    if (text.empty() || failure != std::errc() || stop != end || value < 0)
        return std::nullopt;
    return value;
}

struct ContentRange {
    long long first, last, length;
};

// "bytes FIRST-LAST/LENGTH"; a range of unknown length ("/*") or any other form is none.
std::optional<ContentRange> ParseContentRange(std::string_view text) {
    constexpr std::string_view unit = "bytes ";
    const std::size_t dash = text.find('-');
    const std::size_t slash = text.find('/');
    if (text.substr(0, unit.size()) != unit || dash == std::string_view::npos ||
        slash == std::string_view::npos || slash < dash)
        return std::nullopt;
    const auto first = Count(text.substr(unit.size(), dash - unit.size()));
    const auto last = Count(text.substr(dash + 1, slash - dash - 1));
    const auto length = Count(text.substr(slash + 1));
    if (!first || !last || !length)
        return std::nullopt;
    return ContentRange{*first, *last, *length};
}

bool StartsAsProgram(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char head[4] = {};
    in.read(head, sizeof head);
    const std::streamsize got = in.gcount();
    return (got >= 2 && head[0] == '#' && head[1] == '!') ||
           (got == 4 && head[0] == '\x7f' && head[1] == 'E' && head[2] == 'L' && head[3] == 'F');
}

} // namespace

std::string FindDownloadHeader(const std::vector<DownloadHeader>& headers,
                               const std::string& name) {
    for (const DownloadHeader& header : headers)
        if (std::equal(header.name.begin(), header.name.end(), name.begin(), name.end(),
                       [](char a, char b) { return Lower(a) == Lower(b); }))
            return header.value;
    return {};
}

// One download, over all its tries.
struct DownloadSession::Transfer {
    std::string url;
    std::string key;
    fs::path target;
    fs::path part;
    fs::path record;
    std::ofstream file;
    // The record of the partial file, while the server's answer allows a resume.
    std::optional<ResumeRecord> resume;
    long long offset = 0;   // on disk when the current request went out
    long long received = 0; // on disk
    long long total = -1;   // -1 until an answer tells
    bool answered = false;  // the current answer's body belongs to the file
    bool waiting = false;   // for the next try
    int tries = 0;
    long long startMs = 0;
    long long lastByteMs = 0;
    // The meter measures the current try only: a resumed try starts at no rate, not at the
    // bytes an earlier one brought.
    long long meterStartMs = 0;
    long long meterBase = 0;
    TransferMeter meter;
    // Dies with the transfer, so a posted restart of it does nothing once it ended.
    std::shared_ptr<bool> token = std::make_shared<bool>(true);
};

DownloadSession::DownloadSession(IEventLoop& loop, IDownloadTransport& transport,
                                 NetworkLimits limits, bool markPrograms, Clock clock)
    : m_loop(loop), m_transport(transport), m_limits(limits), m_markPrograms(markPrograms),
      m_clock(std::move(clock)), m_timer(loop.CreateTimer()),
      m_alive(std::make_shared<bool>(true)) {
    if (!m_clock)
        m_clock = [] {
            using namespace std::chrono;
            return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
        };
    m_timer->AddTimer(kTick, kReportIntervalMs, 0);
    m_timer->SetTimerHandler([this](const std::string& key) { OnTimer(key); });
}

DownloadSession::~DownloadSession() {
    m_alive.reset();
    if (std::unique_ptr<Transfer> transfer = std::move(m_transfer)) {
        Release(*transfer);
        if (!transfer->resume)
            RemovePart(*transfer);
    }
    m_timer.reset();
}

bool DownloadSession::Begin(const std::string& url, const std::string& key,
                            const fs::path& target) {
    if (m_transfer || m_completionPending)
        return false;
    try {
        auto t = std::make_unique<Transfer>();
        t->url = url;
        t->key = key;
        t->target = target;
        t->part = WithSuffix(target, DownloadFolder::kPartSuffix);
        t->record = WithSuffix(target, DownloadFolder::kResumeSuffix);
        const std::string name = Utf8Of(target.filename());
        std::vector<std::string> keep = m_keep;
        keep.insert(keep.end(), {name, name + DownloadFolder::kPartSuffix,
                                 name + DownloadFolder::kResumeSuffix});
        DownloadFolder::Tidy(Utf8Of(target.parent_path()), m_limits, keep);

        std::error_code error;
        const std::optional<ResumeRecord> record = ResumeRecord::Load(t->record);
        const bool plain = fs::is_regular_file(fs::symlink_status(t->part, error));
        const long long have = plain ? static_cast<long long>(fs::file_size(t->part, error)) : -1;
        if (record && record->url == url && !error && have > 0 && have <= record->length) {
            t->resume = record;
            t->received = have;
            t->total = record->length;
        } else {
            // A left-over partial file (or a link planted in its place) is replaced, never
            // written through.
            fs::remove(t->part, error);
            fs::remove(t->record, error);
        }
        t->file.open(t->part, std::ios::binary | (t->resume ? std::ios::app : std::ios::trunc));
        if (!t->file)
            return false;
        t->startMs = t->lastByteMs = t->meterStartMs = m_clock();
        m_fetched = 0;
        m_transfer = std::move(t);
        if (!Request()) {
            std::unique_ptr<Transfer> failed = std::move(m_transfer);
            Release(*failed);
            if (!failed->resume)
                RemovePart(*failed);
            return false;
        }
        m_timer->EnableTimer(kTick, true);
        m_localFile.clear();
        return true;
    } catch (...) {
        m_transfer.reset();
        return false;
    }
}

void DownloadSession::Cancel(const std::string& key) {
    // A cancelled transfer ends quietly: whoever cancelled it knows, and must not be told that
    // it failed. What arrived stays for the next attempt.
    if (!m_transfer || m_transfer->key != key)
        return;
    std::unique_ptr<Transfer> transfer = std::move(m_transfer);
    Release(*transfer);
    if (!transfer->resume || transfer->received == 0)
        RemovePart(*transfer);
    m_localFile.clear();
}

bool DownloadSession::Request() {
    Transfer& t = *m_transfer;
    if (t.received > 0 && !t.resume && !StartOver())
        return false;
    t.answered = false;
    t.waiting = false;
    t.offset = t.received;
    // The package's own bytes: no transparent decompression, so sizes and ranges match.
    std::vector<DownloadHeader> headers{{"Accept-Encoding", "identity"}};
    if (t.offset > 0) {
        headers.push_back({"Range", "bytes=" + std::to_string(t.offset) + "-"});
        headers.push_back({"If-Range", t.resume->validator});
    }
    return m_transport.Start(t.url, headers, *this);
}

bool DownloadSession::ContinuesPart(const std::vector<DownloadHeader>& headers) const {
    const Transfer& t = *m_transfer;
    const auto range = ParseContentRange(FindDownloadHeader(headers, "Content-Range"));
    if (!range || range->first != t.offset || range->length != t.total ||
        range->last != range->length - 1)
        return false;
    const std::string length = FindDownloadHeader(headers, "Content-Length");
    if (!length.empty() && Count(length) != range->last - range->first + 1)
        return false;
    // If-Range already asked the server; a validator it sends along must be the same too.
    const std::string validator = FindDownloadHeader(headers, t.resume->validatorName);
    return validator.empty() || validator == t.resume->validator;
}

bool DownloadSession::StartOver() {
    Transfer& t = *m_transfer;
    t.file.close();
    t.file.open(t.part, std::ios::binary | std::ios::trunc);
    std::error_code error;
    fs::remove(t.record, error);
    t.resume.reset();
    t.received = t.offset = 0;
    t.total = -1;
    return static_cast<bool>(t.file);
}

void DownloadSession::TransportAnswer(int status, const std::vector<DownloadHeader>& headers) {
    if (!m_transfer)
        return;
    Transfer& t = *m_transfer;
    if (status == 206 && t.offset > 0 && ContinuesPart(headers)) {
        t.answered = true;
        return;
    }
    if (status >= 200 && status < 300 && status != 206) {
        // The whole file: what an earlier transfer left is of no use any more.
        if (t.offset > 0 && !StartOver())
            return Fail(false);
        const std::string length = FindDownloadHeader(headers, "Content-Length");
        t.total = length.empty() ? -1 : Count(length).value_or(-2);
        if (t.total == -2)
            return Fail(false);
        // A weak ETag may not go into If-Range; the date serves then.
        ResumeRecord record{t.url, t.total, "ETag", FindDownloadHeader(headers, "ETag")};
        if (record.validator.empty() || record.validator.rfind("W/", 0) == 0)
            record = {t.url, t.total, "Last-Modified",
                      FindDownloadHeader(headers, "Last-Modified")};
        if (t.total >= 0 && !record.validator.empty() && record.Save(t.record))
            t.resume = record;
        t.answered = true;
        return;
    }
    if ((status == 206 || status == 416) && t.offset > 0) {
        // The file changed, or the part does not fit it: from the first byte, at once.
        m_transport.Abort();
        if (!StartOver())
            return Fail(false);
        m_loop.Post([this, token = std::weak_ptr<bool>(t.token)] {
            if (!token.expired() && m_transfer && !Request())
                Fail(false);
        });
        return;
    }
    Fail(false);
}

void DownloadSession::TransportBody(const char* data, std::size_t size) {
    if (!m_transfer || !m_transfer->answered)
        return;
    Transfer& t = *m_transfer;
    const auto count = static_cast<long long>(size);
    // Never more than announced; without an announced length, endless data must not fill the
    // disk.
    if (t.received + count > (t.total >= 0 ? t.total : m_limits.maxUnsizedPackageBytes))
        return Fail(false);
    if (!t.file.write(data, static_cast<std::streamsize>(size)))
        return Fail(false); // disk full or gone
    t.received += count;
    m_fetched += count;
    t.lastByteMs = m_clock();
}

void DownloadSession::TransportEnded(End end) {
    if (!m_transfer)
        return;
    Transfer& t = *m_transfer;
    if (end == End::Failed || !t.answered)
        return end == End::Interrupted ? Interrupted() : Fail(false);
    // A body that stops short of its announced length was cut, however the connection ended.
    if (end == End::Complete && (t.total < 0 || t.received == t.total))
        return Finish();
    Interrupted();
}

void DownloadSession::Interrupted() {
    Transfer& t = *m_transfer;
    m_transport.Abort();
    t.answered = false;
    if (t.tries >= m_limits.maxTransferRetries)
        return Fail(true);
    const long delay = std::max(1L, static_cast<long>(m_limits.retryDelayMs) << t.tries);
    ++t.tries;
    t.waiting = true;
    m_timer->RemoveTimer(kRetry);
    m_timer->AddTimer(kRetry, delay, 0);
    m_timer->EnableTimer(kRetry, true);
}

void DownloadSession::OnTimer(const std::string& key) {
    if (key == kTick)
        return OnTick();
    m_timer->RemoveTimer(kRetry);
    if (!m_transfer || !m_transfer->waiting)
        return;
    Transfer& t = *m_transfer;
    t.meter = TransferMeter();
    t.lastByteMs = t.meterStartMs = m_clock();
    t.meterBase = m_fetched;
    if (!Request())
        Fail(true);
}

void DownloadSession::OnTick() {
    if (!m_transfer)
        return;
    Transfer& t = *m_transfer;
    const long long now = m_clock();
    TransferMeter::Progress p{0, 0, -1, std::max(0LL, t.total)};
    if (!t.waiting) {
        // No byte for too long, or too few: the connection is as good as cut.
        if (now - t.lastByteMs >= m_limits.stallTimeoutMs ||
            !t.meter.Sample(now - t.meterStartMs, m_fetched - t.meterBase, m_limits))
            return Interrupted();
        p = t.meter.Report(t.received, t.total);
    } else if (t.total > 0) {
        p.percent = std::min(100LL, t.received * 100 / t.total);
    }
    if (m_events)
        m_events->DownloadProgress(0, p.percent, p.rate, p.remaining, t.received, p.total, 0);
}

void DownloadSession::Release(Transfer& transfer) {
    m_timer->EnableTimer(kTick, false);
    m_timer->RemoveTimer(kRetry);
    m_transport.Abort();
    transfer.file.close();
}

void DownloadSession::RemovePart(Transfer& transfer) {
    std::error_code error;
    fs::remove(transfer.part, error);
    fs::remove(transfer.record, error);
}

void DownloadSession::Fail(bool keepPart) {
    std::unique_ptr<Transfer> t = std::move(m_transfer);
    if (!t)
        return;
    Release(*t);
    if (!keepPart || !t->resume || t->received == 0)
        RemovePart(*t);
    m_localFile.clear();
    Deliver({}, false, 0, 0, 0);
}

void DownloadSession::Finish() {
    std::unique_ptr<Transfer> t = std::move(m_transfer);
    t->file.flush();
    const bool written = static_cast<bool>(t->file);
    Release(*t);
    std::error_code error;
    if (!written || (fs::rename(t->part, t->target, error), error)) {
        RemovePart(*t);
        m_localFile.clear();
        return Deliver({}, false, 0, 0, 0);
    }
    fs::remove(t->record, error);
    // The deployment starts the package as a program: scripts and ELF files get to run.
    if (m_markPrograms && StartsAsProgram(t->target))
        fs::permissions(t->target, fs::perms::owner_exec, fs::perm_options::add, error);
    m_localFile = Utf8Of(t->target);
    const long long rate =
        t->meter.FinalRate(m_fetched - t->meterBase, m_clock() - t->meterStartMs);
    Deliver(m_localFile, true, t->received, t->total > 0 ? t->total : t->received, rate);
}

void DownloadSession::Deliver(const std::string& value, bool finalReport, long long received,
                              long long total, long long rate) {
    m_completionPending = true;
    m_loop.Post(
        [this, alive = std::weak_ptr<bool>(m_alive), value, finalReport, received, total, rate] {
            if (alive.expired())
                return;
            m_completionPending = false;
            if (finalReport && m_events)
                m_events->DownloadProgress(0, 100, rate, 0, received, total, 0);
            // The progress handler may have destroyed the session.
            if (!alive.expired() && m_events)
                m_events->DownloadComplete(value);
        });
}

} // namespace KDAutoUpdate
