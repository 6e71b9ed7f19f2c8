#pragma once
// One of each fake, wired into a Platform, with a fresh program folder under the build tree
// that goes with everything in it when the TestPlatform ends.

#include <filesystem>
#include <optional>
#include <string>

#include "platform/LoadedForms.h"
#include "platform/Platform.h"
#include "platform/sodium/SodiumSignatureVerifier.h"
#include "platform/zstd/ZstdPatchApplier.h"
#include "tests/support/FakeHttpFetcher.h"
#include "tests/support/FakeResourceLibrary.h"
#include "tests/support/FakeUtilityLibrary.h"
#include "tests/support/VirtualEventLoop.h"
#ifdef _WIN32
#include "platform/win32/MsXmlService.h"
#include "platform/win32/Win32TextCase.h"
#else
#include "platform/pugixml/PugiXmlService.h"
#include "tests/support/LibcTextCase.h"
#endif

namespace KDAutoUpdate {

// On Windows the system's own XML component and lower-casing.
#ifdef _WIN32
using TestXmlService = MsXmlService;
using TestTextCase = Win32TextCase;
#else
using TestXmlService = PugiXmlService;
using TestTextCase = LibcTextCase;
#endif

class TestPlatform {
public:
    TestPlatform();
    ~TestPlatform();
    TestPlatform(const TestPlatform&) = delete;
    TestPlatform& operator=(const TestPlatform&) = delete;

    // xml, loop, utility, resources, loadedForms, signatures and patches are filled; forms,
    // downloads, processes and desktop are null until a test sets them.
    Platform& platform() { return m_platform; }

    VirtualEventLoop& loop() { return m_loop; }
    FakeHttpFetcher& http() { return m_http; }
    FakeUtilityLibrary& utility() { return m_utility; }
    FakeResourceLibrary& resources() { return m_resources; }
    TestXmlService& xml() { return m_xml; }
    LoadedForms& loadedForms() { return m_loadedForms; }

    const std::filesystem::path& ProgramFolder() const { return m_folder; }
    // Full path of a file in the program folder.
    std::string ProgramFile(const std::string& name) const;
    bool WriteProgramFile(const std::string& name, const std::string& content) const;
    std::optional<std::string> ReadProgramFile(const std::string& name) const;

    // A new, empty folder under the build tree (or the system's temporary folder), for tests
    // that need one without a whole platform; empty when none can be made. The caller removes
    // it.
    static std::filesystem::path MakeTempFolder(const std::string& prefix);

private:
    VirtualEventLoop m_loop;
    FakeHttpFetcher m_http{m_loop};
    FakeUtilityLibrary m_utility;
    FakeResourceLibrary m_resources;
    TestXmlService m_xml{&m_http, &m_loop};
    LoadedForms m_loadedForms;
    TestTextCase m_textCase;
    SodiumSignatureVerifier m_signatures;
    ZstdPatchApplier m_patches;
    std::filesystem::path m_folder;
    Platform m_platform;
};

} // namespace KDAutoUpdate
