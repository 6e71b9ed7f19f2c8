#pragma once
// One page of the browser control on Qt WebEngine. Script dialogs never appear (they are
// reported instead), no page opens a window of its own, and page-initiated navigations of the
// main frame to http, https or res are stopped and reported, so the control can load them the
// way it loads every page.
//
// A script in an isolated world (QWebEngineScript::ApplicationWorld, invisible to the page's own
// scripts) is injected into every document. It reports clicks over QWebChannel and applies the
// control's element writes. Once `listen` is on for a document, it cancels each click's default
// action at once and re-applies it only when the control answers "keep": a check box or radio
// button gets the state of the click, a link is followed, a label passes the click to its
// control, a submit button submits its form. Elements are addressed by id, or by their path of
// element-child indices from <html>.

#include <QJsonArray>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>

#include <functional>

class QWebChannel;

namespace KDAutoUpdate {

class QtPageBridge;

class QtWebPage final : public QWebEnginePage {
    Q_OBJECT
public:
    QtWebPage(QWebEngineProfile* profile, QObject* parent);

    // The host's flags as the style of this page's documents, the shown one and every later
    // one: DIALOG (0x1) keeps the text from being selected, SCROLL_NO (0x8) takes the scroll
    // bars away. The flags without a counterpart here concern the hosting window only.
    void SetHostFlags(long flags);

    // Runs `script` in the isolated world of the control, without waiting for a result.
    void RunInControlWorld(const QString& script);
    // Runs `script` there and hands its result to `done` (not called if the page goes first).
    void EvaluateInControlWorld(const QString& script, std::function<void(const QVariant&)> done);

    // Script text that calls a function of the injected script ("bind", "listen", "answer",
    // "apply") with JSON arguments; it does nothing in a document without that script.
    static QString Call(const QString& function, const QJsonArray& arguments);

Q_SIGNALS:
    // A click report of the injected script (JSON: generation, seq, id, path, tag,
    // attributes, toggles, checked).
    void clickReported(const QString& json);
    // alert, confirm or prompt of a page script; nothing is shown.
    void scriptDialog(const QString& text);
    // The page itself navigated its main frame to `url`; the navigation was stopped.
    void pageNavigation(const QUrl& url);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceID) override;
    QWebEnginePage* createWindow(WebWindowType type) override;

private:
    static QString InjectedScript();

    QWebChannel* m_channel;
    QtPageBridge* m_bridge;
};

} // namespace KDAutoUpdate
