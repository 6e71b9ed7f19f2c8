#pragma once
// The node storage of one parsed document. Element handles share it, so a handle stays usable
// after a reload replaced the document's content or after the document itself went away.

#include <pugixml.hpp>

namespace KDAutoUpdate {

struct PugiXmlStorage {
    pugi::xml_document doc;
};

} // namespace KDAutoUpdate
