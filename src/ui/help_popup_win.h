#pragma once
// The instruction popup: a borderless window owned by the main window, showing the
// instruction picture beside it while the pointer rests on the help icon.
#include <windows.h>

#include <string_view>

#include "runtime/gui_win.h"
#include "runtime/layout_win.h"

namespace oz {

inline constexpr std::string_view kHelpPictureBoxName = "图片框1";

// 653 x 282, hidden when loaded, no frame and no taskbar entry, dragged by its background; one
// picture box at (8, 8) that reaches past the popup's edges so the whole picture fits.
WindowLayout helpPopupLayout();

// Loads popup (not modal, owned by owner) unless it is loaded already, with the instruction
// picture from pictureModule's resources (null: the program file). Returns its window.
HWND loadHelpPopup(Window& popup, HWND owner, HMODULE pictureModule);

}  // namespace oz
