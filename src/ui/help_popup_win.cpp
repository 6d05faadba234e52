#include "ui/help_popup_win.h"

#include <string>

#include "ui/instruction_picture_win.h"

namespace oz {
namespace {

constexpr int kPictureBoxId = 101;

}  // namespace

WindowLayout helpPopupLayout() {
    WindowLayout layout;
    layout.width = 653;
    layout.height = 282;
    layout.style = WS_POPUP;
    layout.visible = false;
    layout.dragByBackground = true;
    layout.controls.push_back({.name = std::string(kHelpPictureBoxName), .kind = ControlKind::PictureBox, .left = 8,
                               .top = 8, .width = 648, .height = 280, .id = kPictureBoxId});
    return layout;
}

HWND loadHelpPopup(Window& popup, HWND owner, HMODULE pictureModule) {
    if (!popup.isLoaded()) {
        popup.load(owner);
        // Decoded afresh for each load: a reload only follows a popup that was destroyed.
        popup.control(kHelpPictureBoxName).setPicture(loadHelpPicture(pictureModule));
    }
    return popup.handle();
}

}  // namespace oz
