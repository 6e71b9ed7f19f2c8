#pragma once
// The object the page script of QtWebPage reaches over QWebChannel (in its isolated world only):
// it hands each click report, a JSON text, to the browser control.

#include <QObject>
#include <QString>

namespace KDAutoUpdate {

class QtPageBridge final : public QObject {
    Q_OBJECT
public:
    // The name under which the page script finds this object.
    static constexpr const char* kName = "kdauBridge";

    using QObject::QObject;

public Q_SLOTS:
    void report(const QString& json) { Q_EMIT clickReported(json); }

Q_SIGNALS:
    void clickReported(const QString& json);
};

} // namespace KDAutoUpdate
