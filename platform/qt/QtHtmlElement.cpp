#include "platform/qt/QtHtmlElement.h"

#include <QJsonArray>

namespace KDAutoUpdate {

QtHtmlElement::QtHtmlElement(std::shared_ptr<QtHtmlDocument> document, HeadlessElementPtr element,
                             std::optional<QtHtmlDocument::Address> fixedAddress)
    : m_document(std::move(document)), m_element(std::move(element)),
      m_fixedAddress(std::move(fixedAddress)) {}

std::optional<std::string> QtHtmlElement::GetAttribute(const std::string& name) const {
    return m_element->GetAttribute(name);
}

void QtHtmlElement::SetAttribute(const std::string& name, const std::string& value) {
    if (name.empty())
        return;
    m_element->SetAttribute(name, value);
    Push(QStringLiteral("attribute"),
         QJsonArray{QString::fromStdString(name), QString::fromStdString(value)});
}

void QtHtmlElement::SetInnerHTML(const std::string& html) {
    m_element->SetInnerHTML(html);
    Push(QStringLiteral("html"), QString::fromStdString(html));
}

void QtHtmlElement::SetStyleColor(const std::string& color) {
    m_element->SetStyleColor(color);
    Push(QStringLiteral("color"), QString::fromStdString(color));
}

void QtHtmlElement::SetOnClick(std::function<bool()> handler) {
    const bool wantsClicks = static_cast<bool>(handler);
    m_element->SetOnClick(std::move(handler));
    if (wantsClicks)
        m_document->StartListening();
}

void QtHtmlElement::Push(const QString& operation, const QJsonValue& value) {
    // The address is taken now: earlier writes may have moved the element in the tree.
    const std::optional<QtHtmlDocument::Address> address =
        m_fixedAddress ? m_fixedAddress : m_document->AddressOf(*m_element);
    if (address)
        m_document->Push(*address, operation, value);
}

} // namespace KDAutoUpdate
