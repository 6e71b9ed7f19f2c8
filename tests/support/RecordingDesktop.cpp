#include "tests/support/RecordingDesktop.h"

namespace KDAutoUpdate {

bool RecordingDesktop::OpenUrl(const std::string& url) {
    m_urls.push_back(url);
    if (m_onOpen)
        m_onOpen(url);
    return m_result;
}

} // namespace KDAutoUpdate
