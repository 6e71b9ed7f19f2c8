#pragma once
// The XML document service on pugixml. Local files are read directly; http(s) URLs go through
// an IHttpFetcher; asynchronous completion is delivered through an IEventLoop.

#include <memory>

#include "platform/XmlDocument.h"

namespace KDAutoUpdate {

class IHttpFetcher;
class IEventLoop;

// parseErrorCode() values (HRESULT-like, so a host sees familiar numbers).
namespace XmlError {
inline constexpr long kNone = 0;
inline constexpr long kFileNotFound = -2146697210;  // 0x800C0006: file missing or unreadable
inline constexpr long kUnreachable = -2146697211;   // 0x800C0005: transport failure, no fetcher
inline constexpr long kHttpStatus = -2146697208;    // 0x800C0008: HTTP status other than 2xx
inline constexpr long kAborted = -2147467260;       // 0x80004004: abort()
inline constexpr long kNoEventLoop = -2147467259;   // 0x80004005: async load without a loop
inline constexpr long kMalformed = -1072896682;     // 0xC00CE556: text is not well-formed XML
inline constexpr long kNoRootElement = -1072896680; // 0xC00CE558: no root element (empty text)
} // namespace XmlError

class PugiXmlService : public IXmlService {
public:
    // Either may be null: URL loads then fail, and asynchronous loads fail at once.
    PugiXmlService(IHttpFetcher* http, IEventLoop* loop) : m_http(http), m_loop(loop) {}
    std::unique_ptr<IXmlDocument> CreateDocument() override;

private:
    IHttpFetcher* m_http;
    IEventLoop* m_loop;
};

} // namespace KDAutoUpdate
