#pragma once
// Helpers shared by the Qt backend tests of the platform test program.

#include <QCoreApplication>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace KDAutoUpdate {

// A QCoreApplication for the tests that need one, unless the program made an application
// already. It lives until the process ends, like the application object of a real host.
inline void EnsureApplication() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "kdau_tests_platform";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

} // namespace KDAutoUpdate
