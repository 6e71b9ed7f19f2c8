#include "RecordedPackages.h"

#include <algorithm>
#include <memory>

#include "common/IAgent.h"
#include "platform/UtilityLibrary.h"
#include "platform/XmlDocument.h"

namespace KDAutoUpdate {

namespace {

constexpr const char* kStoreFileName = "updateinfo.xml";
constexpr const char* kPatchBaseAttribute = "last-package-file";

// A path, as opposed to a program name or an option: it names its folder.
bool IsPath(const std::string& word) {
    return word.find('/') != std::string::npos || word.find('\\') != std::string::npos;
}

// Local paths in a command line carry no blanks (the download folder sees to it), so the
// command's blank-separated words that are paths are the files it uses.
void AddPathsOfCommand(const std::string& command, std::vector<std::string>& paths) {
    std::size_t start = command.find_first_not_of(' ');
    while (start != std::string::npos) {
        const std::size_t end = std::min(command.find(' ', start), command.size());
        const std::string word = command.substr(start, end - start);
        if (IsPath(word) && word.find('=') == std::string::npos)
            paths.push_back(word);
        start = command.find_first_not_of(' ', end);
    }
}

void AddRecordsOf(IXmlDocument* store, std::vector<std::string>& paths) {
    const XmlElementPtr root = store ? store->documentElement() : nullptr;
    if (!root)
        return;
    for (const XmlElementPtr& product : root->selectNodes("product")) {
        if (!product)
            continue;
        for (const char* name : {"last-update-file", kPatchBaseAttribute})
            if (const auto file = product->getAttribute(name); file && !file->empty())
                paths.push_back(*file);
        if (const auto command = product->getAttribute("last-update-cmd"))
            AddPathsOfCommand(*command, paths);
    }
}

} // namespace

std::vector<std::string> RecordedPackageFiles(IAgent& agent) {
    std::vector<std::string> paths;
    AddRecordsOf(agent.UpdateInfoDocument(), paths);
    Platform& platform = agent.GetPlatform();
    const std::string storePath = agent.ProgramFilePath(kStoreFileName);
    if (platform.xml && platform.utility && platform.utility->FileExists(storePath)) {
        if (std::unique_ptr<IXmlDocument> onDisk = platform.xml->CreateDocument()) {
            onDisk->setAsync(false);
            if (onDisk->load(storePath) && onDisk->parseErrorCode() == 0)
                AddRecordsOf(onDisk.get(), paths);
        }
    }
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    return paths;
}

void KeepAsPatchBase(IAgent& agent, const std::string& path) {
    agent.SetProductAttribute(kPatchBaseAttribute, path);
}

} // namespace KDAutoUpdate
