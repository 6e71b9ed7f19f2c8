#pragma once
// Where one DisplayMessages() round of kdau_bench_display spends its time: the events of the
// browser control pass through here on their way to the window, and the engine's own signals of
// both browsers (load started and ended) are taken as they come. Times are
// milliseconds since the round's DisplayMessages() call.

#include <QObject>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/BrowserControl.h"
#include "platform/qt/QtWebBrowserControl.h"

namespace KDAutoUpdate::Bench {

class DisplayPhases final : public IBrowserEvents {
public:
    // The phases in the order a round passes them.
    static const std::vector<std::string>& Names() {
        static const std::vector<std::string> names = {
            "DisplayMessages returned",
            "progress: engine load started",
            "progress: engine load ended",
            "progress: DocumentComplete",
            "page: service answered, load started",
            "page: engine load ended",
            "page: DocumentComplete",
            "page: island read, page in front",
        };
        return names;
    }

    explicit DisplayPhases(std::chrono::steady_clock::time_point start) : m_start(start) {
        Mark(0);
    }
    DisplayPhases(const DisplayPhases&) = delete;
    DisplayPhases& operator=(const DisplayPhases&) = delete;

    // Puts itself between the control and `window`, the receiver of its events.
    void Attach(QtWebBrowserControl& control, IBrowserEvents& window, short page, short progress) {
        m_window = &window;
        m_page = page;
        control.SetEvents(this);
        Watch(control.View(progress), 1);
        Watch(control.View(page), 4);
    }

    const std::map<std::size_t, double>& Times() const { return m_times; }

    void DocumentComplete(short id, const std::string& url) override {
        Mark(id == m_page ? 6 : 3);
        m_window->DocumentComplete(id, url);
        if (id == m_page)
            Mark(7);
    }
    void NavigateError(short id, const std::string& url, long statusCode, bool& cancel) override {
        m_window->NavigateError(id, url, statusCode, cancel);
    }
    void ShowMessage(short id, const std::string& text, const std::string& caption,
                     bool& handled) override {
        m_window->ShowMessage(id, text, caption, handled);
    }
    void NewWindow3(short id, bool& cancel, const std::string& url) override {
        m_window->NewWindow3(id, cancel, url);
    }
    void TranslateAccelerator(short id, int keyCode, int modifiers, bool& handled) override {
        m_window->TranslateAccelerator(id, keyCode, modifiers, handled);
    }

private:
    // Phases `first` (load started) and `first` + 1 (load ended).
    void Watch(QWebEngineView* view, std::size_t first) {
        QWebEnginePage* page = view ? view->page() : nullptr;
        if (!page)
            return;
        QObject::connect(page, &QWebEnginePage::loadingChanged, &m_context,
                         [this, first](const QWebEngineLoadingInfo& info) {
                             if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
                                 Mark(first);
                             else if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus)
                                 Mark(first + 1);
                         });
    }

    // The first time a phase is reached counts.
    void Mark(std::size_t phase) {
        if (m_times.count(phase))
            return;
        m_times[phase] = std::chrono::duration<double, std::milli>(
                             std::chrono::steady_clock::now() - m_start)
                             .count();
    }

    std::chrono::steady_clock::time_point m_start;
    IBrowserEvents* m_window = nullptr;
    short m_page = 0;
    std::map<std::size_t, double> m_times;
    QObject m_context; // the engine's signals reach this object only while it lives
};

} // namespace KDAutoUpdate::Bench
