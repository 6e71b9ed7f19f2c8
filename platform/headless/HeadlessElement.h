#pragma once
// One element of the headless browser's DOM: tag, attributes in source spelling, children
// (elements and text), the slice of page source it was parsed from, and the live check box
// state. Mutations made through IHtmlElement are visible to InnerHTML of every ancestor.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/BrowserControl.h"

namespace KDAutoUpdate {

class HeadlessElement final : public IHtmlElement,
                              public std::enable_shared_from_this<HeadlessElement> {
public:
    enum class TextKind {
        Text,    // character data, escaped when serialised
        Raw,     // content of script and style: written out as is, never shown
        Comment, // the comment's text without its delimiters
    };
    struct TextNode {
        std::string text;
        TextKind kind = TextKind::Text;
    };
    using Child = std::variant<TextNode, std::shared_ptr<HeadlessElement>>;
    struct Attribute {
        std::string name; // as spelled in the source
        std::string value;
    };
    // Where the element's content lies in a source text: from `begin` (the end of the start
    // tag) to `end` when the parser saw the element's own end tag. Otherwise the end is looked
    // for when asked (the end tag that matches `tagName`, or else `parserEnd`, where the parser
    // closed the element), so parsing stays linear.
    struct SourceSlice {
        std::shared_ptr<const std::string> text;
        std::size_t begin = 0;
        std::optional<std::size_t> end;
        std::size_t parserEnd = std::string::npos;
        std::string tagName; // as spelled in the start tag
    };

    // `localName` is the lower-case tag name; `html` false for SVG and MathML elements.
    explicit HeadlessElement(std::string localName, bool html = true);
    ~HeadlessElement() override;
    HeadlessElement(const HeadlessElement&) = delete;
    HeadlessElement& operator=(const HeadlessElement&) = delete;

    // IHtmlElement
    std::string Id() const override;
    std::string TagName() const override;
    std::optional<std::string> GetAttribute(const std::string& name) const override;
    void SetAttribute(const std::string& name, const std::string& value) override;
    std::string InnerHTML() const override;
    void SetInnerHTML(const std::string& html) override;
    void SetStyleColor(const std::string& color) override;
    std::string StyleColor() const override;
    bool Checked() const override;
    std::optional<std::string> RawSource() const override;
    void SetOnClick(std::function<bool()> handler) override;

    // Tree building (parser) and reading (serialiser, text, searches).
    void AppendAttribute(std::string name, std::string value);
    // All attributes at once, as a live page reports them.
    void ReplaceAttributes(std::vector<Attribute> attributes);
    void AppendText(std::string text, TextKind kind);
    void AppendChild(const std::shared_ptr<HeadlessElement>& child);
    void SetSourceSlice(SourceSlice slice) { m_source = std::move(slice); }
    // Sets the check box state the attributes give; called once the attributes are in.
    void InitCheckedFromAttributes();

    const std::string& LocalName() const { return m_localName; }
    bool IsHtml() const { return m_html; }
    const std::vector<Attribute>& Attributes() const { return m_attributes; }
    const std::vector<Child>& Children() const { return m_children; }
    std::shared_ptr<HeadlessElement> Parent() const { return m_parent.lock(); }
    // Number of ancestors.
    int Depth() const;

    // Page interaction of the driver.
    bool IsCheckBox() const;
    bool IsDisabled() const;
    void SetChecked(bool checked) { m_checked = checked; }
    std::function<bool()> ClickHandler() const { return m_onClick; }

private:
    const Attribute* FindAttribute(const std::string& name) const;
    // The markup of this element changed: ancestors' kept markup no longer holds.
    void ForgetAncestorMarkup();
    void DetachChildren();

    std::string m_localName;
    bool m_html = true;
    std::vector<Attribute> m_attributes;
    std::vector<Child> m_children;
    std::weak_ptr<HeadlessElement> m_parent;
    std::optional<SourceSlice> m_source;
    // The markup last given to SetInnerHTML, answered verbatim until something inside changes.
    std::optional<std::string> m_innerHtmlAsSet;
    bool m_checked = false;
    std::function<bool()> m_onClick;
};

using HeadlessElementPtr = std::shared_ptr<HeadlessElement>;

} // namespace KDAutoUpdate
