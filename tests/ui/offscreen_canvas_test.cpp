#include "ui/offscreen_canvas_win.h"

#include <gtest/gtest.h>

#include <utility>

#include "ui_test_support.h"

namespace {

using oz::OffscreenCanvas;
using oz::test::PixelSurface;
using oz::test::Rgb;

class Canvas : public ::testing::Test {
protected:
    // Paints the canvas through plain GDI, which leaves the pixels' alpha bytes at 0.
    static void fillWithGdi(const OffscreenCanvas& canvas, int width, int height, COLORREF colour) {
        const RECT all{0, 0, width, height};
        oz::UniqueGdiObject brush(::CreateSolidBrush(colour));
        ::FillRect(canvas.deviceContext(), &all, static_cast<HBRUSH>(brush.get()));
    }

    static DIBSECTION selectedDib(HDC dc) {
        DIBSECTION dib{};
        ::GetObjectW(::GetCurrentObject(dc, OBJ_BITMAP), sizeof dib, &dib);
        return dib;
    }

    oz::GdiplusSession gdiplus_;
};

TEST_F(Canvas, CreateSelectsABottomUp32BitSectionOfTheGivenSize) {
    OffscreenCanvas canvas;
    const HDC dc = canvas.create(40, 30, nullptr, false);
    ASSERT_NE(nullptr, dc);
    EXPECT_EQ(dc, canvas.deviceContext());
    EXPECT_EQ(OBJ_MEMDC, ::GetObjectType(dc));

    const DIBSECTION dib = selectedDib(dc);
    EXPECT_EQ(40, dib.dsBm.bmWidth);
    EXPECT_EQ(30, dib.dsBm.bmHeight);
    EXPECT_EQ(32, dib.dsBm.bmBitsPixel);
    EXPECT_NE(nullptr, dib.dsBm.bmBits) << "not a DIB section";
    EXPECT_EQ(30, dib.dsBmih.biHeight) << "rows must be bottom-up";
    EXPECT_EQ(40u * 30u * 4u, dib.dsBmih.biSizeImage);
}

TEST_F(Canvas, GraphicsOnlyWhenAskedFor) {
    auto* const untouched = reinterpret_cast<oz::GpGraphics*>(std::uintptr_t{0x5A5A});
    oz::GpGraphics* graphics = untouched;
    OffscreenCanvas canvas;
    canvas.create(8, 8, &graphics, false);
    EXPECT_EQ(untouched, graphics);
    EXPECT_EQ(nullptr, canvas.graphics());

    canvas.release();
    canvas.create(8, 8, &graphics, true);
    ASSERT_NE(untouched, graphics);
    ASSERT_NE(nullptr, graphics);
    EXPECT_EQ(graphics, canvas.graphics());
}

TEST_F(Canvas, GraphicsDrawOnTheSurfaceAndCopyToLandsAtTheGivenPlace) {
    oz::GpGraphics* graphics = nullptr;
    OffscreenCanvas canvas;
    canvas.create(10, 10, &graphics, true);
    ASSERT_EQ(Gdiplus::Ok, oz::gdip::GdipGraphicsClear(graphics, 0xFF336699));
    oz::gdip::GdipFlush(graphics, Gdiplus::FlushIntentionSync);

    PixelSurface target(20, 20);
    target.fill(RGB(255, 255, 255));
    EXPECT_TRUE(canvas.copyTo(target.dc(), 5, 4, 10, 10));
    const Rgb canvasColour{0x33, 0x66, 0x99};
    const Rgb white{255, 255, 255};
    EXPECT_EQ(canvasColour, target.at(5, 4));
    EXPECT_EQ(canvasColour, target.at(14, 13));
    EXPECT_EQ(white, target.at(4, 4));
    EXPECT_EQ(white, target.at(5, 3));
    EXPECT_EQ(white, target.at(15, 13));
    EXPECT_EQ(white, target.at(14, 14));
}

TEST_F(Canvas, ReleaseGivesEverythingBackAndIsHarmlessWhenEmpty) {
    OffscreenCanvas canvas;
    canvas.release();  // never created
    EXPECT_EQ(nullptr, canvas.deviceContext());

    const HDC dc = canvas.create(16, 16, nullptr, false);
    const HGDIOBJ bitmap = ::GetCurrentObject(dc, OBJ_BITMAP);
    ASSERT_EQ(OBJ_BITMAP, ::GetObjectType(bitmap));
    canvas.release();
    EXPECT_EQ(nullptr, canvas.deviceContext());
    EXPECT_EQ(0u, ::GetObjectType(dc)) << "memory DC still alive";
    EXPECT_EQ(0u, ::GetObjectType(bitmap)) << "DIB section still alive";
    canvas.release();  // a second time
    EXPECT_EQ(nullptr, canvas.deviceContext());
}

TEST_F(Canvas, ZeroSizedCanvasGetsNoBitmap) {
    for (auto [width, height] : {std::pair{0, 10}, std::pair{10, 0}, std::pair{0, 0}}) {
        OffscreenCanvas canvas;
        const HDC dc = canvas.create(width, height, nullptr, false);
        ASSERT_NE(nullptr, dc) << width << " x " << height;
        // Still the 1 x 1 monochrome bitmap every new memory DC starts with.
        const DIBSECTION dib = selectedDib(dc);
        EXPECT_EQ(1, dib.dsBm.bmWidth) << width << " x " << height;
        EXPECT_EQ(1, dib.dsBm.bmBitsPixel) << width << " x " << height;
        canvas.release();
        EXPECT_EQ(nullptr, canvas.deviceContext());
    }
}

TEST_F(Canvas, BlendUsesOneOpacityForTheWholeSurface) {
    struct Case {
        std::uint8_t alpha;
        Rgb expected;
        int tolerance;
    };
    // The canvas's alpha bytes are 0 throughout: read as per-pixel alpha they would let the
    // whole target through, and the result would be the sum of both colours.
    const COLORREF canvasColour = RGB(40, 100, 160);
    const COLORREF targetColour = RGB(100, 60, 20);
    for (const Case& c : {Case{255, {40, 100, 160}, 0}, Case{0, {100, 60, 20}, 0}, Case{128, {70, 80, 90}, 2}}) {
        OffscreenCanvas canvas;
        canvas.create(12, 12, nullptr, false);
        fillWithGdi(canvas, 12, 12, canvasColour);
        PixelSurface target(12, 12);
        target.fill(targetColour);
        EXPECT_TRUE(canvas.blendTo(target.dc(), 0, 0, 12, 12, c.alpha)) << "alpha " << int{c.alpha};
        for (auto [x, y] : {std::pair{0, 0}, std::pair{11, 11}, std::pair{6, 3}}) {
            EXPECT_TRUE(target.at(x, y).within(c.expected, c.tolerance))
                << "alpha " << int{c.alpha} << " at " << x << ", " << y << ": " << target.at(x, y);
        }
    }
}

TEST_F(Canvas, MovingHandsOverTheSurfaceAndAssigningReleasesTheOldOne) {
    OffscreenCanvas first;
    const HDC firstDc = first.create(4, 4, nullptr, false);
    OffscreenCanvas second(std::move(first));
    EXPECT_EQ(nullptr, first.deviceContext());
    EXPECT_EQ(firstDc, second.deviceContext());

    OffscreenCanvas third;
    const HDC thirdDc = third.create(4, 4, nullptr, false);
    third = std::move(second);
    EXPECT_EQ(firstDc, third.deviceContext());
    EXPECT_EQ(0u, ::GetObjectType(thirdDc)) << "the overwritten canvas's DC leaked";
    EXPECT_EQ(OBJ_MEMDC, ::GetObjectType(firstDc));
}

}  // namespace
