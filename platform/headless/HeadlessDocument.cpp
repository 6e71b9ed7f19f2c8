#include "platform/headless/HeadlessDocument.h"

#include "platform/headless/HtmlTreeBuilder.h"

namespace KDAutoUpdate {

HeadlessDocument::HeadlessDocument(std::string url, std::string source)
    : m_url(std::move(url)), m_source(std::make_shared<const std::string>(std::move(source))),
      m_root(HtmlTreeBuilder::ParseDocument(m_source)) {}

HtmlElementPtr HeadlessDocument::GetElementById(const std::string& id) {
    if (id.empty())
        return nullptr;
    auto found = Find([&id](const HeadlessElement& element) { return element.Id() == id; }, 1);
    return found.empty() ? nullptr : found.front();
}

HeadlessElementPtr HeadlessDocument::Body() const {
    auto bodies = Find(
        [](const HeadlessElement& element) {
            return element.IsHtml() && element.LocalName() == "body";
        },
        1);
    return bodies.empty() ? m_root : bodies.front();
}

std::vector<HeadlessElementPtr> HeadlessDocument::Find(const ElementMatch& match,
                                                       std::size_t limit) const {
    std::vector<HeadlessElementPtr> found;
    // Pre-order walk with an explicit stack: document order without recursion.
    std::vector<HeadlessElementPtr> stack{m_root};
    while (!stack.empty()) {
        HeadlessElementPtr element = std::move(stack.back());
        stack.pop_back();
        if (!element)
            continue;
        if (match(*element)) {
            found.push_back(element);
            if (limit != 0 && found.size() >= limit)
                break;
        }
        const auto& children = element->Children();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            if (const auto* child = std::get_if<HeadlessElementPtr>(&*it))
                stack.push_back(*child);
    }
    return found;
}

bool HeadlessDocument::Contains(const HeadlessElement& element) const {
    const HeadlessElement* top = &element;
    HeadlessElementPtr parent = element.Parent();
    while (parent) {
        top = parent.get();
        parent = parent->Parent();
    }
    return top == m_root.get();
}

} // namespace KDAutoUpdate
