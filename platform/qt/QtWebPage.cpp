#include "platform/qt/QtWebPage.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QWebChannel>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include "platform/qt/QtPageBridge.h"

namespace KDAutoUpdate {

namespace {

constexpr auto kControlWorld = QWebEngineScript::ApplicationWorld;

// Runs in the control's isolated world of every document, after qwebchannel.js. The page's own
// scripts share the DOM with it but none of its variables.
constexpr const char* kPageScript = R"js(
(function () {
  'use strict';
  if (window.__kdau)
    return;
  var state = { generation: 0, listening: false, seq: 0, pending: {}, bridge: null, queue: [] };

  // Element-child indices from <html> down to the element; null for an element outside it.
  function pathOf(element) {
    var path = [];
    var node = element;
    while (node && node !== document.documentElement) {
      var index = 0;
      for (var sibling = node.previousElementSibling; sibling; sibling = sibling.previousElementSibling)
        ++index;
      path.unshift(index);
      node = node.parentElement;
    }
    return node ? path : null;
  }

  function find(id, path) {
    if (id)
      return document.getElementById(id);
    var node = document.documentElement;
    for (var i = 0; node && path && i < path.length; ++i)
      node = node.children[path[i]];
    return node || null;
  }

  function send(report) {
    if (state.bridge)
      state.bridge.report(JSON.stringify(report));
    else
      state.queue.push(report);
  }

  function toggles(element) {
    return element.localName === 'input' && !element.disabled &&
           (element.type === 'checkbox' || element.type === 'radio');
  }

  function reportOf(target, seq) {
    var attributes = [];
    for (var i = 0; i < target.attributes.length; ++i)
      attributes.push([target.attributes[i].name, target.attributes[i].value]);
    var toggling = toggles(target);
    return { generation: state.generation, seq: seq, id: target.id, path: pathOf(target),
             tag: target.localName, attributes: attributes, toggles: toggling,
             checked: toggling ? target.checked : false };
  }

  // Capturing, so it runs before the page's own listeners. A check box has already changed its
  // state when click listeners run; preventDefault puts it back after the dispatch.
  document.addEventListener('click', function (event) {
    var target = event.target;
    if (!(target instanceof Element))
      return;
    if (state.listening) {
      event.preventDefault();
      var report = reportOf(target, ++state.seq);
      state.pending[report.seq] = { target: target, toggles: report.toggles, checked: report.checked };
      send(report);
    } else if (toggles(target)) {
      // Nobody decides about this click: only its final state is of interest.
      setTimeout(function () { send(reportOf(target, 0)); }, 0);
    }
  }, true);

  function answer(generation, seq, keep) {
    var click = state.pending[seq];
    delete state.pending[seq];
    if (generation !== state.generation || !click || !keep)
      return;
    var target = click.target;
    if (click.toggles) {
      if (target.checked !== click.checked) {
        target.checked = click.checked;
        target.dispatchEvent(new Event('input', { bubbles: true }));
        target.dispatchEvent(new Event('change', { bubbles: true }));
      }
      return;
    }
    var link = target.closest('a[href], area[href]');
    if (link) {
      var frame = (link.getAttribute('target') || '').toLowerCase();
      if (frame && frame !== '_self' && frame !== '_top' && frame !== '_parent')
        window.open(link.href, frame);
      else
        location.href = link.href;
      return;
    }
    var label = target.closest('label');
    if (label && label.control && label.control !== target) {
      label.control.click();
      return;
    }
    var submitter = target.closest('button, input');
    if (submitter && submitter.form && !submitter.disabled &&
        (submitter.type === 'submit' || submitter.type === 'image'))
      submitter.form.requestSubmit(submitter);
  }

  window.__kdau = {
    bind: function (generation) {
      state.generation = generation;
      state.listening = false;
      state.pending = {};
    },
    listen: function (generation) {
      if (generation === state.generation)
        state.listening = true;
    },
    answer: answer,
    apply: function (generation, id, path, operation, value) {
      if (generation !== state.generation)
        return;
      var element = find(id, path);
      if (!element)
        return;
      try {
        if (operation === 'attribute')
          element.setAttribute(value[0], value[1]);
        else if (operation === 'html')
          element.innerHTML = value;
        else if (operation === 'color')
          element.style.color = value;
      } catch (e) {
      }
    }
  };

  if (window.qt && qt.webChannelTransport)
    new QWebChannel(qt.webChannelTransport, function (channel) {
      state.bridge = channel.objects.kdauBridge;
      var queued = state.queue;
      state.queue = [];
      queued.forEach(send);
    });
})();
)js";

// DOCHOSTUIFLAG bits that shape the page.
constexpr long kFlagDialog = 0x1;
constexpr long kFlagScrollNo = 0x8;
constexpr auto kHostFlagsScript = "kdau-host-flags";

bool IsReroutedScheme(const QString& scheme) {
    return scheme == u"http" || scheme == u"https" || scheme == u"res";
}

} // namespace

QtWebPage::QtWebPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent), m_channel(new QWebChannel(this)),
      m_bridge(new QtPageBridge(this)) {
    QWebEngineScript script;
    script.setName(QStringLiteral("kdau-page-script"));
    script.setWorldId(kControlWorld);
    script.setInjectionPoint(QWebEngineScript::DocumentReady);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(InjectedScript());
    scripts().insert(script);

    m_channel->registerObject(QString::fromLatin1(QtPageBridge::kName), m_bridge);
    setWebChannel(m_channel, kControlWorld);
    connect(m_bridge, &QtPageBridge::clickReported, this, &QtWebPage::clickReported);
}

QString QtWebPage::InjectedScript() {
    // qwebchannel.js ships inside Qt WebEngine; the page script needs its QWebChannel class.
    static const QString source = [] {
        QFile channelScript(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
        QString text;
        if (channelScript.open(QIODevice::ReadOnly))
            text = QString::fromUtf8(channelScript.readAll());
        return text + QStringLiteral("\n") + QString::fromUtf8(kPageScript);
    }();
    return source;
}

void QtWebPage::SetHostFlags(long flags) {
    QString css;
    if (flags & kFlagDialog)
        css += QStringLiteral(":root, :root *:not(input):not(textarea) { user-select: none; } ");
    if (flags & kFlagScrollNo)
        css += QStringLiteral(":root { overflow: hidden; } ");
    const QString json =
        QString::fromUtf8(QJsonDocument(QJsonArray{css}).toJson(QJsonDocument::Compact));
    // One style element of the control per document, replaced when the flags change.
    const QString source =
        QStringLiteral(
            "(function (css) { var id = 'kdau-host-flags', style = document.getElementById(id);"
            " if (!style) { style = document.createElement('style'); style.id = id;"
            " (document.head || document.documentElement).appendChild(style); }"
            " style.textContent = css; })(%1[0]);")
            .arg(json);
    for (const QWebEngineScript& old : scripts().find(QString::fromLatin1(kHostFlagsScript)))
        scripts().remove(old);
    QWebEngineScript script;
    script.setName(QString::fromLatin1(kHostFlagsScript));
    script.setWorldId(kControlWorld);
    script.setInjectionPoint(QWebEngineScript::DocumentReady);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(source);
    scripts().insert(script);
    RunInControlWorld(source);
}

void QtWebPage::RunInControlWorld(const QString& script) {
    runJavaScript(script, kControlWorld);
}

void QtWebPage::EvaluateInControlWorld(const QString& script,
                                       std::function<void(const QVariant&)> done) {
    runJavaScript(script, kControlWorld, [done = std::move(done)](const QVariant& result) {
        if (done)
            done(result);
    });
}

QString QtWebPage::Call(const QString& function, const QJsonArray& arguments) {
    const QString json = QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Compact));
    // One pass of arg(): a '%' in the JSON is not taken for a place marker.
    return QStringLiteral("window.__kdau && window.__kdau.%1.apply(null, %2);").arg(function, json);
}

bool QtWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    // Typed: the control's own load or setContent. Form submissions (possibly POST), history
    // and reloads stay with the engine.
    if (!isMainFrame || type == NavigationTypeTyped)
        return true;
    const bool pageInitiated = type == NavigationTypeLinkClicked || type == NavigationTypeOther ||
                               type == NavigationTypeRedirect;
    if (pageInitiated && IsReroutedScheme(url.scheme().toLower())) {
        Q_EMIT pageNavigation(url);
        return false;
    }
    return true;
}

void QtWebPage::javaScriptAlert(const QUrl&, const QString& msg) {
    Q_EMIT scriptDialog(msg);
}

bool QtWebPage::javaScriptConfirm(const QUrl&, const QString& msg) {
    Q_EMIT scriptDialog(msg);
    return false;
}

bool QtWebPage::javaScriptPrompt(const QUrl&, const QString& msg, const QString&, QString*) {
    Q_EMIT scriptDialog(msg);
    return false;
}

void QtWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                         const QString&) {
    // The pages' console output is not the program's.
}

QWebEnginePage* QtWebPage::createWindow(WebWindowType) {
    // The control raises NewWindow3 from newWindowRequested; no view opens inside the window.
    return nullptr;
}

} // namespace KDAutoUpdate
