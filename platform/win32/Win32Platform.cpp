#include "platform/win32/Win32Platform.h"

#include "platform/win32/WideText.h"

namespace KDAutoUpdate {

Win32Platform::Win32Platform() {
    m_platform.xml = &m_xml;
    m_platform.loop = &m_loop;
    m_platform.utility = &m_utility;
    m_platform.textCase = &m_textCase;
    m_platform.resources = &m_resources;
    m_platform.forms = &m_forms;
    m_forms.SetResources(&m_resources);
    m_platform.loadedForms = &m_loadedForms;
    m_platform.processes = &m_processes;
    m_platform.downloads = &m_downloads;
    m_platform.desktop = &m_desktop;
    m_platform.signatures = &m_signatures;
    m_platform.patches = &m_patches;
    m_platform.programFolder = ProgramFolder();
    m_platform.pathSeparator = '\\';
}

std::string Win32Platform::ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2); // a long path: ask again with more room
    }
    return Narrow(path.substr(0, path.find_last_of(L"\\/")));
}

} // namespace KDAutoUpdate
