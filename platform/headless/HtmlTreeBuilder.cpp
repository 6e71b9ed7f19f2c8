#include "platform/headless/HtmlTreeBuilder.h"

#include <gumbo.h>

#include <string_view>
#include <vector>

#include "platform/headless/HtmlNames.h"

namespace KDAutoUpdate {

namespace {

using Output = std::unique_ptr<GumboOutput, void (*)(GumboOutput*)>;

// Parse errors are not used, and each one keeps a copy of the open elements: recording them
// would cost memory with the square of the nesting depth.
const GumboOptions kOptions = [] {
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    return options;
}();

Output Parse(const std::string& text) {
    GumboOutput* output = gumbo_parse_with_options(&kOptions, text.data(), text.size());
    return Output(output, [](GumboOutput* o) {
        if (o)
            gumbo_destroy_output(&kOptions, o);
    });
}

// The name inside "<name ...>" or "</name>", in source case.
std::string_view TagNameOfTagText(const GumboStringPiece& piece) {
    if (!piece.data || piece.length < 2)
        return {};
    std::string_view text(piece.data, piece.length);
    std::size_t begin = text[1] == '/' ? 2 : 1;
    std::size_t end = begin;
    while (end < text.size() && text[end] != '>' && text[end] != '/' && text[end] != ' ' &&
           text[end] != '\t' && text[end] != '\n' && text[end] != '\r' && text[end] != '\f')
        ++end;
    return text.substr(begin, end - begin);
}

std::string LocalNameOf(const GumboElement& element) {
    if (element.tag_namespace == GUMBO_NAMESPACE_SVG) {
        GumboStringPiece piece{element.original_tag.data, element.original_tag.length};
        const std::string_view name = TagNameOfTagText(piece);
        piece = {name.data(), name.size()};
        if (const char* fixed = name.empty() ? nullptr : gumbo_normalize_svg_tagname(&piece))
            return fixed;
    }
    if (element.tag != GUMBO_TAG_UNKNOWN && element.tag != GUMBO_TAG_LAST)
        return gumbo_normalized_tagname(element.tag);
    const std::string name = HtmlNames::ToLowerAscii(TagNameOfTagText(element.original_tag));
    return name.empty() ? std::string("unknown") : name;
}

// The element's content as a slice of the text it was parsed from: from the end of its start
// tag to the start of its own end tag. None for elements the parser inserted.
std::optional<HeadlessElement::SourceSlice>
SliceOf(const GumboElement& element, const std::string& localName,
        const std::shared_ptr<const std::string>& source) {
    const char* base = source->data();
    const GumboStringPiece& startTag = element.original_tag;
    if (!startTag.data || startTag.length == 0 || startTag.data < base ||
        startTag.data + startTag.length > base + source->size())
        return std::nullopt;
    const std::size_t begin = static_cast<std::size_t>(startTag.data - base) + startTag.length;
    if (HtmlNames::IsVoidElement(localName))
        return HeadlessElement::SourceSlice{source, begin, begin, begin, {}};

    HeadlessElement::SourceSlice slice{source, begin, std::nullopt, std::string::npos,
                                       std::string(TagNameOfTagText(startTag))};
    if (element.end_pos.offset >= begin && element.end_pos.offset <= source->size())
        slice.parserEnd = element.end_pos.offset;
    const GumboStringPiece& endTag = element.original_end_tag;
    if (endTag.data && endTag.length > 0 && endTag.data >= base + begin &&
        endTag.data <= base + source->size() &&
        HtmlNames::EqualsIgnoreCase(TagNameOfTagText(endTag), slice.tagName))
        slice.end = static_cast<std::size_t>(endTag.data - base);
    return slice;
}

std::vector<const GumboNode*> ChildrenOf(const GumboNode& node) {
    std::vector<const GumboNode*> children;
    if (node.type != GUMBO_NODE_ELEMENT && node.type != GUMBO_NODE_TEMPLATE)
        return children;
    const GumboVector& vector = node.v.element.children;
    for (unsigned int i = 0; i < vector.length; ++i)
        children.push_back(static_cast<const GumboNode*>(vector.data[i]));
    return children;
}

// Appends the converted children of `node` to `target`, whose depth in the final tree is
// `targetDepth`. Iterative, so a deeply nested page cannot exhaust the stack.
void ConvertChildren(const GumboNode& node, HeadlessElement& target, int targetDepth,
                     const std::shared_ptr<const std::string>& source) {
    struct Work {
        const GumboNode* node;
        HeadlessElement* textTarget;    // the gumbo parent
        HeadlessElement* elementTarget; // the same, or its ancestor at the depth limit
        int elementTargetDepth;
        bool rawText; // the gumbo parent keeps its text unescaped
    };
    std::vector<Work> stack;
    const auto pushChildren = [&stack](const GumboNode& parent, HeadlessElement* textInto,
                                       HeadlessElement* elementsInto, int depth, bool rawText) {
        const auto children = ChildrenOf(parent);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back({*it, textInto, elementsInto, depth, rawText});
    };
    pushChildren(node, &target, &target, targetDepth,
                 HtmlNames::IsRawTextElement(target.LocalName()));

    while (!stack.empty()) {
        const Work work = stack.back();
        stack.pop_back();
        const GumboNode& child = *work.node;
        switch (child.type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            if (child.v.text.text)
                work.textTarget->AppendText(child.v.text.text,
                                            work.rawText ? HeadlessElement::TextKind::Raw
                                                         : HeadlessElement::TextKind::Text);
            break;
        case GUMBO_NODE_COMMENT:
            if (child.v.text.text)
                work.textTarget->AppendText(child.v.text.text, HeadlessElement::TextKind::Comment);
            break;
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE: {
            const GumboElement& gumboElement = child.v.element;
            std::string localName = LocalNameOf(gumboElement);
            auto element = std::make_shared<HeadlessElement>(
                localName, gumboElement.tag_namespace == GUMBO_NAMESPACE_HTML);
            for (unsigned int i = 0; i < gumboElement.attributes.length; ++i) {
                const auto* attribute =
                    static_cast<const GumboAttribute*>(gumboElement.attributes.data[i]);
                const GumboStringPiece& original = attribute->original_name;
                std::string name = original.data && original.length > 0
                                       ? std::string(original.data, original.length)
                                       : std::string(attribute->name ? attribute->name : "");
                if (!name.empty())
                    element->AppendAttribute(std::move(name),
                                             attribute->value ? attribute->value : "");
            }
            element->InitCheckedFromAttributes();
            if (auto slice = SliceOf(gumboElement, localName, source))
                element->SetSourceSlice(std::move(*slice));
            work.elementTarget->AppendChild(element);
            // At the depth limit an element keeps its text; its child elements become its
            // siblings.
            const bool nest = work.elementTargetDepth + 1 < HtmlTreeBuilder::kMaxDepth;
            pushChildren(child, element.get(), nest ? element.get() : work.elementTarget,
                         nest ? work.elementTargetDepth + 1 : work.elementTargetDepth,
                         HtmlNames::IsRawTextElement(localName));
            break;
        }
        default:
            break;
        }
    }
}

} // namespace

HeadlessElementPtr
HtmlTreeBuilder::ParseDocument(const std::shared_ptr<const std::string>& source) {
    auto html = std::make_shared<HeadlessElement>("html");
    if (!source)
        return html;
    const Output output = Parse(*source);
    if (!output || !output->root || output->root->type != GUMBO_NODE_ELEMENT) {
        html->AppendChild(std::make_shared<HeadlessElement>("head"));
        html->AppendChild(std::make_shared<HeadlessElement>("body"));
        return html;
    }
    const GumboElement& root = output->root->v.element;
    for (unsigned int i = 0; i < root.attributes.length; ++i) {
        const auto* attribute = static_cast<const GumboAttribute*>(root.attributes.data[i]);
        const GumboStringPiece& original = attribute->original_name;
        html->AppendAttribute(original.data && original.length > 0
                                  ? std::string(original.data, original.length)
                                  : std::string(attribute->name ? attribute->name : ""),
                              attribute->value ? attribute->value : "");
    }
    if (auto slice = SliceOf(root, "html", source))
        html->SetSourceSlice(std::move(*slice));
    ConvertChildren(*output->root, *html, 0, source);
    return html;
}

void HtmlTreeBuilder::ParseFragmentInto(HeadlessElement& parent, const std::string& markup) {
    // The markup parsed as the body of a page: the context of a <div>'s content.
    static constexpr std::string_view kPrefix = "<!DOCTYPE html><html><head></head><body>";
    auto source = std::make_shared<const std::string>(std::string(kPrefix) + markup);
    const Output output = Parse(*source);
    if (!output || !output->root)
        return;
    for (const GumboNode* child : ChildrenOf(*output->root))
        if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == GUMBO_TAG_BODY) {
            ConvertChildren(*child, parent, parent.Depth(), source);
            return;
        }
}

} // namespace KDAutoUpdate
