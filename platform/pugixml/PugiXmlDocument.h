#pragma once
// An XML document on pugixml with DOM-like asynchronous loading.
//
// Asynchronous loads report only their completion (readyState Complete) through
// onreadystatechange, always from a task posted to the event loop and never inside load() or
// abort(). The handler may destroy the document. A document destroyed while loading aborts its
// request and never calls back. Every load, successful or not, ends in readyState Complete;
// after a failed load the document is empty.

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include <pugixml.hpp>

#include "platform/XmlDocument.h"

namespace KDAutoUpdate {

class IHttpFetcher;
class IEventLoop;
class IHttpRequest;
struct HttpResult;
struct PugiXmlStorage;

class PugiXmlDocument : public IXmlDocument {
public:
    PugiXmlDocument(IHttpFetcher* http, IEventLoop* loop);
    ~PugiXmlDocument() override;
    PugiXmlDocument(const PugiXmlDocument&) = delete;
    PugiXmlDocument& operator=(const PugiXmlDocument&) = delete;

    bool async() const override { return m_async; }
    void setAsync(bool value) override { m_async = value; }
    bool load(const std::string& source) override;
    bool loadXML(std::string text) override;
    // Visits on the walk that checks the document's depth and size.
    bool loadXMLVisiting(std::string text, const XmlElementVisitor& visit) override;
    // Writes to a temporary file beside `path` and renames it over `path`, so a failed save
    // leaves the old file as it was. The document's own declaration is written as it stands.
    bool save(const std::string& path) override;

    XmlReadyState readyState() const override { return m_readyState; }
    long parseErrorCode() const override { return m_errorCode; }
    void abort() override;
    void setOnReadyStateChange(std::function<void()> handler) override {
        m_handler = std::move(handler);
    }

    XmlElementPtr documentElement() override;
    // A detached element; it joins the document through appendChild.
    XmlElementPtr createElement(const std::string& name) override;
    std::string xml() const override;

private:
    using Outcome = std::pair<std::shared_ptr<PugiXmlStorage>, long>;

    // Parses in place: the storage keeps the text, whose copy pugixml would otherwise make.
    // Bytes (a file, an answer) are read in the encoding they declare; a text (loadXML) is
    // UTF-8 already, whatever its declaration says.
    static Outcome Parse(std::string text, const XmlElementVisitor* visit = nullptr,
                         bool isText = false);
    static Outcome ParseWith(const std::function<pugi::xml_parse_result(PugiXmlStorage&)>& load,
                             std::shared_ptr<PugiXmlStorage> storage,
                             const XmlElementVisitor* visit = nullptr, bool references = true);
    static Outcome ReadFile(const std::string& path);
    static Outcome FromHttp(const HttpResult& result);
    static bool IsHttpUrl(const std::string& source);

    // Ends a running load without any report; its late answers are ignored.
    void CancelRunning();
    void Apply(Outcome outcome);
    // Applies the outcome of the load `generation` and tells the handler.
    void Complete(unsigned long generation, Outcome outcome);
    void OnHttpAnswer(unsigned long generation, const HttpResult& result);

    IHttpFetcher* m_http;
    IEventLoop* m_loop;
    bool m_async = true;
    bool m_inLoad = false;
    std::shared_ptr<PugiXmlStorage> m_storage;
    XmlReadyState m_readyState = XmlReadyState::Uninitialized;
    long m_errorCode = 0;
    std::function<void()> m_handler;
    std::shared_ptr<IHttpRequest> m_request;
    // Identifies the current load; a callback of an earlier one finds it changed.
    unsigned long m_generation = 0;
    // Expires with the document; posted tasks and network callbacks check it first.
    std::shared_ptr<int> m_alive;
};

} // namespace KDAutoUpdate
