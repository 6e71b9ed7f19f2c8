#include "tests/support/TestPlatform.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <system_error>

#include "tests/support/FileText.h"

namespace KDAutoUpdate {

namespace {

// The build tree: test programs run from <build>/bin. Elsewhere the system's temporary folder.
std::filesystem::path TempRoot() {
    std::error_code error;
#ifdef KDAU_BINARY_DIR
    std::filesystem::path root = std::filesystem::path(KDAU_BINARY_DIR) / "test-tmp";
#else
    std::filesystem::path root;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && exe.parent_path().filename() == "bin")
        root = exe.parent_path().parent_path() / "test-tmp";
#endif
    if (root.empty() || (std::filesystem::create_directories(root, error), error))
        root = std::filesystem::temp_directory_path(error) / "kdau-test-tmp";
    std::filesystem::create_directories(root, error);
    return root;
}

} // namespace

std::filesystem::path TestPlatform::MakeTempFolder(const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path root = TempRoot();
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
        std::filesystem::path folder =
            root / (prefix + "-" + std::to_string(stamp) + "-" + std::to_string(++counter));
        std::error_code error;
        if (std::filesystem::create_directory(folder, error))
            return folder;
        if (error)
            return {}; // an unwritable tree: the test then has no program folder
    }
}

TestPlatform::TestPlatform() : m_folder(MakeTempFolder("program")) {
    m_platform.xml = &m_xml;
    m_platform.loop = &m_loop;
    m_platform.utility = &m_utility;
    m_platform.resources = &m_resources;
    m_platform.loadedForms = &m_loadedForms;
    m_platform.textCase = &m_textCase;
    m_platform.signatures = &m_signatures;
    m_platform.patches = &m_patches;
    m_platform.programFolder = m_folder.string();
    m_platform.pathSeparator = static_cast<char>(std::filesystem::path::preferred_separator);
}

TestPlatform::~TestPlatform() {
    std::error_code error;
    if (!m_folder.empty())
        std::filesystem::remove_all(m_folder, error);
}

std::string TestPlatform::ProgramFile(const std::string& name) const {
    return (m_folder / name).string();
}

bool TestPlatform::WriteProgramFile(const std::string& name, const std::string& content) const {
    std::ofstream file(m_folder / name, std::ios::binary | std::ios::trunc);
    file << content;
    return static_cast<bool>(file);
}

std::optional<std::string> TestPlatform::ReadProgramFile(const std::string& name) const {
    if (!std::ifstream(m_folder / name))
        return std::nullopt;
    return ReadFile(m_folder / name);
}

} // namespace KDAutoUpdate
