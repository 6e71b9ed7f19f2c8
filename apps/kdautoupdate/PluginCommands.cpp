#include "PluginCommands.h"

#include <dlfcn.h>

#include <array>
#include <cstdio>

#include "platform/qt/SdkFolders.h"

namespace KDAutoUpdate {

namespace {
constexpr std::array<const char*, 5> kCommands{"serve", "publish", "demo", "screenshots", "server"};
} // namespace

bool IsPluginCommand(const std::string& command) {
    for (const char* name : kCommands) {
        if (command == name)
            return true;
    }
    return false;
}

int RunPluginCommand(const std::string& command, int argc, char** argv) {
    const std::string path = SdkFolders::PluginFolder() + "/kdautoupdate-commands.so";
    void* plugin = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    using Run = int (*)(const char*, int, char**);
    auto run = plugin ? reinterpret_cast<Run>(dlsym(plugin, "kdau_run_command")) : nullptr;
    if (!run) {
        const char* error = dlerror();
        std::fprintf(stderr, "kdautoupdate %s: %s\n", command.c_str(),
                     error ? error : "the commands plugin could not be loaded");
        return 2;
    }
    return run(command.c_str(), argc, argv);
}

} // namespace KDAutoUpdate
