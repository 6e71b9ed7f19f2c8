#pragma once
// Whether a text is well-formed XML by the letter of the standard, which pugixml does not
// check: it takes a bare "&", an undefined entity such as "&uuml;", a "<" inside an attribute
// value and a repeated attribute as they come. Qt's stream reader judges instead.

#include <string>

namespace KDAutoUpdate::XmlWellFormed {

// `bytes` in the encoding they declare (a file, an answer), or, with `isText`, a text that
// is UTF-8 already whatever its declaration says.
bool Check(const std::string& bytes, bool isText);

} // namespace KDAutoUpdate::XmlWellFormed
