#pragma once
// The resource library on Qt: a binary resource file (.rcc) registered under a map root of its
// own, so several opened libraries, even of the same file, never see each other's names.

#include "platform/ResourceLibrary.h"

#include <QString>

#include <optional>
#include <string>

namespace KDAutoUpdate {

class QtResourceLibrary final : public IResourceLibrary {
public:
    QtResourceLibrary() = default;
    ~QtResourceLibrary() override;
    QtResourceLibrary(const QtResourceLibrary&) = delete;
    QtResourceLibrary& operator=(const QtResourceLibrary&) = delete;

    std::string FileName() const override;
    bool OpenResourceLibrary(const std::string& filePath) override;
    void CloseResourceLibrary() override;
    bool IsOpen() const override;
    // Icons are stored as NAME-SIZE.png; the nearest size is scaled when `size` is not stored,
    // and size 0 or less answers the largest. The further arguments have no meaning here.
    PicturePtr LoadResourcePicture(const std::string& name, int size, long a = 1, long b = 0,
                                   long c = 0, long d = 0) override;
    std::string ResourceFilePath() const override;
    std::optional<std::string> ReadResource(const std::string& name) const override;

    // The Qt path (":/…") of a resource for Qt readers such as QMovie; empty when the library
    // is closed or has no resource of that name. Names match case-insensitively.
    QString ResourcePath(const std::string& name) const;

    // Where to look when the file asked for does not exist: an installed host finds the
    // library beside itself first, then in the SDK's data folder.
    void SetFallbackFolder(const std::string& folder) { m_fallbackFolder = folder; }

    // Scales an encoded PNG to `size` x `size` pixels. Qt Gui does it, which this library does
    // not load: the desktop library hands it in. Without it a size that is not stored answers
    // the nearest stored picture at its own size.
    using PictureScaler = std::optional<std::string> (*)(const std::string& png, int size);
    static void SetPictureScaler(PictureScaler scaler);

private:
    std::string m_fallbackFolder;
    QString m_filePath; // absolute path of the registered file; empty when closed
    QString m_mapRoot;  // "/kdau-reslib-N", unique in the process
};

} // namespace KDAutoUpdate
