#pragma once
// The desktop's download handler as a recording: the addresses handed to it, in order.

#include <functional>
#include <string>
#include <vector>

#include "platform/Desktop.h"

namespace KDAutoUpdate {

class RecordingDesktop : public IDesktop {
public:
    bool OpenUrl(const std::string& url) override {
        m_urls.push_back(url);
        if (m_onOpen)
            m_onOpen(url);
        return true;
    }

    // Runs on every address, after the recording.
    void OnOpen(std::function<void(const std::string&)> hook) { m_onOpen = std::move(hook); }
    const std::vector<std::string>& Urls() const { return m_urls; }

private:
    std::function<void(const std::string&)> m_onOpen;
    std::vector<std::string> m_urls;
};

} // namespace KDAutoUpdate
