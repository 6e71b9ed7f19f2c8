#pragma once
// A resource library held in memory: pictures are small fake byte strings, other resources come
// from a map the test fills. Opening and closing are recorded.

#include <map>
#include <string>
#include <vector>

#include "platform/ResourceLibrary.h"

namespace KDAutoUpdate {

class FakeResourceLibrary : public IResourceLibrary {
public:
    void SetOpenSucceeds(bool succeeds) { m_openSucceeds = succeeds; }
    void SetResource(const std::string& name, std::string bytes) {
        m_resources[name] = std::move(bytes);
    }
    // Every path OpenResourceLibrary was called with, in order.
    const std::vector<std::string>& OpenedPaths() const { return m_openedPaths; }
    int CloseCount() const { return m_closeCount; }

    std::string FileName() const override { return "_AuResLib.rcc"; }
    bool OpenResourceLibrary(const std::string& filePath) override {
        m_openedPaths.push_back(filePath);
        m_open = m_openSucceeds;
        m_path = m_open ? filePath : std::string();
        return m_open;
    }
    void CloseResourceLibrary() override {
        ++m_closeCount;
        m_open = false;
        m_path.clear();
    }
    bool IsOpen() const override { return m_open; }
    // Holds only the pictures "AAA" and "IC_QUESTION".
    PicturePtr LoadResourcePicture(const std::string& name, int size, long = 1, long = 0, long = 0,
                                   long = 0) override {
        if (!m_open || (name != "AAA" && name != "IC_QUESTION"))
            return nullptr;
        const std::string bytes = "PIC:" + name + ":" + std::to_string(size);
        return std::make_shared<const Picture>(Picture{name, size, bytes});
    }
    std::string ResourceFilePath() const override { return m_open ? m_path : std::string(); }
    std::optional<std::string> ReadResource(const std::string& name) const override {
        const auto it = m_resources.find(name);
        if (!m_open || it == m_resources.end())
            return std::nullopt;
        return it->second;
    }

private:
    bool m_openSucceeds = true;
    bool m_open = false;
    std::string m_path;
    std::map<std::string, std::string> m_resources;
    std::vector<std::string> m_openedPaths;
    int m_closeCount = 0;
};

} // namespace KDAutoUpdate
