#pragma once
// Every bound the agent puts on what the network may cost it, in one place with its reason.
// Whoever answers for the update address (a captive portal, a hijacked mirror, anyone on the
// way of plain http) must not be able to freeze the agent, fill its memory or its disk, or
// steer it to another server.
//
// Policies that are not numbers, kept by the Qt backends:
// - Redirects are followed only to https, or from http to the same host over http: a
//   redirect may never downgrade to http, nor send plain http elsewhere.
// - Packages come only over http or https; file and other schemes are refused.
// - A package that announces its size (Content-Length) is complete only when exactly that
//   many bytes arrived. One without a size is taken up to `maxUnsizedPackageBytes`.
//   What HTTP cannot tell the package's sha256 or signature in the data island catches: a
//   body without a size cut short by a closed connection or a chunked body that stops (Qt
//   does not always report either), a Content-Length smaller than the file (Qt reads exactly
//   that many bytes and drops the rest).

namespace KDAutoUpdate {

struct NetworkLimits {
    // The check answer and the message page are read whole into memory, and the page is
    // parsed: both are small documents, 4 MiB is generous for either.
    long long maxAnswerBytes = 4LL * 1024 * 1024;
    // The page and the check answer as a whole: a synchronous check blocks its host, and a
    // page that never finishes holds the messages window on its progress page.
    int answerDeadlineMs = 30000;
    // No byte at all for this long ends a transfer (answer or package): the server is gone.
    int stallTimeoutMs = 60000;
    // A trickle (a byte every few seconds keeps the stall timeout away) ends like a stall:
    // fewer than `floorBytesPerSecond` on average over each `floorWindowMs`.
    long long floorBytesPerSecond = 256;
    int floorWindowMs = 60000;
    // The download folder: partial files untouched this long belong to no running transfer;
    // finished packages are kept this long (a pending update waits for the next start), and
    // never more than `maxKeptPackages` of them, the newest first.
    int stalePartialMs = 10 * 60 * 1000;
    int keepPackagesDays = 30;
    int maxKeptPackages = 5;
    // A package without Content-Length ends as a failed download past this size, so endless
    // data cannot fill the disk; larger than any installer the agent is meant to fetch.
    long long maxUnsizedPackageBytes = 512LL * 1024 * 1024;
    // Redirects followed in one request; Qt's own default is 50.
    int maxRedirects = 10;
    // A package transfer cut short (reset, closed early, stalled) is tried again this many
    // times, resuming where it stopped, after `retryDelayMs`, doubled for each further try:
    // a mobile connection or a restarting server gets a few seconds to come back, and a
    // server that keeps failing still ends the download within half a minute.
    int maxTransferRetries = 3;
    int retryDelayMs = 2000;
};

} // namespace KDAutoUpdate
