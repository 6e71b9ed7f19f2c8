#pragma once
// A DOMDocument60 behind the document interface of the core.
//
// MSXML loads files and, without a fetcher, URLs itself; its onreadystatechange is passed on.
// With a fetcher, a URL's answer is parsed with loadXML and completion is reported from a
// task of the event loop, never inside load(). Either way the handler may destroy the document.

#include <windows.h>

#include <msxml2.h>
#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/XmlDocument.h"

namespace KDAutoUpdate {

class IHttpFetcher;
class IEventLoop;
class IHttpRequest;
class ReadyStateSink;
struct HttpResult;

class MsXmlDocument : public IXmlDocument {
public:
    MsXmlDocument(Microsoft::WRL::ComPtr<IXMLDOMDocument2> doc, IHttpFetcher* http,
                  IEventLoop* loop);
    ~MsXmlDocument() override;
    MsXmlDocument(const MsXmlDocument&) = delete;
    MsXmlDocument& operator=(const MsXmlDocument&) = delete;

    bool async() const override { return m_async; }
    void setAsync(bool value) override { m_async = value; }
    bool load(const std::string& source) override;
    bool loadXML(std::string text) override;
    bool save(const std::string& path) override;

    XmlReadyState readyState() const override;
    long parseErrorCode() const override;
    void abort() override;
    void setOnReadyStateChange(std::function<void()> handler) override;

    XmlElementPtr documentElement() override;
    XmlElementPtr createElement(const std::string& name) override;
    std::string xml() const override;

private:
    bool LoadNative(const std::string& source);
    bool LoadThroughFetcher(const std::string& url);
    void Complete(unsigned long generation, const HttpResult& result);
    void CancelRequest();
    void Notify();

    Microsoft::WRL::ComPtr<IXMLDOMDocument2> m_doc;
    IHttpFetcher* m_http;
    IEventLoop* m_loop;
    bool m_async = true;
    ReadyStateSink* m_sink = nullptr;
    bool m_nativeEvents = false; // a native asynchronous load runs
    bool m_inLoad = false;
    bool m_reported = false; // completion of the native load was reported
    std::function<void()> m_handler;
    // A load through the fetcher: its state and error stand in for MSXML's own.
    bool m_fetched = false;
    XmlReadyState m_fetchState = XmlReadyState::Uninitialized;
    long m_fetchError = 0;
    std::shared_ptr<IHttpRequest> m_request;
    unsigned long m_generation = 0;
    std::shared_ptr<int> m_alive;
};

} // namespace KDAutoUpdate
