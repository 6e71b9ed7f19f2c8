#pragma once
// An element of an MSXML 6 document.

#include <windows.h>

#include <msxml2.h>
#include <wrl/client.h>

#include "platform/XmlDocument.h"

namespace KDAutoUpdate {

class MsXmlElement : public IXmlElement {
public:
    explicit MsXmlElement(Microsoft::WRL::ComPtr<IXMLDOMElement> element)
        : m_element(std::move(element)) {}

    // The element behind a node, or null when the node is no element.
    static XmlElementPtr FromNode(IXMLDOMNode* node);
    IXMLDOMElement* Native() const { return m_element.Get(); }

    std::string nodeName() const override;
    std::optional<std::string> getAttribute(const std::string& name) const override;
    bool setAttribute(const std::string& name, const std::string& value) override;
    bool removeAttribute(const std::string& name) override;
    std::vector<std::string> attributeNames() const override;
    XmlElementPtr selectSingleNode(const std::string& xpath) override;
    std::vector<XmlElementPtr> selectNodes(const std::string& xpath) override;
    bool appendChild(const XmlElementPtr& child) override;
    std::string xml() const override;

private:
    Microsoft::WRL::ComPtr<IXMLDOMElement> m_element;
};

} // namespace KDAutoUpdate
