#pragma once
// How a fetched page's text reaches the engine: within the size of a data: URL it is shown with
// setContent under its own URL; beyond, it is served from memory under an internal URL, with a
// <base> that keeps its relative URLs resolving against its own.

#include <QByteArray>

#include <string>

namespace KDAutoUpdate {

class QtPageBody {
public:
    // Whether setContent can take `body` (Chromium refuses URLs longer than 2 MB, and every
    // byte but letters and digits may be percent-encoded in the data: URL).
    static bool FitsDataUrl(const std::string& body);
    // `body` with a <base href="url"> at the start of its head; a page with a <base> of its
    // own keeps it.
    static QByteArray WithBase(const std::string& body, const std::string& url);
};

} // namespace KDAutoUpdate
