#pragma once
// Whether a message's package can come as a patch: the message has its SHA-256 (the only way to
// prove what a patch rebuilds) and a patch whose base is one of the packages the agent keeps.

#include <optional>
#include <string>

namespace KDAutoUpdate {

class AuMessage;

class DeltaChoice {
public:
    // The first of the message's patches, in the page's order, whose base the agent has; none
    // without a SHA-256, without patches, without such a base or without a plain file name to
    // rebuild the package under.
    static std::optional<DeltaChoice> For(AuMessage& message);

    const std::string& BasePath() const { return m_basePath; }
    const std::string& PatchUrl() const { return m_patchUrl; }

private:
    DeltaChoice(std::string basePath, std::string patchUrl)
        : m_basePath(std::move(basePath)), m_patchUrl(std::move(patchUrl)) {}

    std::string m_basePath;
    std::string m_patchUrl;
};

} // namespace KDAutoUpdate
