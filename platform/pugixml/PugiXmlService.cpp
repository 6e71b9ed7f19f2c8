#include "platform/pugixml/PugiXmlService.h"

#include "platform/pugixml/PugiXmlDocument.h"

namespace KDAutoUpdate {

std::unique_ptr<IXmlDocument> PugiXmlService::CreateDocument() {
    return std::make_unique<PugiXmlDocument>(m_http, m_loop);
}

} // namespace KDAutoUpdate
