#include "platform/pugixml/PugiXmlElement.h"

#include "platform/pugixml/PugiXmlSerializer.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

namespace KDAutoUpdate {

namespace {
bool IsNameStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}
bool IsNameChar(unsigned char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}
// strcmp(a, b) == 0 for the short names of attributes, without a library call.
bool SameName(const char* a, const char* b) {
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
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

std::vector<std::string> PugiXmlElement::attributeNames() const {
    std::vector<std::string> names;
    for (pugi::xml_attribute a = m_node.first_attribute(); a; a = a.next_attribute())
        names.emplace_back(a.name());
    return names;
}

namespace {

// The agent asks the same few paths again and again (one per message of a page, one per
// store lookup): each is compiled once per thread. A long list of distinct paths starts over.
const pugi::xpath_query* CompiledQuery(const std::string& xpath) {
    constexpr std::size_t kMaxQueries = 64;
    thread_local std::unordered_map<std::string, std::unique_ptr<pugi::xpath_query>> queries;
    if (const auto found = queries.find(xpath); found != queries.end())
        return found->second.get();
    if (queries.size() >= kMaxQueries)
        queries.clear();
    auto query = std::make_unique<pugi::xpath_query>(xpath.c_str());
    if (!*query || query->return_type() != pugi::xpath_type_node_set)
        return nullptr;
    return queries.emplace(xpath, std::move(query)).first->second.get();
}

// The steps of a path of plain element names ("Message", "Features/Feature"), or nothing for
// any other expression.
std::optional<std::vector<std::string>> ChildSteps(const std::string& xpath) {
    std::vector<std::string> steps;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(xpath.find('/', start), xpath.size());
        const std::string step = xpath.substr(start, end - start);
        if (!PugiXmlElement::IsValidName(step) || step.find(':') != std::string::npos)
            return std::nullopt;
        steps.push_back(step);
        if (end == xpath.size())
            return steps;
        start = end + 1;
    }
}

// ChildSteps of the paths a thread asks again and again (one per message of a page), each
// worked out once. Entries are never dropped, so a walk can keep using its steps while a visit
// inside it asks another path; past the first few paths, `scratch` holds the answer.
const std::vector<std::string>* KnownChildSteps(const std::string& xpath,
                                                std::vector<std::string>& scratch) {
    constexpr std::size_t kMaxPaths = 64;
    thread_local std::unordered_map<std::string, std::optional<std::vector<std::string>>> known;
    if (const auto found = known.find(xpath); found != known.end())
        return found->second ? &*found->second : nullptr;
    std::optional<std::vector<std::string>> steps = ChildSteps(xpath);
    if (known.size() < kMaxPaths) {
        const auto& kept = known.emplace(xpath, std::move(steps)).first->second;
        return kept ? &*kept : nullptr;
    }
    if (!steps)
        return nullptr;
    scratch = std::move(*steps);
    return &scratch;
}

// Children named steps[i], then their children named steps[i + 1], ...: the node-set of the
// path in document order.
void CollectChildren(const pugi::xml_node& node, const std::vector<std::string>& steps,
                     std::size_t i, bool first, std::vector<pugi::xml_node>& out) {
    for (const pugi::xml_node& child : node.children(steps[i].c_str())) {
        if (child.type() != pugi::node_element)
            continue;
        if (i + 1 < steps.size())
            CollectChildren(child, steps, i + 1, first, out);
        else
            out.push_back(child);
        if (first && !out.empty())
            return;
    }
}

} // namespace

std::vector<pugi::xml_node> PugiXmlElement::Select(const std::string& xpath, bool first) const {
    std::vector<pugi::xml_node> nodes;
    if (!m_node || xpath.empty())
        return nodes;
    // Plain child paths, what the agent asks most, are walked directly: the same nodes in the
    // same order as the XPath engine gives, without compiling or sorting.
    std::vector<std::string> scratch;
    if (const auto* steps = KnownChildSteps(xpath, scratch)) {
        CollectChildren(m_node, *steps, 0, first, nodes);
        return nodes;
    }
    // pugixml reports a bad expression by throwing (or, built without exceptions, by an
    // invalid query); neither may leave the backend.
    try {
        const pugi::xpath_query* query = CompiledQuery(xpath);
        if (!query)
            return nodes;
        if (first) {
            // Stops at the first match; only a match that is no element needs the whole set.
            const pugi::xpath_node match = query->evaluate_node(m_node);
            if (!match)
                return nodes;
            if (match.node().type() == pugi::node_element)
                return {match.node()};
        }
        pugi::xpath_node_set set = query->evaluate_node_set(m_node);
        set.sort();
        nodes.reserve(set.size());
        for (const pugi::xpath_node& match : set)
            if (match.node().type() == pugi::node_element)
                nodes.push_back(match.node());
    } catch (...) {
        nodes.clear();
    }
    return nodes;
}

XmlElementPtr PugiXmlElement::selectSingleNode(const std::string& xpath) {
    std::vector<pugi::xml_node> nodes = Select(xpath, true);
    if (nodes.empty())
        return nullptr;
    return std::make_shared<PugiXmlElement>(m_storage, nodes.front());
}

std::vector<XmlElementPtr> PugiXmlElement::selectNodes(const std::string& xpath) {
    std::vector<XmlElementPtr> elements;
    const std::vector<pugi::xml_node> nodes = Select(xpath, false);
    elements.reserve(nodes.size());
    for (const pugi::xml_node& node : nodes)
        elements.push_back(std::make_shared<PugiXmlElement>(m_storage, node));
    return elements;
}

namespace {

// One pass over the attributes of `node`: take(i, attribute) for the first attribute named
// names[i], for each i below `count`. Attributes mostly come in the order they are asked for:
// each search starts after the name found last.
template <class Take>
void MatchAttributes(const pugi::xml_node& node, std::span<const char* const> names,
                     std::size_t count, const Take& take) {
    if (count == 0)
        return;
    std::size_t next = 0;
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        const char* name = a.name();
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t i = next + k < count ? next + k : next + k - count;
            if (!SameName(names[i], name))
                continue;
            take(i, a.value());
            next = i + 1;
            break;
        }
    }
}

// The same over attributes a walk collected.
template <class Take>
void MatchAttributes(const std::vector<WellFormedText::Attribute>& attributes,
                     std::span<const char* const> names, std::size_t count, const Take& take) {
    if (count == 0)
        return;
    std::size_t next = 0;
    for (const WellFormedText::Attribute& a : attributes) {
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t i = next + k < count ? next + k : next + k - count;
            if (!SameName(names[i], a.name))
                continue;
            take(i, a.value);
            next = i + 1;
            break;
        }
    }
}

} // namespace

void PugiXmlElement::viewAttributes(std::span<const char* const> names,
                                    std::span<std::optional<std::string_view>> values,
                                    std::span<std::string> /*scratch*/) const {
    const std::size_t count = std::min(names.size(), values.size());
    for (std::size_t i = 0; i < count; ++i)
        values[i].reset();
    // The first of repeated attributes counts, as with getAttribute.
    const auto take = [&](std::size_t i, const char* value) {
        if (!values[i])
            values[i].emplace(value);
    };
    if (m_attributes)
        MatchAttributes(*m_attributes, names, count, take);
    else
        MatchAttributes(m_node, names, count, take);
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
