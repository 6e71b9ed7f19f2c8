#include "platform/pugixml/WellFormedText.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

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

bool CheckAttributes(pugi::xml_node element) {
    // Elements carry a handful of attributes: a repeated name is found by comparing each with
    // the ones before it, their first letters first.
    std::array<const char*, 16> seen{};
    std::vector<const char*> more;
    std::size_t count = 0;
    for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
         attribute = attribute.next_attribute(), ++count) {
        const char* name = attribute.name();
        for (std::size_t i = 0; i < count; ++i) {
            const char* before = i < seen.size() ? seen[i] : more[i - seen.size()];
            if (before[0] == name[0] && std::strcmp(before, name) == 0)
                return false;
        }
        if (count < seen.size())
            seen[count] = name;
        else
            more.push_back(name);
        const char* value = attribute.value();
        const char* special = std::strpbrk(value, "&<");
        if (!special)
            continue;
        if (std::strchr(special, '<') || !HasOnlyWellFormedReferences(special))
            return false;
        attribute.set_value(Expanded(value).c_str());
    }
    return true;
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
