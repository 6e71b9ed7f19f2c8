#include "tests/support/FakeResourceLibrary.h"

namespace KDAutoUpdate {

FakeResourceLibrary::FakeResourceLibrary() : m_pictures{"AAA", "IC_QUESTION"} {}

std::string FakeResourceLibrary::PictureBytes(const std::string& name, int size) {
    return "PIC:" + name + ":" + std::to_string(size);
}

bool FakeResourceLibrary::OpenResourceLibrary(const std::string& filePath) {
    m_openedPaths.push_back(filePath);
    m_open = m_openSucceeds;
    m_path = m_open ? filePath : std::string();
    return m_open;
}

void FakeResourceLibrary::CloseResourceLibrary() {
    ++m_closeCount;
    m_open = false;
    m_path.clear();
}

PicturePtr FakeResourceLibrary::LoadResourcePicture(const std::string& name, int size, long, long,
                                                    long, long) {
    if (!m_open || m_pictures.count(name) == 0)
        return nullptr;
    return std::make_shared<const Picture>(Picture{name, size, PictureBytes(name, size)});
}

std::optional<std::string> FakeResourceLibrary::ReadResource(const std::string& name) const {
    if (!m_open)
        return std::nullopt;
    auto it = m_resources.find(name);
    if (it == m_resources.end())
        return std::nullopt;
    return it->second;
}

} // namespace KDAutoUpdate
