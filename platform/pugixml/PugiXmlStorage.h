#pragma once
// The node storage of one parsed document. Element handles share it, so a handle stays usable
// after a reload replaced the document's content or after the document itself went away.

#include <string>

#include <pugixml.hpp>

namespace KDAutoUpdate {

struct PugiXmlStorage {
    // The text a document was parsed from in place; its nodes point into it.
    std::string text;
    pugi::xml_document doc;
};

} // namespace KDAutoUpdate
