#pragma once
// An element of a pugixml document: the node plus a shared owner of its storage.

#include <memory>

#include <pugixml.hpp>

#include "platform/XmlDocument.h"
#include "platform/pugixml/PugiXmlStorage.h"
#include "platform/pugixml/WellFormedText.h"

namespace KDAutoUpdate {

class PugiXmlElement : public IXmlElement {
public:
    PugiXmlElement(std::shared_ptr<PugiXmlStorage> storage, pugi::xml_node node)
        : m_storage(std::move(storage)), m_node(node) {}

    std::string nodeName() const override;
    std::optional<std::string> getAttribute(const std::string& name) const override;
    bool setAttribute(const std::string& name, const std::string& value) override;
    bool removeAttribute(const std::string& name) override;
    std::vector<std::string> attributeNames() const override;
    XmlElementPtr selectSingleNode(const std::string& xpath) override;
    std::vector<XmlElementPtr> selectNodes(const std::string& xpath) override;
    // One pass over the element's attributes, lending the document's own text; `names` are
    // distinct and `scratch` is not needed.
    void viewAttributes(std::span<const char* const> names,
                        std::span<std::optional<std::string_view>> values,
                        std::span<std::string> scratch) const override;
    // Moves `child` to the end of this element. A child from another storage (an element made
    // by createElement, or one of another document) is copied in and the handle then refers to
    // the copy, so later changes through it land in this document.
    bool appendChild(const XmlElementPtr& child) override;
    std::string xml() const override;

    // Makes this object stand for another node of the same storage: one object for a walk.
    // `attributes`: the node's attributes as the walk collected them, which viewAttributes
    // then reads without asking the library again; valid until the next move.
    void MoveTo(const pugi::xml_node& node,
                const std::vector<WellFormedText::Attribute>* attributes = nullptr) {
        m_node = node;
        m_attributes = attributes;
    }

    // True for names pugixml would write as well-formed markup.
    static bool IsValidName(const std::string& name);

private:
    // Element matches in document order; with `first`, at most the first one.
    std::vector<pugi::xml_node> Select(const std::string& xpath, bool first) const;

    std::shared_ptr<PugiXmlStorage> m_storage;
    pugi::xml_node m_node;
    const std::vector<WellFormedText::Attribute>* m_attributes = nullptr;
};

} // namespace KDAutoUpdate
