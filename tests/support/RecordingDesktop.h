#pragma once
// The desktop's download handler as a recording: the addresses handed to it, in order, and a
// settable answer.

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
        return m_result;
    }

    // What OpenUrl answers (true unless set).
    void SetResult(bool opened) { m_result = opened; }
    // Runs on every address, after the recording.
    void OnOpen(std::function<void(const std::string&)> hook) { m_onOpen = std::move(hook); }
    const std::vector<std::string>& Urls() const { return m_urls; }

private:
    bool m_result = true;
    std::function<void(const std::string&)> m_onOpen;
    std::vector<std::string> m_urls;
};

} // namespace KDAutoUpdate
