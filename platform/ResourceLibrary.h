#pragma once
// The resource library: pictures, pages and animations in one file beside the program.

#include <memory>
#include <optional>
#include <string>

namespace KDAutoUpdate {

// A picture of the resource library: encoded image bytes (PNG or ICO) a renderer can show.
struct Picture {
    std::string name;
    int size = 0;
    std::string data;
};
using PicturePtr = std::shared_ptr<const Picture>;

class IResourceLibrary {
public:
    virtual ~IResourceLibrary() = default;
    // The library's file name on this platform, without folder ("_AuResLib.rcc").
    virtual std::string FileName() const = 0;
    virtual bool OpenResourceLibrary(const std::string& filePath) = 0;
    virtual void CloseResourceLibrary() = 0;
    virtual bool IsOpen() const = 0;
    // Icon or image by name at `size` pixels; null when the library is closed or lacks it.
    virtual PicturePtr LoadResourcePicture(const std::string& name, int size, long a = 1,
                                           long b = 0, long c = 0, long d = 0) = 0;
    // Full path of the opened file; empty when closed.
    virtual std::string ResourceFilePath() const = 0;
    // Raw bytes of a named resource ("AuProgress.html", "aniProgress.gif", "101").
    virtual std::optional<std::string> ReadResource(const std::string& name) const = 0;
};

} // namespace KDAutoUpdate
