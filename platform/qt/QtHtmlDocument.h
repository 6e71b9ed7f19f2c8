#pragma once
// The document of a page shown by QtWebBrowserControl. Reads answer at once from a mirror of the
// page parsed from its raw source (the headless browser's DOM); writes change the mirror and are
// pushed to the live page, fire and forget. Clicks come from the page's injected script: the
// element handlers run (the clicked element's first, then its ancestors', as a click bubbles),
// then the document's with the clicked element as source, and the page is told whether to keep
// the click's default action.

#include <QJsonValue>
#include <QPointer>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/BrowserControl.h"
#include "platform/headless/HeadlessDocument.h"

namespace KDAutoUpdate {

class QtHtmlElement;
class QtWebPage;

class QtHtmlDocument final : public IHtmlDocument,
                             public std::enable_shared_from_this<QtHtmlDocument> {
public:
    using ClickHandler = std::function<bool(const HtmlElementPtr& source)>;

    // Where an element is in the live page: by id when the id names it, else by the indices of
    // element children from <html> down.
    struct Address {
        std::string id;
        std::vector<int> path;
    };

    // `generation` names this document to the page's script; writes reach `page` while the
    // document is attached.
    QtHtmlDocument(std::string url, std::string source, QtWebPage* page, quint64 generation);
    ~QtHtmlDocument() override;
    QtHtmlDocument(const QtHtmlDocument&) = delete;
    QtHtmlDocument& operator=(const QtHtmlDocument&) = delete;

    // IHtmlDocument
    std::string Url() const override { return m_mirror.Url(); }
    HtmlElementPtr GetElementById(const std::string& id) override;
    void SetOnClick(ClickHandler handler) override;

    // The elements with an id in the live page, as its script reports them (JSON: id, tag,
    // attributes): from then on GetElementById answers from the live page, so an element the
    // page's scripts added is found and one they removed is not.
    void SetLiveElements(const QString& json);
    // The script that makes that report, for the page's control world.
    static QString LiveElementsScript();

    quint64 Generation() const { return m_generation; }
    // Tells the page's script that it shows this document.
    void Bind();
    // The page shows another document, or is gone: nothing reaches the page from here on.
    void Detach();
    // A click report of the page's script (JSON).
    void HandleClickReport(const QString& json);

    // For the elements.
    std::shared_ptr<QtHtmlElement> Wrap(const HeadlessElementPtr& element);
    std::optional<Address> AddressOf(const HeadlessElement& element) const;
    void Push(const Address& address, const QString& operation, const QJsonValue& value);
    // Some handler wants clicks: the page starts to hold back default actions for them.
    void StartListening();

private:
    struct LiveElement {
        std::string tag;
        std::vector<std::pair<std::string, std::string>> attributes;
    };

    // The element of that id the page's scripts made, as a detached copy kept for the
    // document's life (its click handler lives there).
    HeadlessElementPtr ScriptElement(const std::string& id, const LiveElement& live);
    HeadlessElementPtr Resolve(const Address& address, const std::string& tag) const;
    void Run(const QString& script);

    HeadlessDocument m_mirror;
    QPointer<QtWebPage> m_page;
    quint64 m_generation;
    bool m_attached = true;
    bool m_listening = false;
    ClickHandler m_onClick;
    std::optional<std::map<std::string, LiveElement>> m_live;
    std::map<std::string, HeadlessElementPtr> m_scriptElements;
    // One wrapper per element while anybody holds it, so an element compares equal to itself.
    std::map<const HeadlessElement*, std::weak_ptr<QtHtmlElement>> m_wrappers;
};

using QtHtmlDocumentPtr = std::shared_ptr<QtHtmlDocument>;

} // namespace KDAutoUpdate
