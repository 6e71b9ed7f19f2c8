#pragma once
// A browser control's events as lines ("complete 1 <url>"), answered as the messages window
// answers them: alerts handled; reload, full screen, Esc and modified keys kept from the page.

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/BrowserControl.h"

namespace KDAutoUpdate {

class BrowserEventRecorder : public IBrowserEvents {
public:
    using Lines = std::vector<std::string>;
    Lines lines;
    bool alertHandled = true;
    bool cancelNewWindow = false;
    // The handlers of keys and new windows throw after they recorded the event.
    bool throwing = false;
    // Set around a Navigate call: an event raised meanwhile sets raisedInsideNavigate.
    bool insideNavigate = false;
    bool raisedInsideNavigate = false;
    // Runs after each event is noted, as the window's handlers do.
    std::function<void()> onNote;

    int Count(const std::string& prefix) const {
        return int(std::count_if(lines.begin(), lines.end(),
                                 [&](const std::string& l) { return l.starts_with(prefix); }));
    }

    void DocumentComplete(short id, const std::string& url) override { Note("complete", id, url); }
    void NavigateError(short id, const std::string& url, long statusCode, bool&) override {
        Note("error", id, url + " " + std::to_string(statusCode));
    }
    void ShowMessage(short id, const std::string& text, const std::string&,
                     bool& handled) override {
        Note("message", id, text);
        handled = alertHandled;
    }
    void NewWindow3(short id, bool& cancel, const std::string& url) override {
        Note("newwindow", id, url);
        cancel = cancelNewWindow;
        if (throwing)
            throw std::runtime_error("host");
    }
    void TranslateAccelerator(short id, int keyCode, int modifiers, bool& handled) override {
        Note("key", id, std::to_string(keyCode) + " " + std::to_string(modifiers));
        if (throwing)
            throw std::runtime_error("host");
        handled = modifiers > 0 || keyCode == 27 || keyCode == 116 || keyCode == 122;
    }

private:
    void Note(const std::string& kind, short id, const std::string& rest) {
        raisedInsideNavigate = raisedInsideNavigate || insideNavigate;
        lines.push_back(kind + " " + std::to_string(id) + " " + rest);
        if (onNote)
            onNote();
    }
};

} // namespace KDAutoUpdate
