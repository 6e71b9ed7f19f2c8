// Every window carries the application icon "AAA" in its title bar.

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "agent/AuAgent.h"
#include "deploy/dlgAfterDownload.h"
#include "deploy/dlgDownload.h"
#include "messages_window/frmMessages.h"
#include "platform/console/ScriptedRenderer.h"
#include "store/dlgCheckMessages.h"
#include "store/dlgInstallLastUpdate.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

template <typename Window> std::unique_ptr<Form> Make(Platform& platform) {
    return std::make_unique<Window>(platform);
}

TEST(WindowIcon, EveryWindowCarriesTheApplicationIcon) {
    TestPlatform tp;
    ScriptedRenderer renderer{tp.loop()};
    tp.platform().forms = &renderer;
    AuAgent agent(tp.platform()); // opens the resource library
    for (const auto& make : {Make<dlgCheckMessages>, Make<dlgInstallLastUpdate>, Make<frmMessages>,
                             Make<dlgDownload>, Make<dlgAfterDownload>}) {
        const std::unique_ptr<Form> form = make(tp.platform());
        ASSERT_TRUE(form->Load());
        const PicturePtr icon = renderer.Find(form->Name())->WindowIcon();
        EXPECT_TRUE(icon && icon->name == "AAA" && icon->size == 16) << form->Name();
        form->Unload();
    }
}

} // namespace
} // namespace KDAutoUpdate
