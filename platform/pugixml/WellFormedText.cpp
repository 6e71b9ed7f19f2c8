#include "platform/pugixml/WellFormedText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace KDAutoUpdate::WellFormedText {

namespace {

bool IsXmlChar(unsigned long c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (hex && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The length of the reference that starts at `amp`, or 0 when it is none an XML document may
// hold without a document type: the five predefined entities and character references to
// characters XML allows.
std::size_t ReferenceLength(const char* amp) {
    const char* p = amp + 1;
    if (*p == '#') {
        const bool hex = *++p == 'x';
        if (hex)
            ++p;
        const char* digits = p;
        unsigned long value = 0;
        for (int digit = DigitValue(*p, hex); digit >= 0; digit = DigitValue(*++p, hex)) {
            value = value * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
            if (value > 0x10FFFF)
                return 0;
        }
        if (p == digits || *p != ';' || !IsXmlChar(value))
            return 0;
        return static_cast<std::size_t>(p + 1 - amp);
    }
    static constexpr std::array<const char*, 5> kEntities = {"amp;", "lt;", "gt;", "quot;",
                                                             "apos;"};
    for (const char* entity : kEntities) {
        const std::size_t length = std::strlen(entity);
        if (std::strncmp(p, entity, length) == 0)
            return length + 1;
    }
    return 0;
}

bool HasOnlyWellFormedReferences(const char* text) {
    for (const char* amp = std::strchr(text, '&'); amp;) {
        const std::size_t length = ReferenceLength(amp);
        if (length == 0)
            return false;
        amp = std::strchr(amp + length, '&');
    }
    return true;
}

// The text with its references expanded, by pugixml: the text holds no markup, so it parses as
// one text node.
std::string Expanded(const char* text) {
    pugi::xml_document fragment;
    if (!fragment.load_string(text, pugi::parse_fragment | pugi::parse_escapes))
        return {};
    return fragment.first_child().value();
}

} // namespace

bool CheckAttributes(pugi::xml_node element, bool references, std::vector<Attribute>& attributes) {
    attributes.clear();
    // Elements carry a handful of attributes, mostly with distinct first letters: only a name
    // whose first letter came before is compared with the names before it.
    std::uint64_t initials = 0;
    for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        const char* name = attribute.name();
        const std::uint64_t initial = std::uint64_t{1}
                                      << (static_cast<unsigned char>(name[0]) & 63U);
        if ((initials & initial) != 0)
            for (const Attribute& before : attributes)
                if (std::strcmp(before.name, name) == 0)
                    return false;
        initials |= initial;
        const char* value = attribute.value();
        const char* special = references ? std::strpbrk(value, "&<") : nullptr;
        if (special) {
            if (*special == '<' || std::strchr(special, '<') ||
                !HasOnlyWellFormedReferences(special))
                return false;
            attribute.set_value(Expanded(value).c_str());
            value = attribute.value();
        }
        attributes.push_back({name, value});
    }
    if (references || attributes.empty())
        return true;
    // Parsed in place, the attributes' names and values lie in the document's text in their
    // order, nothing but the tag's own text between them: one look for a "<" covers them all.
    const char* first = attributes.front().name;
    const char* last = attributes.back().value;
    const char* end = last + std::strlen(last);
    if (first < end)
        return std::memchr(first, '<', static_cast<std::size_t>(end - first)) == nullptr;
    return std::none_of(attributes.begin(), attributes.end(),
                        [](const Attribute& a) { return std::strchr(a.value, '<') != nullptr; });
}

bool CheckText(pugi::xml_node text) {
    const char* value = text.value();
    const char* amp = std::strchr(value, '&');
    if (!amp)
        return true;
    if (!HasOnlyWellFormedReferences(amp))
        return false;
    text.set_value(Expanded(value).c_str());
    return true;
}

} // namespace KDAutoUpdate::WellFormedText
