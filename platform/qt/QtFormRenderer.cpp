#include "platform/qt/QtFormRenderer.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "platform/qt/QtFormView.h"
#include "platform/qt/QtTwips.h"
#include "platform/qt/QtWindowPicture.h"

namespace KDAutoUpdate {

namespace {
bool HaveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

QMessageBox::Icon BoxIcon(MsgBoxIcon icon) {
    switch (icon) {
    case MsgBoxIcon::Critical:
        return QMessageBox::Critical;
    case MsgBoxIcon::Question:
        return QMessageBox::Question;
    case MsgBoxIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgBoxIcon::Information:
        return QMessageBox::Information;
    case MsgBoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

struct BoxButton {
    MsgBoxResult result;
    const char* label;
    QMessageBox::ButtonRole role;
};

std::vector<BoxButton> ButtonsOf(MsgBoxButtons buttons) {
    const BoxButton ok{MsgBoxResult::OK, "OK", QMessageBox::AcceptRole};
    const BoxButton cancel{MsgBoxResult::Cancel, "Abbrechen", QMessageBox::RejectRole};
    const BoxButton yes{MsgBoxResult::Yes, "&Ja", QMessageBox::YesRole};
    const BoxButton no{MsgBoxResult::No, "&Nein", QMessageBox::NoRole};
    switch (buttons) {
    case MsgBoxButtons::OK:
        return {ok};
    case MsgBoxButtons::OKCancel:
        return {ok, cancel};
    case MsgBoxButtons::YesNo:
        return {yes, no};
    case MsgBoxButtons::YesNoCancel:
        return {yes, no, cancel};
    }
    return {ok};
}
} // namespace

QtFormRenderer::QtFormRenderer(IEventLoop& loop, IResourceLibrary* resources,
                               BrowserFactory browserFactory)
    : m_loop(loop), m_resources(resources), m_browserFactory(std::move(browserFactory)) {}

QtFormRenderer::~QtFormRenderer() {
    for (QtFormView* view : m_views)
        view->m_renderer = nullptr;
}

void QtFormRenderer::Unregister(const QtFormView* view) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

QtFormView* QtFormRenderer::Find(const std::string& formName) const {
    for (auto it = m_views.rbegin(); it != m_views.rend(); ++it)
        if ((*it)->Name() == formName)
            return *it;
    return nullptr;
}

std::unique_ptr<IFormView> QtFormRenderer::CreateView(const FormDef& def, IFormEvents& events) {
    if (!HaveWidgets())
        return nullptr;
    try {
        auto view = std::make_unique<QtFormView>(*this, def, events);
        if (!view->Window())
            return nullptr;
        m_views.push_back(view.get());
        return view;
    } catch (...) {
        return nullptr;
    }
}

MsgBoxResult QtFormRenderer::MsgBox(const std::string& text, MsgBoxButtons buttons, MsgBoxIcon icon,
                                    const std::string& title) {
    const std::vector<BoxButton> offered = ButtonsOf(buttons);
    const std::string shownTitle = title.empty() ? kApplicationTitle : title;
    if (m_monitor) {
        if (const std::optional<MsgBoxResult> answer = m_monitor->MessageBox(text, shownTitle)) {
            m_monitor->MessageBoxAnswered(text, shownTitle, *answer);
            return *answer;
        }
    }
    // Nothing can be asked without widgets: the answer is the box's first button.
    if (!HaveWidgets())
        return offered.front().result;
    try {
        // Over the window that waits modally, else the active one; centred on it.
        QWidget* parent = QApplication::activeModalWidget();
        if (!parent)
            parent = QApplication::activeWindow();
        QMessageBox box(parent);
        box.setWindowTitle(QString::fromStdString(title.empty() ? kApplicationTitle : title));
        box.setTextFormat(Qt::PlainText);
        box.setText(QString::fromStdString(text));
        box.setIcon(BoxIcon(icon));
        if (m_resources)
            if (PicturePtr picture = m_resources->LoadResourcePicture("AAA", 16)) {
                QPixmap pixmap;
                if (pixmap.loadFromData(reinterpret_cast<const uchar*>(picture->data.data()),
                                        static_cast<uint>(picture->data.size())))
                    box.setWindowIcon(QIcon(pixmap));
            }
        std::vector<std::pair<QPushButton*, MsgBoxResult>> made;
        QPushButton* escape = nullptr;
        for (const BoxButton& b : offered) {
            QPushButton* button = box.addButton(QString::fromUtf8(b.label), b.role);
            made.emplace_back(button, b.result);
            if (b.result == MsgBoxResult::Cancel || (!escape && b.result == MsgBoxResult::No))
                escape = button;
        }
        box.setDefaultButton(made.front().first);
        if (offered.size() == 1)
            escape = made.front().first;
        box.setEscapeButton(escape);
        box.exec();
        const QAbstractButton* clicked = box.clickedButton();
        MsgBoxResult answer = offered.front().result;
        bool found = false;
        for (const auto& [button, result] : made)
            if (button == clicked) {
                answer = result;
                found = true;
            }
        // Closed without a button (the application quit meanwhile): the escape answer.
        if (!found)
            for (const auto& [button, result] : made)
                if (button == escape)
                    answer = result;
        if (m_monitor)
            m_monitor->MessageBoxAnswered(text, shownTitle, answer);
        return answer;
    } catch (...) {
        return offered.front().result;
    }
}

TwipRect QtFormRenderer::Screen() const {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return {};
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    return PixelsToTwips(screen->availableGeometry(), PrimaryScreenDpi());
}

bool QtFormRenderer::Grab(const std::string& formName, const std::string& pngPath) const {
    const QtFormView* view = Find(formName);
    if (!view || !view->Window() || pngPath.empty())
        return false;
    try {
        const QImage picture = QtWindowPicture(view->Window());
        return !picture.isNull() && picture.save(QString::fromStdString(pngPath), "PNG");
    } catch (...) {
        return false;
    }
}

} // namespace KDAutoUpdate
