#pragma once
// A window described as data: one renderer per toolkit turns it into pixels, prompts or a
// scripted user. Positions and sizes are in twips (1/1440 inch; 15 twips are one pixel at 96 dpi).

#include <string>
#include <vector>

namespace KDAutoUpdate {

enum class ControlKind {
    Label,
    Button,
    CheckBox,
    OptionButton,
    Image,
    PictureBox,
    ButtonStrip, // a frame across the bottom that holds the dialog's buttons
    ProgressBar,
    Browser,   // a browser control placed inside a picture box
    Animation, // an animation surface
    Invisible  // a control without pixels (the download engine)
};

enum class BorderStyle { FixedDialog, Sizable };
enum class StartUpPosition { WindowsDefault, CenterScreen, CenterOwner, Manual };

struct ControlDef {
    std::string name;
    ControlKind kind = ControlKind::Label;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::string text; // "&" marks the access key
    bool isDefault = false;
    bool isCancel = false;
    int index = -1;     // position in a control array, -1 when not in one
    std::string parent; // containing strip or picture box, empty for the form itself
    int value = 0;      // initial check box / option button state, progress bar value
};

struct FormDef {
    std::string name;
    std::string caption;
    int clientWidth = 0;
    int clientHeight = 0;
    BorderStyle border = BorderStyle::FixedDialog;
    bool showInTaskbar = false;
    bool minButton = false;
    bool maxButton = false;
    StartUpPosition startUp = StartUpPosition::WindowsDefault;
    std::string fontName = "Tahoma";
    double fontSize = 8.25;
    std::vector<ControlDef> controls;

    const ControlDef* Find(const std::string& controlName, int index = -1) const {
        for (const auto& c : controls)
            if (c.name == controlName && c.index == index)
                return &c;
        return nullptr;
    }
};

} // namespace KDAutoUpdate
