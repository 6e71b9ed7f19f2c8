#pragma once
// What pugixml lets through and a well-formed document must not hold, checked on the parsed
// nodes: pugixml keeps a bare "&", an undefined entity ("&uuml;"), a "<" inside an attribute
// value and a repeated attribute as they stand, where an XML parser refuses the document.
//
// The document is parsed without pugixml's own reference expansion, so that a literal "&" and
// one written "&amp;" stay apart; the texts that hold references are expanded here once they
// are known to be well formed.

#include <pugixml.hpp>

namespace KDAutoUpdate::WellFormedText {

// An element's attributes: no name twice, no "<" in a value, only well-formed references,
// which are expanded. False when the element is malformed.
bool CheckAttributes(pugi::xml_node element);
// A text node's references, likewise.
bool CheckText(pugi::xml_node text);

} // namespace KDAutoUpdate::WellFormedText
