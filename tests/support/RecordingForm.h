#pragma once
// What a form would receive from its view, with optional reactions to clicks and the close box.

#include <functional>
#include <string>
#include <vector>

#include "platform/FormView.h"

namespace KDAutoUpdate {

class RecordingForm : public IFormEvents {
public:
    void OnClick(const std::string& control, int index) override {
        clicks.push_back(index < 0 ? control : control + "(" + std::to_string(index) + ")");
        if (onClick)
            onClick(control);
    }
    void OnCloseRequested(UnloadMode) override {
        ++closeRequests;
        if (onClose)
            onClose();
    }
    void OnResize() override { ++resizes; }
    void OnControlResize(const std::string& control) override { controlResizes.push_back(control); }

    std::vector<std::string> clicks; // "control", or "control(index)" in a control array
    int closeRequests = 0;
    int resizes = 0;
    std::vector<std::string> controlResizes;
    std::function<void(const std::string&)> onClick;
    std::function<void()> onClose;
};

} // namespace KDAutoUpdate
