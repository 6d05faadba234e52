#include "core/colour.h"
#include "core/geometry.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace oz {
namespace {

TEST(IconRect, RightOfTheBoxAndCentredOnIt) {
    EXPECT_EQ(iconRectFor(104, 16, 136, 20), (Rect{245, 17, 263, 35}));
    EXPECT_EQ(iconRectFor(0, 0, 0, 18), (Rect{5, 0, 23, 18}));
    EXPECT_EQ(iconRectFor(0, 10, 10, 21), (Rect{15, 11, 33, 29}));  // 1.5 -> 1
    // A box lower than the icon: -0.5 truncates toward zero, not down to -1.
    EXPECT_EQ(iconRectFor(0, 10, 10, 17), (Rect{15, 10, 33, 28}));
    EXPECT_EQ(iconRectFor(0, 10, 10, 15), (Rect{15, 9, 33, 27}));  // -1.5 -> -1
}

TEST(PointInRect, LeftAndTopInsideRightAndBottomOutside) {
    const Rect icon = iconRectFor(104, 16, 136, 20);
    const struct {
        int x, y;
        bool inside;
    } cases[] = {
        {245, 17, true}, {262, 34, true}, {250, 20, true},  {263, 20, false}, {250, 35, false},
        {244, 20, false}, {250, 16, false}, {263, 35, false}, {-1, -1, false}, {-250, 20, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_EQ(pointInRect(icon, c.x, c.y), c.inside);
    }
}

TEST(MouseLParam, WordsAreSigned16Bit) {
    const auto pack = [](std::uint16_t low, std::uint16_t high) {
        return static_cast<std::intptr_t>(std::uint32_t{high} << 16 | low);
    };
    EXPECT_EQ(lowWordSigned(pack(250, 20)), 250);
    EXPECT_EQ(highWordSigned(pack(250, 20)), 20);
    EXPECT_EQ(lowWordSigned(pack(0xFFFF, 0xFFF6)), -1);
    EXPECT_EQ(highWordSigned(pack(0xFFFF, 0xFFF6)), -10);
    EXPECT_EQ(lowWordSigned(pack(0x8000, 0x7FFF)), -32768);
    EXPECT_EQ(highWordSigned(pack(0x8000, 0x7FFF)), 32767);
    // On 64-bit Windows a negative LPARAM is sign-extended; the upper bits must not leak in.
    const std::intptr_t negative = static_cast<std::intptr_t>(static_cast<std::int32_t>(0xFFF6FFFBu));
    EXPECT_EQ(lowWordSigned(negative), -5);
    EXPECT_EQ(highWordSigned(negative), -10);
    EXPECT_FALSE(pointInRect(Rect{0, 0, 18, 18}, lowWordSigned(negative), highWordSigned(negative)));
}

TEST(PopupPosition, LevelWithTheWindowTopRightOfTheIcon) {
    const Rect icon = iconRectFor(104, 16, 136, 20);
    EXPECT_EQ(popupPosition(100, 50, icon), (Point{368, 50}));
    EXPECT_EQ(popupPosition(-300, -20, icon), (Point{-32, -20}));
}

TEST(Colour, ArgbLayout) {
    EXPECT_EQ(argbFromComponents(0x11, 0x22, 0x33, 0xFF), 0xFF112233u);
    EXPECT_EQ(argbFromComponents(0x11, 0x22, 0x33, 0x00), 0x00112233u);
    EXPECT_EQ(argbFromComponents(0, 0, 0, 0x80), 0x80000000u);
}

TEST(Colour, ColorRefBytesAreRedGreenBlueAndTopByteIsIgnored) {
    EXPECT_EQ(colorRefToArgb(0x00332211u, 255), 0xFF112233u);
    EXPECT_EQ(colorRefToArgb(0x00F0F0F0u, 255), 0xFFF0F0F0u);
    EXPECT_EQ(colorRefToArgb(0xAB332211u, 255), 0xFF112233u);
    EXPECT_EQ(colorRefToArgb(0xFF0000FFu, 0x40), 0x40FF0000u);
}

}  // namespace
}  // namespace oz
