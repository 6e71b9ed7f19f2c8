#pragma once
// Everything the core needs from the machine, gathered once per agent thread.
// A backend fills the pointers it implements; the core treats a null service as a failing step.

#include <string>

namespace KDAutoUpdate {

class IXmlService;
class IEventLoop;
class IUtilityLibrary;
class IResourceLibrary;
class IFormRenderer;
class LoadedForms;
class IDownloaderFactory;
class IProcessLauncher;
class IDesktop;
class ITextCase;
class ISignatureVerifier;
class IPatchApplier;

struct Platform {
    IXmlService* xml = nullptr;
    IEventLoop* loop = nullptr;
    IUtilityLibrary* utility = nullptr;
    IResourceLibrary* resources = nullptr;
    IFormRenderer* forms = nullptr;
    LoadedForms* loadedForms = nullptr;
    IDownloaderFactory* downloads = nullptr;
    IProcessLauncher* processes = nullptr;
    IDesktop* desktop = nullptr;
    const ITextCase* textCase = nullptr;
    // Checks signed answers and packages; without it, a product with keys accepts nothing.
    ISignatureVerifier* signatures = nullptr;
    // Rebuilds a package from one kept before and a patch; without it, packages come whole.
    IPatchApplier* patches = nullptr;
    // Folder of the program that hosts the agent, without trailing separator.
    std::string programFolder;
    char pathSeparator = '/';
};

} // namespace KDAutoUpdate
