#include "platform/portable/PortableUtilityLibrary.h"

#include "platform/LoadedForms.h"
#include "platform/portable/GermanFormat.h"
#include "platform/portable/ResUrl.h"

namespace KDAutoUpdate {

bool PortableUtilityLibrary::IsFormLoaded(const std::string& formName, const LoadedForms& forms) {
    return forms.Contains(formName);
}

std::string PortableUtilityLibrary::ResourceUrlPath(const std::string& filePath) {
    return KDAutoUpdate::ResourceUrlPath(filePath);
}

std::string PortableUtilityLibrary::FormatByteSize(long long bytes) {
    return GermanFormat::FormatByteSize(bytes);
}

std::string PortableUtilityLibrary::FormatDuration(long long& seconds) {
    return GermanFormat::FormatDuration(seconds);
}

std::string PortableUtilityLibrary::ShortenText(const std::string& text, short& maxLength) {
    return GermanFormat::ShortenText(text, maxLength);
}

} // namespace KDAutoUpdate
