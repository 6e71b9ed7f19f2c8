#pragma once
// The members of the utility library that are the same on every system: whether a form is
// loaded, res:// paths and the German display texts. Each backend's utility library derives
// from this and adds what the system answers (network, files, processes).

#include <string>

#include "platform/UtilityLibrary.h"

namespace KDAutoUpdate {

class PortableUtilityLibrary : public IUtilityLibrary {
public:
    bool IsFormLoaded(const std::string& formName, const LoadedForms& forms) override;
    std::string ResourceUrlPath(const std::string& filePath) override;
    std::string FormatByteSize(long long bytes) override;
    std::string FormatDuration(long long& seconds) override;
    std::string ShortenText(const std::string& text, short& maxLength) override;
};

} // namespace KDAutoUpdate
