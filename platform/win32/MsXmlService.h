#pragma once
// The XML document service on MSXML 6 (DOMDocument60) through COM. Files and, without an
// IHttpFetcher, http(s) URLs are loaded by MSXML itself, asynchronously with its
// onreadystatechange; with a fetcher, URLs go through it and the answer is parsed by MSXML.

#include <memory>

#include "platform/XmlDocument.h"

namespace KDAutoUpdate {

class IHttpFetcher;
class IEventLoop;

class MsXmlService : public IXmlService {
public:
    // Enters the calling thread's apartment (single-threaded) for as long as the service lives.
    MsXmlService(IHttpFetcher* http, IEventLoop* loop);
    ~MsXmlService() override;
    MsXmlService(const MsXmlService&) = delete;
    MsXmlService& operator=(const MsXmlService&) = delete;

    // Null when MSXML 6 cannot be created.
    std::unique_ptr<IXmlDocument> CreateDocument() override;

private:
    IHttpFetcher* m_http;
    IEventLoop* m_loop;
    bool m_comEntered = false;
};

} // namespace KDAutoUpdate
