#include "platform/pugixml/PugiXmlElement.h"

#include "platform/pugixml/PugiXmlSerializer.h"

namespace KDAutoUpdate {

namespace {
bool IsNameStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}
bool IsNameChar(unsigned char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}
} // namespace

bool PugiXmlElement::IsValidName(const std::string& name) {
    if (name.empty() || !IsNameStart(static_cast<unsigned char>(name[0])))
        return false;
    for (char c : name)
        if (!IsNameChar(static_cast<unsigned char>(c)))
            return false;
    return true;
}

std::string PugiXmlElement::nodeName() const {
    return m_node.name();
}

std::optional<std::string> PugiXmlElement::getAttribute(const std::string& name) const {
    const pugi::xml_attribute attribute = m_node.attribute(name.c_str());
    if (!attribute)
        return std::nullopt;
    return std::string(attribute.value());
}

bool PugiXmlElement::setAttribute(const std::string& name, const std::string& value) {
    if (!m_node || !IsValidName(name))
        return false;
    pugi::xml_attribute attribute = m_node.attribute(name.c_str());
    if (!attribute)
        attribute = m_node.append_attribute(name.c_str());
    return attribute && attribute.set_value(value.c_str());
}

bool PugiXmlElement::removeAttribute(const std::string& name) {
    if (!m_node)
        return false;
    m_node.remove_attribute(name.c_str());
    return true;
}

std::vector<pugi::xml_node> PugiXmlElement::Select(const std::string& xpath) const {
    std::vector<pugi::xml_node> nodes;
    if (!m_node || xpath.empty())
        return nodes;
    // pugixml reports a bad expression by throwing (or, built without exceptions, by an
    // invalid query); neither may leave the backend.
    try {
        const pugi::xpath_query query(xpath.c_str());
        if (!query || query.return_type() != pugi::xpath_type_node_set)
            return nodes;
        pugi::xpath_node_set set = query.evaluate_node_set(m_node);
        set.sort();
        for (const pugi::xpath_node& match : set)
            if (match.node().type() == pugi::node_element)
                nodes.push_back(match.node());
    } catch (...) {
        nodes.clear();
    }
    return nodes;
}

XmlElementPtr PugiXmlElement::selectSingleNode(const std::string& xpath) {
    std::vector<pugi::xml_node> nodes = Select(xpath);
    if (nodes.empty())
        return nullptr;
    return std::make_shared<PugiXmlElement>(m_storage, nodes.front());
}

std::vector<XmlElementPtr> PugiXmlElement::selectNodes(const std::string& xpath) {
    std::vector<XmlElementPtr> elements;
    for (const pugi::xml_node& node : Select(xpath))
        elements.push_back(std::make_shared<PugiXmlElement>(m_storage, node));
    return elements;
}

bool PugiXmlElement::appendChild(const XmlElementPtr& child) {
    auto* other = dynamic_cast<PugiXmlElement*>(child.get());
    if (!other || !m_node || !other->m_node || other == this)
        return false;
    if (other->m_storage == m_storage) {
        // Same document: a move, refused by pugixml when it would put a node inside itself.
        return static_cast<bool>(m_node.append_move(other->m_node));
    }
    // Another storage: copy in. The original stays where it was, so handles to its
    // descendants remain valid.
    const pugi::xml_node copy = m_node.append_copy(other->m_node);
    if (!copy)
        return false;
    other->m_storage = m_storage;
    other->m_node = copy;
    return true;
}

std::string PugiXmlElement::xml() const {
    return PugiXmlSerializer::Serialize(m_node);
}

} // namespace KDAutoUpdate
