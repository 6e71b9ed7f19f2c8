#pragma once

#include <optional>
// The Qt Widgets renderer: turns any form definition into a top-level window (see QtFormView)
// and shows message boxes. Everything runs on the GUI thread; nothing throws.
//
// Window handles are the windows' native ids (QWidget::winId). An owner handle that belongs
// to a widget of this process becomes the window's transient parent; any other handle is only
// remembered.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/BrowserControl.h"
#include "platform/EventLoop.h"
#include "platform/FormView.h"
#include "platform/ResourceLibrary.h"

class QWidget;

namespace KDAutoUpdate {

class QtFormView;

class QtFormRenderer final : public IFormRenderer {
public:
    // Makes the browser control of a form inside `container` (a picture box of the form); the
    // control places itself there. The container and everything in it is deleted, later, with
    // the window, so the control must hold its widgets by QPointer.
    using BrowserFactory = std::function<std::unique_ptr<IBrowserControl>(QWidget* container)>;

    static constexpr const char* kApplicationTitle = "Keldra Update Service";

    // Watches the windows for a driver that acts as the user (the demo, the shell with real
    // windows): what is shown, hidden and unloaded, and the message boxes.
    class Monitor {
    public:
        virtual ~Monitor() = default;
        virtual void FormShown(QtFormView& view, bool modal) = 0;
        virtual void FormHidden(QtFormView& view) = 0;
        virtual void FormUnloaded(const std::string& formName) = 0;
        // Answers the box without showing it, or nullopt to let the user answer.
        virtual std::optional<MsgBoxResult> MessageBox(const std::string& text,
                                                       const std::string& title) = 0;
        virtual void MessageBoxAnswered(const std::string& text, const std::string& title,
                                        MsgBoxResult answer) = 0;
    };
    void SetMonitor(Monitor* monitor) { m_monitor = monitor; }
    Monitor* GetMonitor() const { return m_monitor; }

    QtFormRenderer(IEventLoop& loop, IResourceLibrary* resources,
                   BrowserFactory browserFactory = {});
    ~QtFormRenderer() override;
    QtFormRenderer(const QtFormRenderer&) = delete;
    QtFormRenderer& operator=(const QtFormRenderer&) = delete;

    // The newest loaded (not destroyed) view of a form; null when there is none.
    QtFormView* Find(const std::string& formName) const;
    std::vector<QtFormView*> Views() const { return m_views; }
    // Renders the newest loaded window of a form, shown or not, into a PNG file. The picture
    // shows the client area under a drawn title bar with the window's icon and caption, the
    // way the window appears on a desktop.
    bool Grab(const std::string& formName, const std::string& pngPath) const;

    IEventLoop& Loop() const { return m_loop; }
    IResourceLibrary* Resources() const { return m_resources; }
    const BrowserFactory& Browsers() const { return m_browserFactory; }

    // IFormRenderer
    std::unique_ptr<IFormView> CreateView(const FormDef& def, IFormEvents& events) override;
    // German buttons ("OK", "Abbrechen", "Ja", "Nein"); Yes or OK is the default button; Esc
    // answers Cancel, or No in a Yes/No box. An empty title means the application title.
    MsgBoxResult MsgBox(const std::string& text, MsgBoxButtons buttons, MsgBoxIcon icon,
                        const std::string& title) override;
    // The primary screen's available area (without panels) in twips; empty without a screen.
    TwipRect Screen() const override;

private:
    friend class QtFormView;
    void Unregister(const QtFormView* view);

    IEventLoop& m_loop;
    IResourceLibrary* m_resources;
    BrowserFactory m_browserFactory;
    std::vector<QtFormView*> m_views;
    Monitor* m_monitor = nullptr;
};

} // namespace KDAutoUpdate
