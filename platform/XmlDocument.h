#pragma once
// XML document service: the one way the agent parses, loads, queries and saves XML.
// Modelled on a DOM document with asynchronous loading. Nothing here throws: failures show as
// a non-zero parse error code, an empty optional or a null pointer.

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace KDAutoUpdate {

class IXmlElement;
using XmlElementPtr = std::shared_ptr<IXmlElement>;

class IXmlElement {
public:
    virtual ~IXmlElement() = default;
    virtual std::string nodeName() const = 0;
    // Attribute text, or nullopt when the attribute is absent (a DOM null).
    virtual std::optional<std::string> getAttribute(const std::string& name) const = 0;
    virtual bool setAttribute(const std::string& name, const std::string& value) = 0;
    virtual bool removeAttribute(const std::string& name) = 0;
    // The names of the element's attributes in document order: what a copy of it has to carry.
    virtual std::vector<std::string> attributeNames() const = 0;
    // XPath relative to this element; the first match or null.
    virtual XmlElementPtr selectSingleNode(const std::string& xpath) = 0;
    // XPath relative to this element; all element matches in document order.
    virtual std::vector<XmlElementPtr> selectNodes(const std::string& xpath) = 0;
    // values[i] views the text of attribute names[i], or is nullopt when absent: a record's many
    // fields in one call, which a backend may read in one pass without copies. A view stays valid
    // while the document is unchanged and `scratch` (one string for each name) is neither changed
    // nor gone: a backend that has to convert the text keeps it there.
    virtual void viewAttributes(std::span<const char* const> names,
                                std::span<std::optional<std::string_view>> values,
                                std::span<std::string> scratch) const {
        for (std::size_t i = 0; i < names.size() && i < values.size(); ++i) {
            std::optional<std::string> value = getAttribute(names[i]);
            values[i].reset();
            if (value && i < scratch.size()) {
                scratch[i] = std::move(*value);
                values[i] = scratch[i];
            }
        }
    }
    // Appends `child` (created by the same document) as the last child.
    virtual bool appendChild(const XmlElementPtr& child) = 0;
    // The element's markup.
    virtual std::string xml() const = 0;
};

// Called with an element of a document being read, its name and its depth below the root.
using XmlElementVisitor = std::function<void(IXmlElement&, std::string_view name, int depth)>;

enum class XmlReadyState {
    Uninitialized = 0,
    Loading = 1,
    Loaded = 2,
    Interactive = 3,
    Complete = 4
};

class IXmlDocument {
public:
    virtual ~IXmlDocument() = default;

    virtual bool async() const = 0;
    virtual void setAsync(bool value) = 0;

    // Loads a local file path or an http(s) URL. Synchronous loads return when complete; an
    // asynchronous load returns at once and reports through onreadystatechange. The result is
    // true when the document is (or, for async, may become) usable; callers test
    // parseErrorCode() instead.
    virtual bool load(const std::string& source) = 0;
    // Parses `text`; a caller that moves its text in spares the backend a copy.
    [[nodiscard]] virtual bool loadXML(std::string text) = 0;
    // loadXML, then `visit` with every element in document order, with its name and depth (the
    // root's is 0). A backend that walks the parsed document anyway, to check it, visits on that
    // walk: a reader of the whole document then needs no walk of its own. The element given is
    // valid only during its call and must not be changed. When the load fails, it may do so
    // after some visits: whatever they gave is to be dropped.
    [[nodiscard]] virtual bool loadXMLVisiting(std::string text, const XmlElementVisitor& visit) {
        if (!loadXML(std::move(text)))
            return false;
        std::vector<std::pair<XmlElementPtr, int>> pending; // a stack, next on top
        if (XmlElementPtr root = documentElement())
            pending.emplace_back(std::move(root), 0);
        while (!pending.empty()) {
            const auto [element, depth] = std::move(pending.back());
            pending.pop_back();
            visit(*element, element->nodeName(), depth);
            std::vector<XmlElementPtr> children = element->selectNodes("*");
            for (auto child = children.rbegin(); child != children.rend(); ++child)
                pending.emplace_back(std::move(*child), depth + 1);
        }
        return true;
    }
    [[nodiscard]] virtual bool save(const std::string& path) = 0;

    virtual XmlReadyState readyState() const = 0;
    // parseError.errorCode: 0 after a well-formed load, non-zero otherwise.
    virtual long parseErrorCode() const = 0;
    // Ends a running asynchronous load; completion is then reported with a non-zero code.
    virtual void abort() = 0;
    // Called on the owner's thread at every ready-state change of an asynchronous load.
    virtual void setOnReadyStateChange(std::function<void()> handler) = 0;

    virtual XmlElementPtr documentElement() = 0;
    virtual XmlElementPtr createElement(const std::string& name) = 0;
    // The whole document as text.
    virtual std::string xml() const = 0;
};

class IXmlService {
public:
    virtual ~IXmlService() = default;
    virtual std::unique_ptr<IXmlDocument> CreateDocument() = 0;
};

} // namespace KDAutoUpdate
