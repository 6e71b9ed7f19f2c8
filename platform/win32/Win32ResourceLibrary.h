#pragma once
// The resource library _AuResLib.dll: a resource-only module whose RCDATA entries are the
// pages, animations and pictures (NAME-SIZE.png) by name; opened as data, never run.

#include <windows.h>

#include "platform/ResourceLibrary.h"

namespace KDAutoUpdate {

class Win32ResourceLibrary : public IResourceLibrary {
public:
    Win32ResourceLibrary() = default;
    ~Win32ResourceLibrary() override { CloseResourceLibrary(); }
    Win32ResourceLibrary(const Win32ResourceLibrary&) = delete;
    Win32ResourceLibrary& operator=(const Win32ResourceLibrary&) = delete;

    std::string FileName() const override { return "_AuResLib.dll"; }
    bool OpenResourceLibrary(const std::string& filePath) override;
    void CloseResourceLibrary() override;
    bool IsOpen() const override { return m_module != nullptr; }
    // The stored size itself, else the next larger, else the largest; the renderer scales.
    PicturePtr LoadResourcePicture(const std::string& name, int size, long a, long b, long c,
                                   long d) override;
    std::string ResourceFilePath() const override { return m_filePath; }
    std::optional<std::string> ReadResource(const std::string& name) const override;
    // The opened module (for controls that play its animation).
    HMODULE ResourceModule() const { return m_module; }

private:
    HMODULE m_module = nullptr;
    std::string m_filePath;
};

} // namespace KDAutoUpdate
