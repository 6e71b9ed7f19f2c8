// The messages window on the system's browser control, with the real Win32 backends. Without
// an HTML engine (wine here has none) DisplayMessages fails as for a missing component and
// leaves nothing open or busy; with one, the progress page loads from the resource library,
// its elements are found by id and the unreachable service's error reaches it.
#include <gtest/gtest.h>

#include <mshtml.h>
#include <wrl/client.h>

#include "agent/AuAgent.h"
#include "agent/FormInstances.h"
#include "messages_window/frmMessages.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Platform.h"

namespace KDAutoUpdate {
namespace {

bool SystemHasHtmlEngine() {
    Microsoft::WRL::ComPtr<IUnknown> document;
    return SUCCEEDED(CoCreateInstance(__uuidof(HTMLDocument), nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(&document)));
}

TEST(Win32Browser, TheMessagesWindowShowsTheProgressPageOrFailsAsAMissingComponent) {
    Win32Platform host;
    auto agent = std::make_unique<AuAgent>(host.platform());
    agent->SetProductCode("{5E1B8A44-1D2C-4F00-9A11-0123456789AB}");
    agent->SetBaseURL("http://127.0.0.1:9/services/autoupdate"); // nothing answers there
    const Outcome<> outcome = agent->DisplayMessages();
    frmMessages* window = FormInstances::ForThread().messages.get();

    if (!SystemHasHtmlEngine()) {
        ASSERT_FALSE(outcome.ok());
        EXPECT_EQ(outcome.error().number, kObjectErrorBase + 6);
        EXPECT_EQ(outcome.error().source, "AuAgent.DisplayMessages");
        EXPECT_EQ(outcome.error().description, "The browser control could not be created.");
        EXPECT_FALSE(window && window->IsLoaded());
        EXPECT_FALSE(agent->IsProcessing());
    } else {
        ASSERT_TRUE(outcome.ok()) << outcome.error().description;
        ASSERT_TRUE(window && window->Browser());
        HtmlElementPtr label;
        const auto shows = [&](const std::string& text) {
            return host.loop().RunUntil(
                [&] {
                    const auto doc = window->Browser()->Document(window->ProgressBrowser());
                    label = doc ? doc->GetElementById("lblProgress") : nullptr;
                    return label && label->InnerHTML().find(text) != std::string::npos;
                },
                20000);
        };
        ASSERT_TRUE(shows("Einen Moment bitte")) << "the progress page from res://";
        ASSERT_TRUE(shows("Fehlercode")) << "the service's failure on the progress page";
        EXPECT_EQ(label->StyleColor(), "#ff0000");
    }
    agent.reset(); // unloads the window
    FormInstances::ForThread().messages.reset();
}

// res:// without a type names an HTML resource: the engine finds the progress page and the
// pictures the window puts into it only there.
TEST(Win32Browser, TheProgressPageAndItsPicturesAreHtmlResourcesOfTheLibrary) {
    const HMODULE library =
        LoadLibraryExW(Widen(Win32Platform::ProgramFolder() + "\\_AuResLib.dll").c_str(), nullptr,
                       LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(library);
    for (const wchar_t* name : {L"AuProgress.html", L"aniProgress.gif", L"aniProgressStop.gif"})
        EXPECT_TRUE(FindResourceW(library, name, RT_HTML)) << Narrow(name);
    FreeLibrary(library);
}

} // namespace
} // namespace KDAutoUpdate
