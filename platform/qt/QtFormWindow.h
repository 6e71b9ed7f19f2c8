#pragma once
// The top-level widget of a form. It never closes or hides itself: the close box, Enter, Esc
// and resizing go to its listener (the view), which hands them to the form.
//
// A plain QWidget, not a QDialog: a QDialog centres itself when first shown and answers Esc
// and the close box with reject(); here the window system places windows that ask for it,
// and the form alone decides what a close box or Esc does.

#include <QWidget>

#include "platform/FormDefinition.h"

namespace KDAutoUpdate {

class QtFormWindow final : public QWidget {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void WindowCloseRequested() = 0;
        virtual void WindowResized() = 0;
        // Enter: answers true when a default button took it.
        virtual bool WindowEnterPressed() = 0;
        virtual void WindowEscapePressed() = 0;
    };

    explicit QtFormWindow(Qt::WindowFlags flags);

    // Null detaches the window: nothing reaches a listener after that.
    void SetListener(Listener* listener) { m_listener = listener; }
    // The first place of the window: centred on the screen (also for CenterOwner, which
    // showing moves onto its owner), its top left corner, or where the window system puts it.
    void PlaceOnScreen(StartUpPosition position);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Listener* m_listener = nullptr;
};

} // namespace KDAutoUpdate
