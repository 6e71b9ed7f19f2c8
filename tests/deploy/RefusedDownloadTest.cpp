// A transfer the download control refuses to start ends like a failed one.

#include "DeploymentFixture.h"

namespace KDAutoUpdate {
namespace {

class RefusedDownload : public DeploymentTest {};

TEST_F(RefusedDownload, ShowsTheFailureClosesTheDialogAndEndsTheDeployment) {
    downloads.SetBeginResult(false);
    auto message = Message(aumtExe, "--quiet");
    message->Deploy();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Das Update konnte nicht heruntergeladen werden. Bitte wenden "
                                   "Sie sich an den technischen Support.");
    EXPECT_EQ(renderer.Find("dlgDownload"), nullptr);
    EXPECT_EQ(renderer.Find("dlgAfterDownload"), nullptr);
    EXPECT_TRUE(launcher.CommandLines().empty());
}

} // namespace
} // namespace KDAutoUpdate
