#include "platform/win32/MsXmlElement.h"

#include "platform/win32/ComText.h"
#include "platform/win32/MsXmlGuids.h"

namespace KDAutoUpdate {

using Microsoft::WRL::ComPtr;

XmlElementPtr MsXmlElement::FromNode(IXMLDOMNode* node) {
    ComPtr<IXMLDOMElement> element;
    if (!node || FAILED(node->QueryInterface(IID_IXMLDOMElement, &element)) || !element)
        return nullptr;
    return std::make_shared<MsXmlElement>(element);
}

std::string MsXmlElement::nodeName() const {
    ComString name;
    m_element->get_nodeName(name.out());
    return name.str();
}

std::optional<std::string> MsXmlElement::getAttribute(const std::string& name) const {
    ComString key(name);
    ComVariant value;
    if (m_element->getAttribute(key.get(), value.out()) != S_OK || value.get().vt != VT_BSTR)
        return std::nullopt;
    return Narrow(value.get().bstrVal, static_cast<int>(SysStringLen(value.get().bstrVal)));
}

bool MsXmlElement::setAttribute(const std::string& name, const std::string& value) {
    ComString key(name);
    ComVariant text(value);
    return SUCCEEDED(m_element->setAttribute(key.get(), text.get()));
}

bool MsXmlElement::removeAttribute(const std::string& name) {
    ComString key(name);
    return SUCCEEDED(m_element->removeAttribute(key.get()));
}

std::vector<std::string> MsXmlElement::attributeNames() const {
    std::vector<std::string> names;
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    long length = 0;
    if (m_element->get_attributes(&attributes) != S_OK || !attributes ||
        FAILED(attributes->get_length(&length)))
        return names;
    for (long i = 0; i < length; ++i) {
        ComPtr<IXMLDOMNode> attribute;
        if (attributes->get_item(i, &attribute) != S_OK || !attribute)
            continue;
        ComString name;
        if (SUCCEEDED(attribute->get_nodeName(name.out())))
            names.push_back(name.str());
    }
    return names;
}

XmlElementPtr MsXmlElement::selectSingleNode(const std::string& xpath) {
    ComString query(xpath);
    ComPtr<IXMLDOMNode> node;
    if (m_element->selectSingleNode(query.get(), &node) != S_OK)
        return nullptr;
    return FromNode(node.Get());
}

std::vector<XmlElementPtr> MsXmlElement::selectNodes(const std::string& xpath) {
    std::vector<XmlElementPtr> result;
    ComString query(xpath);
    ComPtr<IXMLDOMNodeList> list;
    long length = 0;
    if (FAILED(m_element->selectNodes(query.get(), &list)) || !list ||
        FAILED(list->get_length(&length)))
        return result;
    for (long i = 0; i < length; ++i) {
        ComPtr<IXMLDOMNode> node;
        if (list->get_item(i, &node) == S_OK)
            if (XmlElementPtr element = FromNode(node.Get()))
                result.push_back(element);
    }
    return result;
}

bool MsXmlElement::appendChild(const XmlElementPtr& child) {
    const auto* native = dynamic_cast<const MsXmlElement*>(child.get());
    if (!native)
        return false;
    ComPtr<IXMLDOMNode> added;
    return SUCCEEDED(m_element->appendChild(native->Native(), &added));
}

std::string MsXmlElement::xml() const {
    ComString text;
    m_element->get_xml(text.out());
    return text.str();
}

} // namespace KDAutoUpdate
