#pragma once
// What the automation shell needs of a user interface to act as the user and to report what
// the user sees: one implementation over the scripted renderer, one over real windows.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/FormView.h"

namespace KDAutoUpdate {

// An element of the message page: by id ("#cmdClose") or by attribute values.
struct PageTarget {
    std::string id;
    std::vector<std::pair<std::string, std::string>> attributes;
};

class UiDriver {
public:
    struct FormSnapshot {
        std::string name;
        std::string caption;
        // Controls with text, in the form's order: "name" or "name(index)", text.
        std::vector<std::pair<std::string, std::string>> texts;
    };

    class Observer {
    public:
        virtual ~Observer() = default;
        virtual void FormShown(const FormSnapshot& form, bool modal) = 0;
        virtual void FormHidden(const std::string& formName) = 0;
        virtual void FormUnloaded(const std::string& formName) = 0;
        virtual void MessageBoxShown(const std::string& text, const std::string& title,
                                     MsgBoxResult answer) = 0;
        virtual void ModalTimedOut(const std::string& formName) = 0;
    };

    virtual ~UiDriver() = default;
    virtual void SetObserver(Observer* observer) = 0;

    // A loaded form's caption and a control's text; empty when it is not loaded.
    virtual bool IsShown(const std::string& form) const = 0;
    virtual std::string Caption(const std::string& form) const = 0;
    virtual std::string Text(const std::string& form, const std::string& control) const = 0;

    // The user's actions; false when the form or control is not there.
    virtual bool Click(const std::string& form, const std::string& control, int index) = 0;
    virtual bool SetChecked(const std::string& form, const std::string& control, bool checked,
                            int index) = 0;
    virtual bool Close(const std::string& form) = 0;
    virtual bool PressEnter(const std::string& form) = 0;
    virtual bool PressEscape(const std::string& form) = 0;
    // Clicks an element of the page shown in `form`; false when there is none.
    virtual bool ClickPage(const std::string& form, const PageTarget& target) = 0;

    // Answers for the next modal showing of `form`, run in order once it is shown.
    virtual void QueueModalAction(const std::string& form, std::function<void()> action) = 0;
    virtual void QueueMsgBoxAnswer(MsgBoxResult answer) = 0;
};

// What a shown form looks like: its caption and every control that has text, in the
// definition's order. `View` is a renderer's view with Name, Caption, Def and Text.
template <class View> UiDriver::FormSnapshot SnapshotOf(const View& view) {
    UiDriver::FormSnapshot snapshot{view.Name(), view.Caption(), {}};
    for (const auto& c : view.Def().controls) {
        const std::string text = view.Text(c.name, c.index);
        if (!text.empty())
            snapshot.texts.emplace_back(
                c.index >= 0 ? c.name + "(" + std::to_string(c.index) + ")" : c.name, text);
    }
    return snapshot;
}

} // namespace KDAutoUpdate
