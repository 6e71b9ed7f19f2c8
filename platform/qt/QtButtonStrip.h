#pragma once
// The strip that holds a dialog's buttons across its bottom: a band a shade darker than the
// dialog, set off by an etched line along its top edge.

#include <QFrame>

namespace KDAutoUpdate {

class QtButtonStrip final : public QFrame {
public:
    explicit QtButtonStrip(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace KDAutoUpdate
