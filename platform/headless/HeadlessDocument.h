#pragma once
// A page loaded by the headless browser: its URL, source text, element tree and the
// document-level click handler.

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/BrowserControl.h"
#include "platform/headless/HeadlessElement.h"

namespace KDAutoUpdate {

class HeadlessDocument final : public IHtmlDocument {
public:
    using ElementMatch = std::function<bool(const HeadlessElement&)>;
    using ClickHandler = std::function<bool(const HtmlElementPtr& source)>;

    // Parses `source` into the document's tree.
    HeadlessDocument(std::string url, std::string source);

    // IHtmlDocument
    std::string Url() const override { return m_url; }
    HtmlElementPtr GetElementById(const std::string& id) override;
    void SetOnClick(ClickHandler handler) override { m_onClick = std::move(handler); }

    ClickHandler OnClick() const { return m_onClick; }
    const std::string& Source() const { return *m_source; }
    const HeadlessElementPtr& Root() const { return m_root; }
    // The <body> element, or the root when the tree has none.
    HeadlessElementPtr Body() const;
    // Elements that satisfy `match`, in document order; at most `limit` (0: all).
    std::vector<HeadlessElementPtr> Find(const ElementMatch& match, std::size_t limit = 0) const;
    // Whether `element` is in this document's tree now.
    bool Contains(const HeadlessElement& element) const;

private:
    std::string m_url;
    std::shared_ptr<const std::string> m_source;
    HeadlessElementPtr m_root;
    ClickHandler m_onClick;
};

using HeadlessDocumentPtr = std::shared_ptr<HeadlessDocument>;

} // namespace KDAutoUpdate
