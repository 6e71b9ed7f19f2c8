// The Qt Widgets renderer under the agent's own form definitions, driven through the view:
// twips, modal waits, unloading from a handler, resizes, placement, owners, boxes and pictures.

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <algorithm>
#include <cmath>

#include "deploy/dlgAfterDownload.h"
#include "deploy/dlgDownload.h"
#include "messages_window/frmMessages.h"
#include "platform/qt/QtMovieAnimationPlayer.h"
#include "store/dlgCheckMessages.h"
#include "store/dlgInstallLastUpdate.h"
#include "tests/desktop/DesktopTest.h"
#include "tests/support/RecordingForm.h"

using namespace KDAutoUpdate;

namespace {

constexpr const char* kTitle = "Keldra Update Service";

class FormRendererDesktopTest : public DesktopTest {
protected:
    QtFormView& Load(const FormDef& def, RecordingForm& form) {
        views.push_back(renderer.CreateView(def, form));
        return *dynamic_cast<QtFormView*>(views.back().get());
    }
    static QRect Pixels(const QWidget* w, double left, double top, double width, double height) {
        const auto px = [](double twips, int dpi) {
            return int(std::lround(twips * dpi / 1440.0));
        };
        const int dx = w->logicalDpiX();
        const int dy = w->logicalDpiY();
        return {px(left, dx), px(top, dy), px(width, dx), px(height, dy)};
    }
    static double Pixel(const QWidget* w) { return 1440.0 / w->logicalDpiX(); }
    void TearDown() override {
        views.clear();
        DesktopTest::TearDown();
    }
    std::vector<std::unique_ptr<IFormView>> views;
};

TEST_F(FormRendererDesktopTest, FixedDialogIsBuiltInPixelsOfTheScreenAndTakesItsKeys) {
    RecordingForm form;
    const FormDef def = dlgInstallLastUpdate::Definition();
    QtFormView& view = Load(def, form);
    QWidget* window = view.Window();
    EXPECT_EQ(window->size(), Pixels(window, 0, 0, def.clientWidth, def.clientHeight).size());
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "a fixed frame is not resizable";
    EXPECT_NEAR(view.ClientSize().width, def.clientWidth, Pixel(window));
    EXPECT_EQ(window->windowType(), Qt::Dialog);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    const ControlDef* yes = def.Find("cmdYes");
    QWidget* button = view.Control("cmdYes");
    EXPECT_EQ(button->parentWidget(), view.Control("fraButtons"));
    EXPECT_EQ(button->geometry(), Pixels(window, yes->left, yes->top, yes->width, yes->height));
    // A label shows CR LF as line breaks; Text answers what was set.
    view.SetText("lblMessage", -1, "a & b\r\n\r\nc");
    EXPECT_EQ(view.Text("lblMessage", -1), "a & b\r\n\r\nc");
    EXPECT_EQ(Widget<QLabel>(view, "lblMessage")->text(), "a & b\n\nc");

    // Enter presses the default button and Esc the cancel button; an access key reaches its
    // control; the close box only asks the form; options of one array exclude each other.
    view.ShowModeless(0);
    ASSERT_TRUE(user.Activate(window));
    DesktopUser::Press(window, Qt::Key_Return);
    DesktopUser::Press(window, Qt::Key_Escape);
    EXPECT_EQ(form.clicks, (std::vector<std::string>{"cmdYes", "cmdNo"}));
    DesktopUser::Press(window, Qt::Key_D, Qt::AltModifier);
    EXPECT_TRUE(WaitFor([&] { return view.Value("chkDontShowAgain", -1) == 1; }));
    EXPECT_FALSE(window->close());
    EXPECT_EQ(form.closeRequests, 1);
    EXPECT_TRUE(window->isVisible());

    RecordingForm choice;
    QtFormView& after = Load(dlgAfterDownload::Definition(), choice);
    after.ShowModeless(0);
    DesktopUser::Click(after.Control("optInstallAction", 0));
    DesktopUser::Click(after.Control("optInstallAction", 2));
    EXPECT_EQ(after.Value("optInstallAction", 0), 0);
    EXPECT_EQ(after.Value("optInstallAction", 2), 1);
}

TEST_F(FormRendererDesktopTest, ShowModalWaitsUntilTheWindowIsHiddenDestroyedOrFreed) {
    RecordingForm form;
    QtFormView& view = Load(dlgAfterDownload::Definition(), form);
    bool modalWhileWaiting = false;
    loop.Post([&] {
        modalWhileWaiting = view.IsModal() && view.Window()->isModal();
        view.Hide();
    });
    view.ShowModal(0);
    EXPECT_TRUE(modalWhileWaiting);
    EXPECT_FALSE(view.IsVisible());
    EXPECT_EQ(view.Window()->windowModality(), Qt::NonModal);

    loop.Post([&] { view.Destroy(); });
    view.ShowModal(0);
    EXPECT_TRUE(view.IsDestroyed());

    RecordingForm other;
    auto doomed = renderer.CreateView(dlgDownload::Definition(), other);
    loop.Post([&] {
        doomed->Destroy();
        doomed.reset();
    });
    doomed->ShowModal(0);
    EXPECT_EQ(doomed, nullptr);
}

TEST_F(FormRendererDesktopTest, DestroyInsideAClickHandlerSilencesTheWindow) {
    RecordingForm form;
    auto view = renderer.CreateView(dlgCheckMessages::Definition(), form);
    auto* qtView = dynamic_cast<QtFormView*>(view.get());
    view->ShowModeless(0);
    QPointer<QWidget> window = qtView->Window();
    form.onClick = [&](const std::string&) {
        view->Destroy();
        view.reset();
    };
    QTest::mouseClick(Widget<QPushButton>(*qtView, "cmdYes"), Qt::LeftButton);
    EXPECT_EQ(view, nullptr);
    ASSERT_FALSE(window.isNull()) << "deleted later, not inside its own event";
    EXPECT_EQ(renderer.Find("dlgCheckMessages"), nullptr);
    QTest::keyClick(window, Qt::Key_Return);
    window->close();
    EXPECT_EQ(form.clicks.size(), 1u);
    EXPECT_EQ(form.closeRequests, 0);
    Drain();
    EXPECT_TRUE(window.isNull());
}

TEST_F(FormRendererDesktopTest, SizableWindowReportsResizesInTwips) {
    RecordingForm form;
    QtFormView& view = Load(frmMessages::Definition(), form);
    QWidget* window = view.Window();
    EXPECT_EQ(window->windowType(), Qt::Window);
    EXPECT_NE(window->minimumSize(), window->maximumSize());
    view.ShowModeless(0);
    EXPECT_GE(form.resizes, 1) << "a window lays itself out when it first appears";

    const int before = form.resizes;
    TwipRect bounds = view.Bounds();
    bounds.width += 1500;
    view.Move(bounds);
    EXPECT_GT(form.resizes, before);
    EXPECT_NEAR(view.ClientSize().width, 10425 + 1500, Pixel(window));

    // A picture box reports a change of its size, not a move alone; negative sizes are refused.
    view.MoveControl("picMain", TwipRect{60, 60, 11805, 7035});
    view.MoveControl("picMain", TwipRect{90, 90, 11805, 7035});
    view.MoveControl("picMain", TwipRect{60, 60, -60, 100});
    EXPECT_EQ(form.controlResizes, std::vector<std::string>{"picMain"});
    EXPECT_EQ(view.Control("picMain")->geometry(), Pixels(window, 90, 90, 11805, 7035));
}

TEST_F(FormRendererDesktopTest, PlacementAndOwners) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_NEAR(renderer.Screen().width,
                area.width() * 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchX(),
                0.01);
    RecordingForm centred;
    QtFormView& dialog = Load(dlgCheckMessages::Definition(), centred);
    dialog.ShowModeless(0);
    const QPoint middle = dialog.Window()->frameGeometry().center();
    EXPECT_LE(std::abs(middle.x() - area.center().x()), 4);
    EXPECT_LE(std::abs(middle.y() - area.center().y()), 4);

    RecordingForm hostForm;
    RecordingForm ownedForm;
    QtFormView& host = Load(frmMessages::Definition(), hostForm);
    QtFormView& owned = Load(dlgAfterDownload::Definition(), ownedForm);
    const WindowHandle hostHandle = host.Handle();
    EXPECT_EQ(owned.SetOwner(hostHandle), 0);
    EXPECT_EQ(owned.Window()->windowHandle()->transientParent(), host.Window()->windowHandle());
    EXPECT_EQ(owned.SetOwner(0x7ffff001), hostHandle) << "a foreign handle is only remembered";
    EXPECT_EQ(owned.Window()->windowHandle()->transientParent(), nullptr);

    // A shown window changes its owner as well: shown above the host, then given back its
    // owner before, it is owned by nobody.
    owned.ShowModeless(hostHandle);
    EXPECT_EQ(owned.Window()->windowHandle()->transientParent(), host.Window()->windowHandle());
    EXPECT_EQ(owned.SetOwner(0), hostHandle);
    EXPECT_EQ(owned.Window()->windowHandle()->transientParent(), nullptr);
    EXPECT_TRUE(owned.Window()->isVisible());
}

TEST_F(FormRendererDesktopTest, MessageBoxesCarryTheTitleAndGermanButtons) {
    struct Case {
        MsgBoxButtons buttons;
        std::string title;
        std::string answer; // empty: Esc
        MsgBoxResult result;
        std::vector<std::string> expectedButtons;
    };
    const Case cases[] = {
        {MsgBoxButtons::YesNo, "", "&Ja", MsgBoxResult::Yes, {"&Ja", "&Nein"}},
        {MsgBoxButtons::YesNo, "", "", MsgBoxResult::No, {"&Ja", "&Nein"}},
        {MsgBoxButtons::OK, "Eigener Titel", "", MsgBoxResult::OK, {"OK"}},
        {MsgBoxButtons::YesNoCancel, "", "", MsgBoxResult::Cancel, {"&Ja", "&Nein", "Abbrechen"}},
    };
    for (const Case& c : cases) {
        if (!c.answer.empty())
            user.AnswerNextBox(c.answer);
        EXPECT_EQ(renderer.MsgBox("Text", c.buttons, MsgBoxIcon::Question, c.title), c.result);
        ASSERT_FALSE(user.Boxes().empty());
        std::vector<std::string> buttons = user.Boxes().back().buttons;
        std::sort(buttons.begin(), buttons.end());
        EXPECT_EQ(user.Boxes().back().title, c.title.empty() ? kTitle : c.title);
        EXPECT_EQ(buttons, c.expectedButtons);
    }
}

TEST_F(FormRendererDesktopTest, AnimationPlaysTheResourceGifAndOutlivesTheWindow) {
    RecordingForm form;
    QtFormView& view = Load(dlgDownload::Definition(), form);
    view.ShowModeless(0);
    auto player = view.CreateAnimation("picAnim");
    auto* movie = dynamic_cast<QtMovieAnimationPlayer*>(player.get());
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->Label()->parentWidget(), view.Control("picAnim"));
    EXPECT_FALSE(movie->Open("noSuchAnimation"));
    ASSERT_TRUE(movie->Open("101"));
    ASSERT_GT(movie->FrameCount(), 2);

    // Endless: the last frame is followed by the first again.
    ASSERT_TRUE(movie->Play(0, -1, -1));
    const int last = movie->FrameCount() - 1;
    bool sawLast = false;
    EXPECT_TRUE(WaitFor([&] {
        sawLast = sawLast || movie->CurrentFrame() == last;
        return sawLast && movie->CurrentFrame() == 0;
    }));
    // A range played twice stops on its last frame.
    ASSERT_TRUE(movie->Play(1, 2, 2));
    EXPECT_TRUE(WaitFor([&] { return !movie->IsPlaying(); }));
    EXPECT_EQ(movie->CurrentFrame(), 2);
    EXPECT_FALSE(movie->Play(3, 2, 1)) << "an empty range";

    view.Destroy();
    Drain();
    EXPECT_EQ(movie->Label(), nullptr);
    EXPECT_TRUE(movie->Play(0, -1, 1));
}

TEST_F(FormRendererDesktopTest, PicturesProgressBrowsersAndGrabs) {
    RecordingForm form;
    QtFormView& view = Load(dlgCheckMessages::Definition(), form);
    view.SetPicture("imgIcon", resources.LoadResourcePicture("AAA", 32, 1, 0, 0, 0));
    EXPECT_FALSE(Widget<QLabel>(view, "imgIcon")->pixmap().isNull());
    view.SetPicture("imgIcon", std::make_shared<Picture>(Picture{"AAA", 32, "no picture"}));
    EXPECT_TRUE(Widget<QLabel>(view, "imgIcon")->pixmap().isNull());

    RecordingForm download;
    QtFormView& progress = Load(dlgDownload::Definition(), download);
    progress.SetValue("ProgressBar", -1, 42.4);
    EXPECT_DOUBLE_EQ(progress.Value("ProgressBar", -1), 42.4);
    EXPECT_EQ(Widget<QProgressBar>(progress, "ProgressBar")->value(), 42);
    progress.SetValue("ProgressBar", -1, 250);
    EXPECT_EQ(Widget<QProgressBar>(progress, "ProgressBar")->value(), 100);

    RecordingForm messages;
    QtFormView& window = Load(frmMessages::Definition(), messages);
    auto browser = window.CreateBrowser("picMain");
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(lastBrowser->Widget()->parentWidget(), window.Control("picMain"));
    EXPECT_EQ(window.CreateBrowser("noSuchBox"), nullptr);

    const QTemporaryDir folder;
    const std::string picture = folder.filePath("grab.png").toStdString();
    view.ShowModeless(0);
    EXPECT_TRUE(renderer.Grab("dlgCheckMessages", picture));
    EXPECT_FALSE(QImage(QString::fromStdString(picture)).isNull());
    EXPECT_FALSE(renderer.Grab("noSuchForm", picture + "2"));
}

} // namespace
