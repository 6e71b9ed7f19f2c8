// The Qt Widgets renderer with real widgets on the offscreen platform: windows built from the
// agent's form definitions, keys, close box, option buttons, modal waits, unloading from a
// handler, message boxes, animations, browsers, and pictures of every window for the docs.

#include "platform/qt/QtFormRenderer.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtFormView.h"
#include "platform/qt/QtMovieAnimationPlayer.h"
#include "tests/support/FakeBrowserControl.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace KDAutoUpdate;

namespace {

class QtWidgetsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!QCoreApplication::instance()) {
            // Browser tests in this program need contexts shared from the start.
            QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
            m_app = std::make_unique<QApplication>(m_argc, m_argv);
        }
        // Hiding or closing test windows must never end a nested loop through a quit.
        if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
            app->setQuitOnLastWindowClosed(false);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[32] = "kdau_tests_platform";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] const auto* const kWidgetsEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtWidgetsEnvironment);

// The agent's forms, as its form classes define them (this program does not link the core).
FormDef InstallLastUpdateForm() {
    FormDef def;
    def.name = "dlgInstallLastUpdate";
    def.caption = "Update installieren";
    def.clientWidth = 6555;
    def.clientHeight = 2385;
    def.startUp = StartUpPosition::WindowsDefault;
    def.controls = {
        {"imgIcon", ControlKind::Image, 240, 240, 495, 495},
        {"lblMessage", ControlKind::Label, 840, 240, 5535, 975},
        {"chkDontShowAgain", ControlKind::CheckBox, 840, 1320, 5535, 195,
         "&Diese Erinnerung nicht mehr anzeigen"},
        {"fraButtons", ControlKind::ButtonStrip, 0, 1650, 6555, 735},
        {"cmdYes", ControlKind::Button, 3300, 210, 1995, 375, "Ja, jetzt &installieren", true,
         false, -1, "fraButtons"},
        {"cmdNo", ControlKind::Button, 5400, 210, 1035, 375, "&Nein", false, true, -1,
         "fraButtons"},
    };
    return def;
}

FormDef CheckMessagesForm() {
    FormDef def;
    def.name = "dlgCheckMessages";
    def.caption = "Update verfügbar (Keldra Update Service)";
    def.clientWidth = 6090;
    def.clientHeight = 1890;
    def.showInTaskbar = true;
    def.startUp = StartUpPosition::CenterScreen;
    def.controls = {
        {"imgIcon", ControlKind::Image, 120, 180, 495, 495},
        {"lblMessage", ControlKind::Label, 720, 180, 5175, 615,
         "Ein Update steht zur Verfügung. Möchten Sie mehr Infos?"},
        {"chkDontShowAgain", ControlKind::CheckBox, 720, 900, 5175, 195,
         "&Diese Nachricht nicht mehr anzeigen"},
        {"fraButtons", ControlKind::ButtonStrip, 0, 1215, 6090, 675},
        {"cmdYes", ControlKind::Button, 3720, 195, 1035, 350, "&Ja", true, false, -1, "fraButtons"},
        {"cmdNo", ControlKind::Button, 4860, 195, 1035, 350, "&Nein", false, true, -1,
         "fraButtons"},
    };
    return def;
}

FormDef AfterDownloadForm() {
    FormDef def;
    def.name = "dlgAfterDownload";
    def.caption = "Download abgeschlossen";
    def.clientWidth = 6135;
    def.clientHeight = 2715;
    def.startUp = StartUpPosition::CenterScreen;
    def.controls = {
        {"lblInfo", ControlKind::Label, 240, 240, 5715, 495,
         "Das Update wurde erfolgreich downgeloadet. Wie möchten Sie fortfahren?"},
        {"optInstallAction", ControlKind::OptionButton, 240, 960, 5715, 255,
         "Update jetzt installieren", false, false, 0, "", 1},
        {"optInstallAction", ControlKind::OptionButton, 240, 1320, 5715, 255,
         "Update beim nächsten Programmstart installieren", false, false, 1},
        {"optInstallAction", ControlKind::OptionButton, 240, 1740, 5715, 255,
         "Aktion abbrechen und Update nicht installieren", false, false, 2},
        {"cmdOK", ControlKind::Button, 4740, 2220, 1275, 375, "&OK", true},
    };
    return def;
}

FormDef DownloadForm() {
    FormDef def;
    def.name = "dlgDownload";
    def.caption = "Keldra Update Service";
    def.clientWidth = 5895;
    def.clientHeight = 2760;
    def.startUp = StartUpPosition::Manual;
    def.controls = {
        {"picAnim", ControlKind::Animation, 120, 120, 5655, 735},
        {"ProgressBar", ControlKind::ProgressBar, 120, 1080, 5655, 195},
        {"lblStatus", ControlKind::Label, 180, 1500, 1350, 195, "Geschätzte Dauer:"},
        {"lblMessage", ControlKind::Label, 1980, 1500, 3765, 195},
        {"lblTransferRate", ControlKind::Label, 180, 1800, 1335, 195, "Übertragungsrate:"},
        {"lblTransferMessage", ControlKind::Label, 1980, 1800, 3735, 195},
        {"cmdCancel", ControlKind::Button, 4380, 2280, 1395, 375, "&Abbrechen", false, true},
        {"ctlDownload", ControlKind::Invisible},
    };
    return def;
}

FormDef MessagesForm() {
    FormDef def;
    def.name = "frmMessages";
    def.caption = "Keldra Update Service";
    def.clientWidth = 10425;
    def.clientHeight = 6405;
    def.border = BorderStyle::Sizable;
    def.showInTaskbar = true;
    def.minButton = true;
    def.startUp = StartUpPosition::CenterScreen;
    def.controls = {
        {"picMain", ControlKind::PictureBox, 60, 60, 10305, 6285},
        {"WBC", ControlKind::Browser, 0, 0, 10305, 6285, "", false, false, -1, "picMain"},
    };
    return def;
}

// The resource library's sources: pictures NAME-SIZE.png, the animation "101" in anim101.gif.
class SourceResources : public IResourceLibrary {
public:
    std::string FileName() const override { return "_AuResLib.rcc"; }
    bool OpenResourceLibrary(const std::string&) override { return true; }
    void CloseResourceLibrary() override {}
    bool IsOpen() const override { return true; }
    PicturePtr LoadResourcePicture(const std::string& name, int size, long, long, long,
                                   long) override {
        const std::optional<std::string> bytes = Read(name + "-" + std::to_string(size) + ".png");
        return bytes ? std::make_shared<Picture>(Picture{name, size, *bytes}) : nullptr;
    }
    std::string ResourceFilePath() const override { return KDAU_SOURCE_DIR "/resources"; }
    std::optional<std::string> ReadResource(const std::string& name) const override {
        return Read(name == "101" ? "anim101.gif" : name);
    }

private:
    static std::optional<std::string> Read(const std::string& file) {
        QFile in(QStringLiteral(KDAU_SOURCE_DIR "/resources/") + QString::fromStdString(file));
        if (!in.open(QIODevice::ReadOnly))
            return std::nullopt;
        return in.readAll().toStdString();
    }
};

// A form that records what its window tells it; a test may add what a handler does.
class RecordingForm : public IFormEvents {
public:
    std::vector<std::string> clicks; // "name" or "name(index)"
    int closeRequests = 0;
    int resizes = 0;
    std::vector<std::string> controlResizes;
    std::function<void(const std::string&, int)> onClick;
    std::function<void()> onClose;

    void OnClick(const std::string& control, int index) override {
        clicks.push_back(index < 0 ? control : control + "(" + std::to_string(index) + ")");
        if (onClick)
            onClick(control, index);
    }
    void OnCloseRequested(UnloadMode) override {
        ++closeRequests;
        if (onClose)
            onClose();
    }
    void OnResize() override { ++resizes; }
    void OnControlResize(const std::string& control) override { controlResizes.push_back(control); }
};

using Clicks = std::vector<std::string>;

void DeleteLaterNow() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class QtFormRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            GTEST_SKIP() << "an application without widgets runs in this program";
    }
    void TearDown() override {
        views.clear();
        DeleteLaterNow();
    }

    // Loads a form; the view is kept by the fixture.
    QtFormView& Load(const FormDef& def, RecordingForm& form) {
        views.push_back(renderer.CreateView(def, form));
        auto* view = dynamic_cast<QtFormView*>(views.back().get());
        EXPECT_NE(view, nullptr);
        return *view;
    }
    template <class W> W* Widget(QtFormView& view, const std::string& name, int index = -1) {
        return qobject_cast<W*>(view.Control(name, index));
    }
    static QRect Pixels(const QWidget* widget, int left, int top, int width, int height) {
        const auto px = [](double twips, int dpi) {
            return static_cast<int>(std::lround(twips * dpi / 1440.0));
        };
        const int dx = widget->logicalDpiX();
        const int dy = widget->logicalDpiY();
        return {px(left, dx), px(top, dy), px(width, dx), px(height, dy)};
    }
    // One pixel in twips, the tolerance of twip values that went through pixels.
    static double Pixel(const QWidget* widget) { return 1440.0 / widget->logicalDpiX(); }

    QtEventLoop loop;
    SourceResources resources;
    std::vector<QWidget*> browserContainers;
    QtFormRenderer renderer{loop, &resources, [this](QWidget* container) {
                                browserContainers.push_back(container);
                                return std::make_unique<FakeBrowserControl>();
                            }};
    std::vector<std::unique_ptr<IFormView>> views;
};

TEST_F(QtFormRendererTest, FixedDialogIsBuiltFromItsDefinitionInPixelsOfTheScreen) {
    RecordingForm form;
    QtFormView& view = Load(InstallLastUpdateForm(), form);
    QWidget* window = view.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(renderer.Find("dlgInstallLastUpdate"), &view);

    // 6555 by 2385 twips: 437 by 159 pixels at 96 dpi.
    const QRect client = Pixels(window, 0, 0, 6555, 2385);
    EXPECT_EQ(window->size(), client.size());
    if (window->logicalDpiX() == 96 && window->logicalDpiY() == 96) {
        EXPECT_EQ(window->size(), QSize(437, 159));
    }
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "a fixed frame is not resizable";
    EXPECT_NEAR(view.ClientSize().width, 6555, Pixel(window));
    EXPECT_NEAR(view.ClientSize().height, 2385, Pixel(window));

    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_EQ(window->windowType(), Qt::Dialog) << "kept out of the task bar";
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Update installieren"));
    const double points = window->font().pointSizeF();
    EXPECT_TRUE(points <= 8.25 && points >= 8.25 * 0.85) << points;

    auto* strip = Widget<QWidget>(view, "fraButtons");
    auto* yes = Widget<QPushButton>(view, "cmdYes");
    auto* no = Widget<QPushButton>(view, "cmdNo");
    auto* check = Widget<QCheckBox>(view, "chkDontShowAgain");
    ASSERT_TRUE(strip && yes && no && check);
    EXPECT_EQ(strip->geometry(), Pixels(window, 0, 1650, 6555, 735));
    EXPECT_EQ(yes->parentWidget(), strip);
    EXPECT_EQ(yes->geometry(), Pixels(window, 3300, 210, 1995, 375));
    EXPECT_EQ(yes->text(), QString::fromUtf8("Ja, jetzt &installieren"));
    EXPECT_EQ(no->text(), QString::fromUtf8("&Nein"));
    EXPECT_EQ(check->text(), QString::fromUtf8("&Diese Erinnerung nicht mehr anzeigen"));
    EXPECT_TRUE(yes->isDefault());
    EXPECT_FALSE(no->isDefault());
    EXPECT_FALSE(check->isChecked());

    // A label shows its text with CR LF as line breaks; Text answers what was set.
    const std::string message = "Ein Update: 'Tom & Jerry 2.0'\r\n\r\nSoll das Update jetzt "
                                "installiert werden?";
    view.SetText("lblMessage", -1, message);
    EXPECT_EQ(view.Text("lblMessage", -1), message);
    auto* label = Widget<QLabel>(view, "lblMessage");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QString::fromUtf8("Ein Update: 'Tom & Jerry 2.0'\n\nSoll das Update "
                                               "jetzt installiert werden?"));
    EXPECT_TRUE(label->wordWrap());
    EXPECT_EQ(view.Text("nothing", -1), "");
}

TEST_F(QtFormRendererTest, EnterPressesTheDefaultButtonAndEscTheCancelButton) {
    RecordingForm form;
    QtFormView& view = Load(InstallLastUpdateForm(), form);
    view.ShowModeless(0);
    QWidget* window = view.Window();
    ASSERT_TRUE(window && window->isVisible());

    QTest::keyClick(window, Qt::Key_Return);
    QTest::keyClick(window, Qt::Key_Escape);
    QTest::keyClick(window, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(form.clicks, (Clicks{"cmdYes", "cmdNo", "cmdYes"}));
    EXPECT_TRUE(view.IsVisible()) << "Esc never closes the window itself";

    // Keys a focused check box does not use reach the window.
    auto* check = Widget<QCheckBox>(view, "chkDontShowAgain");
    ASSERT_NE(check, nullptr);
    QTest::keyClick(check, Qt::Key_Return);
    QTest::keyClick(check, Qt::Key_Escape);
    // A focused button takes Enter itself.
    QTest::keyClick(Widget<QPushButton>(view, "cmdNo"), Qt::Key_Return);
    EXPECT_EQ(form.clicks, (Clicks{"cmdYes", "cmdNo", "cmdYes", "cmdYes", "cmdNo", "cmdNo"}));
    EXPECT_FALSE(check->isChecked());
    EXPECT_EQ(form.closeRequests, 0);

    // Without a cancel button Esc does nothing at all.
    RecordingForm choice;
    QtFormView& after = Load(AfterDownloadForm(), choice);
    after.ShowModeless(0);
    QTest::keyClick(after.Window(), Qt::Key_Escape);
    EXPECT_TRUE(choice.clicks.empty());
    EXPECT_TRUE(after.IsVisible());
    QTest::keyClick(after.Window(), Qt::Key_Return);
    EXPECT_EQ(choice.clicks, Clicks{"cmdOK"});
}

TEST_F(QtFormRendererTest, CloseBoxOnlyAsksTheForm) {
    RecordingForm form;
    QtFormView& view = Load(InstallLastUpdateForm(), form);
    view.ShowModeless(0);
    QWidget* window = view.Window();
    ASSERT_NE(window, nullptr);

    EXPECT_FALSE(window->close()) << "the close is refused";
    EXPECT_EQ(form.closeRequests, 1);
    EXPECT_TRUE(view.IsVisible());
    EXPECT_TRUE(form.clicks.empty());

    // The form decides: here it hides the window.
    form.onClose = [&] { view.Hide(); };
    window->close();
    EXPECT_EQ(form.closeRequests, 2);
    EXPECT_FALSE(view.IsVisible());
    EXPECT_NE(view.Window(), nullptr) << "hidden, not destroyed";
}

TEST_F(QtFormRendererTest, OptionButtonsOfOneContainerExcludeEachOther) {
    RecordingForm form;
    QtFormView& view = Load(AfterDownloadForm(), form);
    view.ShowModeless(0);
    auto* first = Widget<QRadioButton>(view, "optInstallAction", 0);
    auto* second = Widget<QRadioButton>(view, "optInstallAction", 1);
    auto* third = Widget<QRadioButton>(view, "optInstallAction", 2);
    ASSERT_TRUE(first && second && third);
    ASSERT_NE(first->group(), nullptr);
    EXPECT_EQ(first->group(), third->group());
    EXPECT_TRUE(first->group()->exclusive());

    const auto values = [&] {
        return std::vector<double>{view.Value("optInstallAction", 0),
                                   view.Value("optInstallAction", 1),
                                   view.Value("optInstallAction", 2)};
    };
    EXPECT_EQ(values(), (std::vector<double>{1, 0, 0}));
    QTest::mouseClick(second, Qt::LeftButton);
    EXPECT_EQ(values(), (std::vector<double>{0, 1, 0}));
    EXPECT_EQ(form.clicks, Clicks{"optInstallAction(1)"});

    // Code selects without a click event, and may leave none selected.
    view.SetValue("optInstallAction", 2, 1);
    EXPECT_EQ(values(), (std::vector<double>{0, 0, 1}));
    view.SetValue("optInstallAction", 2, 0);
    EXPECT_EQ(values(), (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(form.clicks.size(), 1u);

    // A check box: the user's click toggles and is delivered; code sets without an event.
    RecordingForm reminder;
    QtFormView& dialog = Load(InstallLastUpdateForm(), reminder);
    dialog.ShowModeless(0);
    QTest::mouseClick(Widget<QCheckBox>(dialog, "chkDontShowAgain"), Qt::LeftButton);
    EXPECT_EQ(dialog.Value("chkDontShowAgain", -1), 1);
    EXPECT_EQ(reminder.clicks, Clicks{"chkDontShowAgain"});
    dialog.SetValue("chkDontShowAgain", -1, 0);
    EXPECT_EQ(dialog.Value("chkDontShowAgain", -1), 0);
    EXPECT_EQ(reminder.clicks.size(), 1u);
}

TEST_F(QtFormRendererTest, ShowModalWaitsUntilTheWindowIsHiddenOrGone) {
    RecordingForm form;
    QtFormView& view = Load(AfterDownloadForm(), form);
    bool modalWhileWaiting = false;
    loop.Post([&] {
        modalWhileWaiting = view.IsModal() && view.Window()->isModal() && view.IsVisible();
        view.Hide();
    });
    view.ShowModal(0);
    EXPECT_TRUE(modalWhileWaiting);
    EXPECT_FALSE(view.IsVisible());
    EXPECT_FALSE(view.IsModal());
    EXPECT_EQ(view.Window()->windowModality(), Qt::NonModal);

    // The dialog's own road: Enter inside the modal wait, the OK handler hides.
    form.onClick = [&](const std::string& control, int) {
        if (control == "cmdOK")
            view.Hide();
    };
    loop.Post([&] { QTest::keyClick(view.Window(), Qt::Key_Return); });
    view.ShowModal(0);
    EXPECT_EQ(form.clicks, Clicks{"cmdOK"});
    EXPECT_FALSE(view.IsVisible());

    // Unloaded while waiting.
    loop.Post([&] { view.Destroy(); });
    view.ShowModal(0);
    EXPECT_TRUE(view.IsDestroyed());

    // Freed while waiting, as a form frees its view after the current event.
    RecordingForm other;
    auto doomed = renderer.CreateView(DownloadForm(), other);
    ASSERT_NE(doomed, nullptr);
    loop.Post([&] {
        doomed->Destroy();
        doomed.reset();
    });
    doomed->ShowModal(0);
    EXPECT_EQ(doomed, nullptr);
}

TEST_F(QtFormRendererTest, DestroyInsideAClickHandlerIsSafeAndSilencesTheWindow) {
    RecordingForm form;
    auto view = renderer.CreateView(CheckMessagesForm(), form);
    auto* qtView = dynamic_cast<QtFormView*>(view.get());
    ASSERT_NE(qtView, nullptr);
    view->ShowModeless(0);
    QPointer<QWidget> window = qtView->Window();
    QPointer<QPushButton> yes = Widget<QPushButton>(*qtView, "cmdYes");
    ASSERT_TRUE(window && yes);

    // The handler unloads the form and frees the view at once.
    form.onClick = [&](const std::string&, int) {
        view->Destroy();
        view.reset();
    };
    QTest::mouseClick(yes, Qt::LeftButton);
    EXPECT_EQ(view, nullptr);
    EXPECT_EQ(form.clicks, Clicks{"cmdYes"});
    ASSERT_FALSE(window.isNull()) << "deleted later, not inside its own event";
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(renderer.Find("dlgCheckMessages"), nullptr);

    // Nothing reaches the form any more.
    QTest::keyClick(window, Qt::Key_Return);
    QTest::keyClick(window, Qt::Key_Escape);
    window->close();
    EXPECT_EQ(form.clicks.size(), 1u);
    EXPECT_EQ(form.closeRequests, 0);
    DeleteLaterNow();
    EXPECT_TRUE(window.isNull());

    // A destroyed view still answers, without a window.
    RecordingForm second;
    QtFormView& kept = Load(InstallLastUpdateForm(), second);
    kept.SetValue("chkDontShowAgain", -1, 1);
    kept.Destroy();
    kept.Destroy();
    EXPECT_EQ(kept.Window(), nullptr);
    EXPECT_FALSE(kept.IsVisible());
    EXPECT_EQ(kept.Value("chkDontShowAgain", -1), 1) << "the last state stays readable";
    kept.ShowModal(0); // returns at once
    kept.ShowModeless(0);
    EXPECT_EQ(kept.CreateAnimation("imgIcon"), nullptr);
    EXPECT_EQ(second.resizes, 0);
}

TEST_F(QtFormRendererTest, SizableWindowReportsResizesInTwips) {
    RecordingForm form;
    QtFormView& view = Load(MessagesForm(), form);
    QWidget* window = view.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowType(), Qt::Window) << "listed in the task bar";
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_NE(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->size(), Pixels(window, 0, 0, 10425, 6405).size());

    view.ShowModeless(0);
    EXPECT_GE(form.resizes, 1) << "a window lays itself out when it first appears";

    const int before = form.resizes;
    TwipRect bounds = view.Bounds();
    bounds.width += 1500;
    bounds.height += 750;
    view.Move(bounds);
    EXPECT_GT(form.resizes, before);
    EXPECT_NEAR(view.ClientSize().width, 10425 + 1500, Pixel(window));
    EXPECT_NEAR(view.ClientSize().height, 6405 + 750, Pixel(window));
    EXPECT_NEAR(view.Bounds().width, bounds.width, Pixel(window));

    // A picture box reports a change of its size, not a move alone.
    view.MoveControl("picMain", TwipRect{60, 60, 11805, 7035});
    view.MoveControl("picMain", TwipRect{90, 90, 11805, 7035});
    EXPECT_EQ(form.controlResizes, std::vector<std::string>{"picMain"});
    QWidget* picture = view.Control("picMain");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->geometry(), Pixels(window, 90, 90, 11805, 7035));
    EXPECT_NEAR(view.ControlClientSize("picMain").width, 11805, Pixel(window));

    // Negative sizes are refused, as a window refuses them.
    view.MoveControl("picMain", TwipRect{60, 60, -60, 100});
    view.Move(TwipRect{0, 0, 100, -5});
    EXPECT_EQ(picture->geometry(), Pixels(window, 90, 90, 11805, 7035));
    EXPECT_NEAR(view.ClientSize().width, 10425 + 1500, Pixel(window));
    EXPECT_EQ(form.controlResizes.size(), 1u);
}

TEST_F(QtFormRendererTest, PlacementFollowsTheStartPositionAndTheScreen) {
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    const TwipRect twips = renderer.Screen();
    const double pixel = 1440.0 / screen->logicalDotsPerInchX();
    EXPECT_NEAR(twips.left, area.x() * pixel, 0.01);
    EXPECT_NEAR(twips.width, area.width() * pixel, 0.01);
    EXPECT_NEAR(twips.height, area.height() * 1440.0 / screen->logicalDotsPerInchY(), 0.01);

    RecordingForm centred;
    QtFormView& dialog = Load(CheckMessagesForm(), centred);
    dialog.ShowModeless(0);
    const QPoint middle = dialog.Window()->frameGeometry().center();
    EXPECT_LE(std::abs(middle.x() - area.center().x()), 4);
    EXPECT_LE(std::abs(middle.y() - area.center().y()), 4);

    // The window system places this one: the renderer never moves it.
    RecordingForm placed;
    QtFormView& reminder = Load(InstallLastUpdateForm(), placed);
    EXPECT_FALSE(reminder.Window()->testAttribute(Qt::WA_Moved));

    // Moved by code (the form centres itself on another window).
    TwipRect bounds = reminder.Bounds();
    bounds.left = 3000;
    bounds.top = 1500;
    reminder.Move(bounds);
    EXPECT_NEAR(reminder.Bounds().left, 3000, pixel);
    EXPECT_NEAR(reminder.Bounds().top, 1500, pixel);
    EXPECT_NEAR(reminder.Bounds().width, bounds.width, pixel);
}

TEST_F(QtFormRendererTest, OwnerIsAWindowOfThisProcessOrOnlyRemembered) {
    RecordingForm hostForm;
    RecordingForm ownedForm;
    QtFormView& host = Load(MessagesForm(), hostForm);
    QtFormView& owned = Load(AfterDownloadForm(), ownedForm);
    const WindowHandle hostHandle = host.Handle();
    ASSERT_NE(hostHandle, 0);
    EXPECT_EQ(host.Handle(), hostHandle);
    EXPECT_EQ(QWidget::find(static_cast<WId>(hostHandle)), host.Window());

    EXPECT_EQ(owned.SetOwner(hostHandle), 0);
    ASSERT_NE(owned.Window()->windowHandle(), nullptr);
    EXPECT_EQ(owned.Window()->windowHandle()->transientParent(), host.Window()->windowHandle());
    EXPECT_EQ(owned.SetOwner(0x7ffff001), hostHandle) << "a foreign handle";
    EXPECT_EQ(owned.Window()->windowHandle()->transientParent(), nullptr);
    EXPECT_EQ(owned.SetOwner(0), 0x7ffff001);

    // Showing with an owner sets it, as SetOwner does.
    owned.ShowModeless(hostHandle);
    EXPECT_EQ(owned.Owner(), hostHandle);
    EXPECT_EQ(owned.Window()->windowHandle()->transientParent(), host.Window()->windowHandle());
}

TEST_F(QtFormRendererTest, MessageBoxesCarryTheApplicationTitleAndGermanButtons) {
    struct Seen {
        QString title;
        QString text;
        QStringList buttons;
        QString defaultButton;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    } seen;
    // Looks at the box while it waits, then answers with a button or a key.
    const auto answer = [&](const QString& buttonText, int key) {
        loop.Post([&seen, buttonText, key] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen.title = box->windowTitle();
            seen.text = box->text();
            seen.icon = box->icon();
            seen.buttons.clear();
            for (QAbstractButton* b : box->buttons())
                seen.buttons << b->text();
            seen.buttons.sort();
            seen.defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            for (QAbstractButton* b : box->buttons())
                if (b->text() == buttonText) {
                    b->click();
                    return;
                }
            QTest::keyClick(box, static_cast<Qt::Key>(key));
        });
    };

    answer("&Nein", 0);
    EXPECT_EQ(renderer.MsgBox("Möchten Sie den Download-Vorgang wirklich abbrechen?",
                              MsgBoxButtons::YesNo, MsgBoxIcon::Question, ""),
              MsgBoxResult::No);
    EXPECT_EQ(seen.title, QString::fromUtf8("Keldra Update Service"));
    EXPECT_EQ(seen.text, QString::fromUtf8("Möchten Sie den Download-Vorgang wirklich abbrechen?"));
    EXPECT_EQ(seen.buttons, (QStringList{"&Ja", "&Nein"}));
    EXPECT_EQ(seen.defaultButton, QString::fromUtf8("&Ja"));
    EXPECT_EQ(seen.icon, QMessageBox::Question);

    answer(QString(), Qt::Key_Return);
    EXPECT_EQ(renderer.MsgBox("Frage", MsgBoxButtons::YesNo, MsgBoxIcon::Question, ""),
              MsgBoxResult::Yes)
        << "Yes is the default button";

    answer(QString(), Qt::Key_Escape);
    EXPECT_EQ(renderer.MsgBox("Fehler <b>404</b>", MsgBoxButtons::OK, MsgBoxIcon::Critical,
                              "Eigener Titel"),
              MsgBoxResult::OK);
    EXPECT_EQ(seen.title, QString::fromUtf8("Eigener Titel"));
    EXPECT_EQ(seen.text, QString::fromUtf8("Fehler <b>404</b>"));
    EXPECT_EQ(seen.buttons, QStringList{"OK"});
    EXPECT_EQ(seen.icon, QMessageBox::Critical);

    answer(QString(), Qt::Key_Escape);
    EXPECT_EQ(renderer.MsgBox("?", MsgBoxButtons::YesNoCancel, MsgBoxIcon::Exclamation, ""),
              MsgBoxResult::Cancel);
    EXPECT_EQ(seen.buttons, (QStringList{"&Ja", "&Nein", "Abbrechen"}));
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
}

TEST_F(QtFormRendererTest, AnimationPlaysTheResourceGifOnItsSurface) {
    RecordingForm form;
    QtFormView& view = Load(DownloadForm(), form);
    view.ShowModeless(0);
    EXPECT_EQ(view.Control("ctlDownload"), nullptr) << "no pixels";
    auto player = view.CreateAnimation("picAnim");
    auto* movie = dynamic_cast<QtMovieAnimationPlayer*>(player.get());
    ASSERT_NE(movie, nullptr);
    movie->SetOptions(true, false, true);
    ASSERT_NE(movie->Label(), nullptr);
    EXPECT_EQ(movie->Label()->parentWidget(), view.Control("picAnim"));
    EXPECT_EQ(movie->Label()->alignment(), Qt::AlignCenter);

    EXPECT_FALSE(movie->Open("noSuchAnimation"));
    EXPECT_FALSE(movie->Play(0, -1, -1));
    ASSERT_TRUE(movie->Open("101"));
    ASSERT_GT(movie->FrameCount(), 2);
    EXPECT_EQ(movie->CurrentFrame(), 0);
    EXPECT_FALSE(movie->Label()->pixmap().isNull());
    EXPECT_FALSE(movie->IsPlaying());

    // Endless: the last frame is followed by the first again.
    ASSERT_TRUE(movie->Play(0, -1, -1));
    EXPECT_TRUE(movie->IsPlaying());
    const int last = movie->FrameCount() - 1;
    bool sawLast = false;
    EXPECT_TRUE(loop.RunUntil(
        [&] {
            sawLast = sawLast || movie->CurrentFrame() == last;
            return sawLast && movie->CurrentFrame() == 0;
        },
        30000));
    movie->Stop();
    EXPECT_FALSE(movie->IsPlaying());

    // A range played twice stops on its last frame.
    ASSERT_TRUE(movie->Play(1, 2, 2));
    EXPECT_EQ(movie->CurrentFrame(), 1);
    EXPECT_TRUE(loop.RunUntil([&] { return !movie->IsPlaying(); }, 30000));
    EXPECT_EQ(movie->CurrentFrame(), 2);
    EXPECT_FALSE(movie->Play(3, 2, 1)) << "an empty range";

    // The player outlives the window without harm.
    view.Destroy();
    DeleteLaterNow();
    EXPECT_EQ(movie->Label(), nullptr);
    EXPECT_TRUE(movie->Play(0, -1, 1));
    movie->Stop();
}

TEST_F(QtFormRendererTest, BrowsersAreMadeInsideTheirPictureBox) {
    RecordingForm form;
    QtFormView& view = Load(MessagesForm(), form);
    EXPECT_EQ(view.Control("WBC"), nullptr) << "the browser control makes its own widgets";
    auto browser = view.CreateBrowser("picMain");
    EXPECT_NE(browser, nullptr);
    ASSERT_EQ(browserContainers.size(), 1u);
    EXPECT_EQ(browserContainers.front(), view.Control("picMain"));
    EXPECT_EQ(view.CreateBrowser("noSuchBox"), nullptr);
    EXPECT_EQ(browserContainers.size(), 1u);

    QtFormRenderer withoutBrowsers(loop, &resources);
    RecordingForm other;
    auto plain = withoutBrowsers.CreateView(MessagesForm(), other);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->CreateBrowser("picMain"), nullptr);
}

TEST_F(QtFormRendererTest, PicturesAndProgressShowWhatTheFormSets) {
    RecordingForm form;
    QtFormView& view = Load(CheckMessagesForm(), form);
    view.SetPicture("imgIcon", resources.LoadResourcePicture("AAA", 32, 1, 0, 0, 0));
    view.SetWindowIcon(resources.LoadResourcePicture("AAA", 16, 1, 0, 0, 0));
    auto* image = Widget<QLabel>(view, "imgIcon");
    ASSERT_NE(image, nullptr);
    const double scale = image->logicalDpiX() / 96.0;
    EXPECT_EQ(image->pixmap().width(),
              std::min(static_cast<int>(std::lround(32 * scale)), image->width()));
    EXPECT_FALSE(view.Window()->windowIcon().isNull());

    // Bytes that are no picture leave the control empty.
    view.SetPicture("imgIcon", std::make_shared<Picture>(Picture{"AAA", 32, "no picture"}));
    EXPECT_TRUE(image->pixmap().isNull());
    view.SetPicture("imgIcon", nullptr);
    EXPECT_TRUE(image->pixmap().isNull());

    RecordingForm download;
    QtFormView& progress = Load(DownloadForm(), download);
    progress.SetValue("ProgressBar", -1, 42.4);
    EXPECT_DOUBLE_EQ(progress.Value("ProgressBar", -1), 42.4);
    EXPECT_EQ(Widget<QProgressBar>(progress, "ProgressBar")->value(), 42);
    progress.SetValue("ProgressBar", -1, 250);
    EXPECT_EQ(Widget<QProgressBar>(progress, "ProgressBar")->value(), 100);
    progress.SetCaption("42% von paket.msp heruntergeladen - Keldra Update Service");
    EXPECT_EQ(progress.Caption(), "42% von paket.msp heruntergeladen - Keldra Update Service");
    EXPECT_EQ(progress.Window()->windowTitle(),
              QString::fromUtf8("42% von paket.msp heruntergeladen - Keldra Update Service"));
}

// Every window as the user sees it, written to the build folder for the docs.
TEST_F(QtFormRendererTest, EveryWindowRendersToAPicture) {
    const QString folder = QStringLiteral(KDAU_BINARY_DIR "/qtui-screenshots");
    ASSERT_TRUE(QDir().mkpath(folder));
    RecordingForm forms[5];

    QtFormView& reminder = Load(InstallLastUpdateForm(), forms[0]);
    reminder.SetPicture("imgIcon", resources.LoadResourcePicture("IC_QUESTION", 32, 1, 0, 0, 0));
    reminder.SetText("lblMessage", -1,
                     "Ein Update, das Sie zuvor downgeloadet haben, wurde noch nicht installiert: "
                     "'Keldra Office 2024 Service Pack 1'\r\n\r\nSoll das Update jetzt "
                     "installiert werden?");

    QtFormView& notice = Load(CheckMessagesForm(), forms[1]);
    notice.SetPicture("imgIcon", resources.LoadResourcePicture("AAA", 32, 1, 0, 0, 0));

    Load(AfterDownloadForm(), forms[2]);

    QtFormView& download = Load(DownloadForm(), forms[3]);
    auto player = download.CreateAnimation("picAnim");
    ASSERT_NE(player, nullptr);
    player->SetOptions(true, false, true);
    EXPECT_TRUE(player->Open("101"));
    download.SetValue("ProgressBar", -1, 42);
    download.SetText("lblMessage", -1, "2 Min., 10 Sek. (8,4 MB von 20,0 MB übertragen)");
    download.SetText("lblTransferMessage", -1, "65,3 KB/Sek.");
    download.SetCaption("42% von KeldraOffice2024SP1.msp heruntergeladen - Keldra Update Service");

    Load(MessagesForm(), forms[4]);

    for (QtFormView* view : renderer.Views()) {
        view->SetWindowIcon(resources.LoadResourcePicture("AAA", 16, 1, 0, 0, 0));
        view->ShowModeless(0);
        const QString path = folder + "/" + QString::fromStdString(view->Name()) + ".png";
        QFile::remove(path);
        ASSERT_TRUE(renderer.Grab(view->Name(), path.toStdString())) << path.toStdString();
        const QImage picture(path);
        ASSERT_FALSE(picture.isNull()) << path.toStdString();
        // The client area under a drawn title bar, inside a one-pixel border.
        const QSize client = view->Window()->size();
        const double ratio = view->Window()->devicePixelRatioF();
        EXPECT_EQ(picture.width(), std::lround((client.width() + 2) * ratio));
        EXPECT_GT(picture.height(), std::lround((client.height() + 2) * ratio));
    }
    EXPECT_FALSE(renderer.Grab("noSuchForm", (folder + "/none.png").toStdString()));
    EXPECT_FALSE(QFile::exists(folder + "/none.png"));
}

} // namespace
