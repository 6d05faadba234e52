#pragma once
// The main window's client area: button-face background and the help icon, drawn off screen
// and copied to the window in one transfer.
#include <windows.h>

#include <cstdint>

#include "core/geometry.h"
#include "runtime/gdiplus_win.h"

namespace oz {

// Handles WM_PAINT. clientWidth and clientHeight are the size last reported by WM_SIZE; when
// either is 0 (none yet, or minimised) the client area is measured and stored instead. A null
// icon leaves only the background. Returns 0.
LRESULT onPaint(HWND hwnd, std::int16_t& clientWidth, std::int16_t& clientHeight, const Rect& iconRect,
                GpImage* icon);

}  // namespace oz
