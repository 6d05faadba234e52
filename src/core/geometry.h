#pragma once
// Where the help icon sits and whether the mouse is on it, in client coordinates.
#include <cstdint>

namespace oz {

// Same layout and meaning as the Win32 RECT: right and bottom lie just outside.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const Rect&) const = default;
};

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

inline constexpr int kIconSize = 18;

// The 18 x 18 icon 5 pixels right of the IP box, centred on it vertically (rounded toward zero).
Rect iconRectFor(int boxLeft, int boxTop, int boxWidth, int boxHeight);

// As PtInRect: left and top inclusive, right and bottom exclusive.
bool pointInRect(const Rect& rect, int x, int y);

// Mouse coordinates packed in lParam are signed 16-bit values (negative while the mouse is
// captured and outside the client area), as GET_X_LPARAM / GET_Y_LPARAM read them.
std::int16_t lowWordSigned(std::intptr_t lParam);
std::int16_t highWordSigned(std::intptr_t lParam);

// Screen position of the help popup: level with the main window's top, 5 pixels right of the icon.
Point popupPosition(int outerLeft, int outerTop, const Rect& iconRect);

}  // namespace oz
