#include "platform/qt/QtFormControl.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cmath>

#include "platform/qt/QtButtonStrip.h"

namespace KDAutoUpdate {

namespace {
constexpr double kPictureDpi = 96; // resource pictures are made for 96 dpi
constexpr int kProgressMax = 100;
constexpr double kGrey = 2; // a check box's third state

// Labels break lines themselves; a lone CR or a CR LF pair is one line break.
QString LabelText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}
} // namespace

QPixmap QtFormControl::PixmapOf(const PicturePtr& picture) {
    QPixmap pixmap;
    if (picture && !picture->data.empty())
        pixmap.loadFromData(reinterpret_cast<const uchar*>(picture->data.data()),
                            static_cast<uint>(picture->data.size()));
    return pixmap;
}

QWidget* QtFormControl::Create(QWidget* container, QButtonGroup* group,
                               std::function<void()> onClick, const QtDpi& dpi) {
    QAbstractButton* button = nullptr;
    QWidget* made = nullptr;
    switch (def->kind) {
    case ControlKind::Label:
    case ControlKind::Image: {
        auto* label = new QLabel(container);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        made = label;
        break;
    }
    case ControlKind::Button: {
        auto* push = new QPushButton(container);
        // Enter presses a focused button, as in the window toolkits' dialogs.
        push->setAutoDefault(true);
        push->setDefault(def->isDefault);
        made = button = push;
        break;
    }
    case ControlKind::CheckBox:
        made = button = new QCheckBox(container);
        break;
    case ControlKind::OptionButton: {
        auto* option = new QRadioButton(container);
        if (group)
            group->addButton(option);
        made = button = option;
        break;
    }
    case ControlKind::PictureBox:
    case ControlKind::Animation:
        made = new QWidget(container);
        break;
    case ControlKind::ButtonStrip:
        made = new QtButtonStrip(container);
        break;
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(container);
        bar->setRange(0, kProgressMax);
        bar->setTextVisible(false);
        made = bar;
        break;
    }
    case ControlKind::Browser:   // made by CreateBrowser inside its picture box
    case ControlKind::Invisible: // no pixels
        return nullptr;
    }
    made->setObjectName(QString::fromStdString(def->name));
    widget = made;
    if (button)
        clicked = QObject::connect(button, &QAbstractButton::clicked, button, std::move(onClick));
    ApplyText();
    ApplyValue();
    Place(dpi);
    return made;
}

void QtFormControl::Place(const QtDpi& dpi) {
    if (!widget)
        return;
    QRect geometry = TwipsToPixels(rect, dpi);
    const ControlKind kind = def->kind;
    if (kind == ControlKind::Label) {
        // A label of one line keeps it: a fallback font a little wider than the design's must
        // not push the end of the line onto an invisible second one.
        auto* label = static_cast<QLabel*>(widget.data());
        label->setWordWrap(geometry.height() >= 2 * label->fontMetrics().lineSpacing() - 1);
    } else if (kind == ControlKind::CheckBox || kind == ControlKind::OptionButton) {
        // Grown about its middle when the style's indicator needs more height than designed.
        const int needed = widget->sizeHint().height();
        if (needed > geometry.height()) {
            geometry.translate(0, -(needed - geometry.height()) / 2);
            geometry.setHeight(needed);
        }
    }
    widget->setGeometry(geometry);
}

void QtFormControl::ApplyText() {
    if (!widget)
        return;
    switch (def->kind) {
    case ControlKind::Label:
        static_cast<QLabel*>(widget.data())->setText(LabelText(text));
        break;
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::OptionButton:
        static_cast<QAbstractButton*>(widget.data())->setText(QString::fromStdString(text));
        break;
    default:
        break;
    }
}

void QtFormControl::ApplyValue() {
    if (!widget)
        return;
    switch (def->kind) {
    case ControlKind::CheckBox: {
        auto* box = static_cast<QCheckBox*>(widget.data());
        if (value == kGrey)
            box->setTristate(true);
        box->setCheckState(value == 0       ? Qt::Unchecked
                           : value == kGrey ? Qt::PartiallyChecked
                                            : Qt::Checked);
        break;
    }
    case ControlKind::OptionButton: {
        auto* option = static_cast<QRadioButton*>(widget.data());
        QButtonGroup* group = option->group();
        if (value != 0 || !option->isChecked()) {
            option->setChecked(value != 0);
        } else if (group) {
            // An exclusive group keeps one button checked; code may clear them all.
            group->setExclusive(false);
            option->setChecked(false);
            group->setExclusive(true);
        } else {
            option->setChecked(false);
        }
        break;
    }
    case ControlKind::ProgressBar: {
        const double clamped =
            std::clamp(std::isfinite(value) ? value : 0.0, 0.0, static_cast<double>(kProgressMax));
        static_cast<QProgressBar*>(widget.data())->setValue(static_cast<int>(std::lround(clamped)));
        break;
    }
    default:
        break;
    }
}

void QtFormControl::ApplyPicture(const QtDpi& dpi) {
    auto* label = def->kind == ControlKind::Image ? qobject_cast<QLabel*>(widget) : nullptr;
    if (!label)
        return;
    QPixmap pixmap = PixmapOf(picture);
    if (pixmap.isNull()) {
        label->clear();
        return;
    }
    // Pictures are drawn for 96 dpi; on other screens they grow with the layout, and never
    // beyond their control.
    QSize wanted(static_cast<int>(std::lround(pixmap.width() * dpi.x / kPictureDpi)),
                 static_cast<int>(std::lround(pixmap.height() * dpi.y / kPictureDpi)));
    const QSize room = label->size();
    if (room.width() > 0 && room.height() > 0 &&
        (wanted.width() > room.width() || wanted.height() > room.height()))
        wanted.scale(room, Qt::KeepAspectRatio);
    if (wanted != pixmap.size() && !wanted.isEmpty())
        pixmap = pixmap.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    label->setPixmap(pixmap);
}

double QtFormControl::ShownValue() const {
    if (widget && def->kind == ControlKind::CheckBox) {
        const Qt::CheckState state = static_cast<QCheckBox*>(widget.data())->checkState();
        return state == Qt::Unchecked ? 0.0 : state == Qt::PartiallyChecked ? kGrey : 1.0;
    }
    if (widget && def->kind == ControlKind::OptionButton)
        return static_cast<QRadioButton*>(widget.data())->isChecked() ? 1.0 : 0.0;
    return value;
}

} // namespace KDAutoUpdate
