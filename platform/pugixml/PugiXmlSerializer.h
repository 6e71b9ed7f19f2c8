#pragma once
// Writes pugixml nodes as compact markup: no line breaks or indentation, empty elements as
// "<name />", attributes in double quotes. pugixml's own raw output has no blank before "/>",
// which would change the agent's store file.

#include <string>

#include <pugixml.hpp>

namespace KDAutoUpdate {

class PugiXmlSerializer {
public:
    // The node and everything below it (a document: all its children), as UTF-8.
    static std::string Serialize(const pugi::xml_node& node);
    // UTF-8 text as ISO-8859-1 bytes; characters beyond Latin-1 become character references.
    static std::string Utf8ToLatin1(const std::string& text);
};

} // namespace KDAutoUpdate
