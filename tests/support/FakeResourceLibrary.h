#pragma once
// A resource library held in memory: pictures are small fake byte strings, other resources come
// from a map the test fills. Opening and closing are recorded.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/ResourceLibrary.h"

namespace KDAutoUpdate {

class FakeResourceLibrary : public IResourceLibrary {
public:
    // Knows the icons "AAA" and "IC_QUESTION" from the start.
    FakeResourceLibrary();

    void SetOpenSucceeds(bool succeeds) { m_openSucceeds = succeeds; }
    void SetResource(const std::string& name, std::string bytes) {
        m_resources[name] = std::move(bytes);
    }
    // Every path OpenResourceLibrary was called with, in order.
    const std::vector<std::string>& OpenedPaths() const { return m_openedPaths; }
    int CloseCount() const { return m_closeCount; }
    // The bytes a picture of this fake holds.
    static std::string PictureBytes(const std::string& name, int size);

    std::string FileName() const override { return "_AuResLib.rcc"; }
    bool OpenResourceLibrary(const std::string& filePath) override;
    void CloseResourceLibrary() override;
    bool IsOpen() const override { return m_open; }
    PicturePtr LoadResourcePicture(const std::string& name, int size, long a = 1, long b = 0,
                                   long c = 0, long d = 0) override;
    std::string ResourceFilePath() const override { return m_open ? m_path : std::string(); }
    std::optional<std::string> ReadResource(const std::string& name) const override;

private:
    bool m_openSucceeds = true;
    bool m_open = false;
    std::string m_path;
    std::set<std::string> m_pictures;
    std::map<std::string, std::string> m_resources;
    std::vector<std::string> m_openedPaths;
    int m_closeCount = 0;
};

} // namespace KDAutoUpdate
