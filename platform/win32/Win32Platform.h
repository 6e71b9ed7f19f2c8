#pragma once
// One of each Win32 backend for the agent's thread, gathered into a Platform: a program that
// hosts the agent on Windows creates this once on the thread that runs the agent.

#include <memory>

#include "platform/LoadedForms.h"
#include "platform/Platform.h"
#include "platform/sodium/SodiumSignatureVerifier.h"
#include "platform/win32/MsXmlService.h"
#include "platform/win32/Win32Desktop.h"
#include "platform/win32/Win32DownloaderFactory.h"
#include "platform/win32/Win32EventLoop.h"
#include "platform/win32/Win32FormRenderer.h"
#include "platform/win32/Win32ProcessLauncher.h"
#include "platform/win32/Win32ResourceLibrary.h"
#include "platform/win32/Win32TextCase.h"
#include "platform/win32/Win32UtilityLibrary.h"
#include "platform/zstd/ZstdPatchApplier.h"

namespace KDAutoUpdate {

class Win32Platform {
public:
    Win32Platform();
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    Platform& platform() { return m_platform; }
    Win32EventLoop& loop() { return m_loop; }

    // The folder of the running program, without a trailing separator.
    static std::string ProgramFolder();

private:
    Win32EventLoop m_loop;
    MsXmlService m_xml{nullptr, &m_loop}; // MSXML loads the service's answers itself
    Win32UtilityLibrary m_utility;
    Win32TextCase m_textCase;
    Win32ResourceLibrary m_resources;
    Win32FormRenderer m_forms;
    LoadedForms m_loadedForms;
    Win32ProcessLauncher m_processes;
    Win32DownloaderFactory m_downloads{m_loop};
    Win32Desktop m_desktop;
    SodiumSignatureVerifier m_signatures;
    ZstdPatchApplier m_patches;
    Platform m_platform;
};

} // namespace KDAutoUpdate
