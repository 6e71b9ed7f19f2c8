#pragma once
// One control of a QtFormView: its definition, its widget (none for the browser placeholder and
// invisible controls) and the state the form set, which the widget shows. Labels wrap when they
// are at least two lines high and show their text as it is; buttons, check boxes and option
// buttons keep "&" as access key; a check box's value 2 is its third state.

#include <functional>
#include <string>

#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include "platform/FormDefinition.h"
#include "platform/ResourceLibrary.h"
#include "platform/qt/QtTwips.h"

class QButtonGroup;
class QPixmap;

namespace KDAutoUpdate {

class QtFormControl {
public:
    const ControlDef* def = nullptr;
    QPointer<QWidget> widget;
    std::string text;
    double value = 0;
    TwipRect rect;
    PicturePtr picture;
    QMetaObject::Connection clicked;

    // Makes the widget inside `container`; option buttons join `group`. `onClick` runs after a
    // click of a button, check box or option button. Null for a control without pixels.
    QWidget* Create(QWidget* container, QButtonGroup* group, std::function<void()> onClick,
                    const QtDpi& dpi);
    void Place(const QtDpi& dpi);
    void ApplyText();
    void ApplyValue();
    void ApplyPicture(const QtDpi& dpi);
    // The value the user sees: check boxes and option buttons know their own state.
    double ShownValue() const;

    static QPixmap PixmapOf(const PicturePtr& picture);
};

} // namespace KDAutoUpdate
