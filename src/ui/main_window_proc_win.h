#pragma once
// The main window's replacement window procedure: it paints the client area with the help
// icon, and shows the instruction popup while the pointer rests on that icon.
#include <windows.h>

#include <cstdint>

#include "core/geometry.h"
#include "runtime/gdiplus_win.h"
#include "runtime/gui_win.h"

namespace oz {

// What the replacement procedure works with. It belongs to the main window: made by
// subclassMainWindow, freed when the window is destroyed. GUI thread only.
struct HelpIconState {
    HelpIconState(Control& ipBoxControl, GpImage* const* icon, HMODULE module);

    Window popup;
    HWND popupWindow = nullptr;  // the popup's window as last loaded; may outlive it
    Control& ipBox;
    GpImage* const* iconImage;  // read at each paint
    HMODULE pictureModule;
    std::int16_t clientWidth = 0;  // from the last WM_SIZE; 0 until then
    std::int16_t clientHeight = 0;
};

// Once, at the end of the main window's creation: its extended style becomes exactly
// WS_EX_APPWINDOW, mainWindowProc takes over (the previous procedure is kept in the "proc"
// property) and the popup is loaded hidden when the posted WM_CREATE arrives. iconImage must
// stay readable while the window lives; pictureModule holds the instruction picture (null: the
// program file).
void subclassMainWindow(Window& mainWindow, Control& ipBox, GpImage* const* iconImage, HMODULE pictureModule = nullptr);

// Handles WM_CREATE, WM_MOUSEMOVE, WM_NCMOUSELEAVE, WM_MOUSELEAVE, WM_PAINT and WM_SIZE; every
// other message goes to the previous procedure, and its result comes back unchanged.
LRESULT CALLBACK mainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Where the icon is now: beside the IP box, read afresh on every call.
Rect currentIconRect(const Control& ipBox);

// The state of a subclassed window; null for any other window.
HelpIconState* helpIconState(HWND mainWindow);

}  // namespace oz
