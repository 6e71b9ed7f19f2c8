#pragma once
// What pugixml lets through and a well-formed document must not hold, checked on the parsed
// nodes: pugixml keeps a bare "&", an undefined entity ("&uuml;"), a "<" inside an attribute
// value and a repeated attribute as they stand, where an XML parser refuses the document.
//
// The document is parsed without pugixml's own reference expansion, so that a literal "&" and
// one written "&amp;" stay apart; the texts that hold references are expanded here once they
// are known to be well formed.

#include <vector>

#include <pugixml.hpp>

namespace KDAutoUpdate::WellFormedText {

// An attribute's name and value as the document holds them.
struct Attribute {
    const char* name;
    const char* value;
};

// An element's attributes: no name twice, no "<" in a value, only well-formed references,
// which are expanded; `references` false when the document's text holds no "&" at all. False
// when the element is malformed; else `attributes` holds them, in order, for the element's
// readers on the same walk.
bool CheckAttributes(pugi::xml_node element, bool references, std::vector<Attribute>& attributes);
// A text node's references, likewise.
bool CheckText(pugi::xml_node text);

} // namespace KDAutoUpdate::WellFormedText
