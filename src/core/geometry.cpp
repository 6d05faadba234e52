#include "core/geometry.h"

namespace oz {
namespace {

constexpr int kIconGap = 5;

// The conversion to 16 bits keeps the low word; C++20 defines the signed reading as two's complement.
std::int16_t signedWord(std::uintptr_t bits) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(bits)); }

}  // namespace

Rect iconRectFor(int boxLeft, int boxTop, int boxWidth, int boxHeight) {
    const int left = boxLeft + boxWidth + kIconGap;
    // Integer division truncates toward zero, as the centring must.
    const int top = boxTop + (boxHeight - kIconSize) / 2;
    return {left, top, left + kIconSize, top + kIconSize};
}

bool pointInRect(const Rect& rect, int x, int y) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

std::int16_t lowWordSigned(std::intptr_t lParam) { return signedWord(static_cast<std::uintptr_t>(lParam)); }

std::int16_t highWordSigned(std::intptr_t lParam) { return signedWord(static_cast<std::uintptr_t>(lParam) >> 16); }

Point popupPosition(int outerLeft, int outerTop, const Rect& iconRect) {
    return {outerLeft + iconRect.right + kIconGap, outerTop};
}

}  // namespace oz
