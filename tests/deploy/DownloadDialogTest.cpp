// The download dialog: progress texts, completion, failure and the confirmed cancel.

#include "DeploymentFixture.h"
#include "deploy/dlgDownload.h"

namespace KDAutoUpdate {
namespace {

class DownloadDialog : public DeploymentTest {
protected:
    // Runs the dialog for `offered`; `whileShown` acts as the user once it is shown.
    void Run(AuMessage& offered, std::function<void(ScriptedView&)> whileShown = {}) {
        dialog = std::make_unique<dlgDownload>(tp.platform());
        ASSERT_TRUE(dialog->Load());
        if (whileShown)
            renderer.QueueModalAction("dlgDownload", std::move(whileShown));
        dialog->Execute(&offered);
    }
    ScriptedView* View() { return renderer.Find("dlgDownload"); }
    std::unique_ptr<AuMessage> message = Message(aumtExe);
    std::unique_ptr<dlgDownload> dialog;
};

TEST_F(DownloadDialog, ProgressTextsBarAndCaption) {
    const struct {
        long long received, total, rate, remaining;
        const char *message, *transfer;
        double bar;
        const char* caption;
    } cases[] = {
        {440401, 1048576, 1536, 125, "2 Min. 5 Sek. (430,1 KB von 1 MB übertragen)", "1,5 KB/Sek.",
         42, "42% von KeldraStudi...-Final.exe heruntergeladen - Keldra Update Service"},
        // No rate: only the bytes; no total: the bar at zero and the caption left alone.
        {2048, 0, 0, -1, "2 KB von 0 Bytes übertragen", "", 0, "Keldra Update Service"},
    };
    for (const auto& c : cases) {
        message = Message(aumtExe);
        message->SetFileName("KeldraStudio-Complete-Update-2024-Final.exe");
        downloads.OnBegin([&c](FakeDownloader& d) {
            d.EmitProgress(42, c.rate, c.remaining, c.received, c.total, 10);
            d.Finish("/dl/x.exe", 5000);
        });
        Run(*message, [&](ScriptedView& v) {
            v.SetValue("ProgressBar", -1, 55);
            tp.loop().Advance(20);
            EXPECT_EQ(v.Text("lblMessage", -1), c.message);
            EXPECT_EQ(v.Text("lblTransferMessage", -1), c.transfer);
            EXPECT_NEAR(v.Value("ProgressBar", -1), c.bar, 0.01);
            EXPECT_EQ(v.Caption(), c.caption);
        });
    }
}

TEST_F(DownloadDialog, CompletionHandsBackTheFile) {
    DownloadsSucceed("/dl/setup.sh");
    Run(*message);
    EXPECT_TRUE(View()->WindowIcon() && View()->WindowIcon()->name == "AAA");
    EXPECT_FALSE(dialog->Cancelled());
    EXPECT_EQ(dialog->DownloadedFile(), "/dl/setup.sh");
    EXPECT_EQ(message->LocalPath(), "/dl/setup.sh");
    ASSERT_EQ(downloads.Log().begins.size(), 1u);
    EXPECT_EQ(downloads.Log().begins[0].url, message->DownloadPath());
    EXPECT_EQ(downloads.Log().begins[0].key, "M1");
    dialog->Unload();
    EXPECT_EQ(dialog->DownloadedFile(), "");
}

TEST_F(DownloadDialog, AFailedTransferSaysSoAndHandsBackNothing) {
    downloads.OnBegin([](FakeDownloader& d) { d.Fail(10); });
    Run(*message);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Das Update konnte nicht heruntergeladen werden. Bitte wenden "
                                   "Sie sich an den technischen Support.");
    EXPECT_EQ(boxes.shown[0].icon, MsgBoxIcon::Critical);
    EXPECT_EQ(boxes.shown[0].buttons, MsgBoxButtons::OK);
    EXPECT_EQ(dialog->DownloadedFile(), "");
    EXPECT_FALSE(dialog->Cancelled());
}

TEST_F(DownloadDialog, ATransferStillRunningAtItsEndIsCancelledQuietly) {
    downloads.OnBegin([](FakeDownloader& d) {
        d.SetBusy(true);
        d.Finish("/dl/x.sh", 10);
    });
    Run(*message);
    EXPECT_EQ(downloads.Log().cancels, std::vector<std::string>{"M1"});
    EXPECT_EQ(dialog->DownloadedFile(), "");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DownloadDialog, CancelAsksWhileATransferRunsAndNoKeepsItGoing) {
    downloads.OnBegin([](FakeDownloader& d) { d.Finish("/dl/x.sh", 10000); });
    renderer.QueueMsgBoxAnswer(MsgBoxResult::No);
    renderer.QueueMsgBoxAnswer(MsgBoxResult::Yes);
    Run(*message, [&](ScriptedView&) {
        renderer.Click("dlgDownload", "cmdCancel");
        EXPECT_TRUE(View() && View()->IsVisible()) << "still shown after No";
        renderer.Close("dlgDownload"); // the close box asks the same question: Yes
    });
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "Möchten Sie den Download-Vorgang wirklich abbrechen?");
    EXPECT_EQ(boxes.shown[0].buttons, MsgBoxButtons::YesNo);
    EXPECT_EQ(boxes.shown[0].icon, MsgBoxIcon::Question);
    EXPECT_TRUE(dialog->Cancelled());
    EXPECT_EQ(downloads.Log().cancels, std::vector<std::string>{"M1"});
    EXPECT_EQ(dialog->DownloadedFile(), "");
}

TEST_F(DownloadDialog, CancelWithoutATransferClosesAtOnce) {
    downloads.OnBegin([](FakeDownloader& d) { d.SetBusy(false); });
    Run(*message, [&](ScriptedView&) { renderer.PressEscape("dlgDownload"); });
    EXPECT_TRUE(dialog->Cancelled());
    EXPECT_TRUE(downloads.Log().cancels.empty());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DownloadDialog, AnUnloadDuringATransferCancelsItAndStopsTheAnimation) {
    downloads.OnBegin([](FakeDownloader& d) { d.Finish("/dl/x.sh", 10000); });
    Run(*message, [&](ScriptedView& v) {
        EXPECT_TRUE(v.Animation() && v.Animation()->IsPlaying());
        dialog->Hide();
    });
    ASSERT_TRUE(View());
    dialog->Unload();
    EXPECT_EQ(downloads.Log().cancels, std::vector<std::string>{"M1"});
}

TEST_F(DownloadDialog, StandsInTheMiddleOfTheMessagesWindowWhileItIsOpenElseOfTheScreen) {
    const TwipRect screen{0, 0, 28800, 16200};
    renderer.SetScreen(screen);
    // The messages window as the dialog sees it: a loaded form of that name, off centre.
    struct Window : Form {
        using Form::Form;
        void Control_Click(const std::string&, int) override {}
    };
    Window window(tp.platform(), FormDef{.name = "frmMessages"});
    ASSERT_TRUE(window.Load());
    const TwipRect owner{1500, 900, 12000, 9000};
    window.View()->Move(owner);
    for (const bool open : {true, false}) {
        if (!open)
            window.Unload();
        const TwipRect area = open ? owner : screen;
        message = Message(aumtExe);
        DownloadsSucceed("/dl/x.sh");
        TwipRect shown;
        Run(*message, [&](ScriptedView& v) { shown = v.Bounds(); });
        EXPECT_NEAR(shown.left + shown.width / 2, area.left + area.width / 2, 1);
        EXPECT_NEAR(shown.top + shown.height / 2, area.top + area.height / 2, 1);
    }
}

} // namespace
} // namespace KDAutoUpdate
