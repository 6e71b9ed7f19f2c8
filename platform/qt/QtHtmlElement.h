#pragma once
// An element of a QtHtmlDocument: reads from the mirror element, writes to the mirror and the
// live page. An element the mirror lacks (the page's scripts made it) is a detached copy with
// the attributes the page reported and its address in the live page.

#include <memory>
#include <optional>
#include <string>

#include "platform/BrowserControl.h"
#include "platform/headless/HeadlessElement.h"
#include "platform/qt/QtHtmlDocument.h"

namespace KDAutoUpdate {

class QtHtmlElement final : public IHtmlElement {
public:
    QtHtmlElement(std::shared_ptr<QtHtmlDocument> document, HeadlessElementPtr element,
                  std::optional<QtHtmlDocument::Address> fixedAddress = std::nullopt);

    std::string Id() const override { return m_element->Id(); }
    std::string TagName() const override { return m_element->TagName(); }
    std::optional<std::string> GetAttribute(const std::string& name) const override;
    void SetAttribute(const std::string& name, const std::string& value) override;
    std::string InnerHTML() const override { return m_element->InnerHTML(); }
    void SetInnerHTML(const std::string& html) override;
    void SetStyleColor(const std::string& color) override;
    std::string StyleColor() const override { return m_element->StyleColor(); }
    bool Checked() const override { return m_element->Checked(); }
    std::optional<std::string> RawSource() const override { return m_element->RawSource(); }
    void SetOnClick(std::function<bool()> handler) override;

    const HeadlessElementPtr& Mirror() const { return m_element; }

private:
    void Push(const QString& operation, const QJsonValue& value);

    std::shared_ptr<QtHtmlDocument> m_document;
    HeadlessElementPtr m_element;
    std::optional<QtHtmlDocument::Address> m_fixedAddress;
};

} // namespace KDAutoUpdate
