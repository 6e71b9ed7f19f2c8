#pragma once
// Writes pugixml nodes as compact markup: no line breaks or indentation, empty elements as
// "<name />", attributes in double quotes. pugixml's own raw output has no blank before "/>",
// which would change the agent's store file.

#include <functional>
#include <string>

#include <pugixml.hpp>

namespace KDAutoUpdate {

class PugiXmlSerializer {
public:
    // The node and everything below it (a document: all its children), as UTF-8.
    static std::string Serialize(const pugi::xml_node& node);
    // Takes one piece of markup; false stops the writing.
    using Sink = std::function<bool(const std::string&)>;
    // The same markup after `head`, handed to `sink` in pieces of some 64 KiB; false when the
    // sink refused a piece.
    static bool Serialize(const pugi::xml_node& node, std::string head, const Sink& sink);
    // UTF-8 text as ISO-8859-1 bytes; characters beyond Latin-1 become character references.
    static std::string Utf8ToLatin1(const std::string& text);
};

} // namespace KDAutoUpdate
