// What the main window and the popup show: read back from the windows' own surfaces.
#include <gtest/gtest.h>

#include "ui/help_popup_win.h"
#include "ui/instruction_picture_win.h"
#include "ui_test_support.h"

namespace {

using oz::test::PixelSurface;
using oz::test::Rgb;

constexpr COLORREF kScribble = RGB(255, 0, 255);
constexpr RECT kIcon{245, 17, 263, 35};
constexpr Rgb kIconBlue{0, 153, 204};

bool inRect(const RECT& rect, int x, int y) { return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom; }

class HelpPaint : public oz::test::HelpIconWindowTest {
protected:
    // Invalidated without erasing, so that only the window's own paint can remove the scribble.
    PixelSurface repaint() const {
        oz::test::scribbleOver(mainWindow(), kScribble);
        ::RedrawWindow(mainWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return oz::test::captureClient(mainWindow());
    }

    RECT childRect(const char* name) {
        oz::Control& control = window_.control(name);
        return {control.left(), control.top(), control.left() + control.width(), control.top() + control.height()};
    }

    // Every pixel that is neither a child control nor the icon has the background colour.
    void expectBackground(const PixelSurface& shot, const Rgb& background) {
        const RECT ipBox = childRect(oz::test::kIpBoxName);
        const RECT button = childRect("按钮_连接");
        int wrong = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                if (inRect(ipBox, x, y) || inRect(button, x, y) || inRect(kIcon, x, y)) continue;
                if (shot.at(x, y) != background && wrong++ < 5) ADD_FAILURE() << x << ", " << y << ": " << shot.at(x, y);
            }
        }
        EXPECT_EQ(0, wrong);
    }

    static int bluePixelsIn(const PixelSurface& shot, const RECT& area) {
        int blue = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) blue += shot.at(x, y).within(kIconBlue, 24) ? 1 : 0;
        return blue;
    }
};

// Once with the system's own button face and once with another one set just before the paint:
// the fill follows it, and the icon's transparent corners show it too.
TEST_F(HelpPaint, BackgroundIsTheButtonFaceAndTheIconSitsBesideTheIpBox) {
    for (COLORREF face : {::GetSysColor(COLOR_BTNFACE), RGB(170, 60, 110)}) {
        const oz::test::ScopedButtonFace scoped(face);
        const Rgb background = Rgb::of(face);
        const PixelSurface shot = repaint();
        ASSERT_GE(shot.width(), kIcon.right);
        expectBackground(shot, background);

        for (auto [x, y] : {std::pair{245, 17}, std::pair{262, 17}, std::pair{245, 34}, std::pair{262, 34}})
            EXPECT_EQ(background, shot.at(x, y)) << "icon corner " << x << ", " << y;
        EXPECT_GE(bluePixelsIn(shot, kIcon), 15) << "no blue letter inside the icon";
        EXPECT_TRUE(shot.at(kIcon.left + 8, kIcon.top + 10).within(kIconBlue, 24)) << shot.at(253, 27);
        const Rgb disc = shot.at(kIcon.left + 4, kIcon.top + 9);
        EXPECT_TRUE(disc.red > 220 && disc.green > 220 && disc.blue > 220) << "disc " << disc;
    }
}

TEST_F(HelpPaint, IconPictureIsReadAtEachPaintAndAMissingOneLeavesTheBackground) {
    iconImage_ = nullptr;
    const PixelSurface without = repaint();
    const Rgb background = Rgb::of(::GetSysColor(COLOR_BTNFACE));
    for (int y = kIcon.top; y < kIcon.bottom; ++y)
        for (int x = kIcon.left; x < kIcon.right; ++x) ASSERT_EQ(background, without.at(x, y)) << x << ", " << y;

    iconImage_ = icon_.get();
    EXPECT_GE(bluePixelsIn(repaint(), kIcon), 15);
}

// With no size known, or a minimised window's 0 x 0, the paint measures the client area; a
// stored size is used as it is, and the canvas covers only that much.
TEST_F(HelpPaint, PaintMeasuresTheClientAreaWhenEitherStoredSideIsZero) {
    RECT client{};
    ::GetClientRect(mainWindow(), &client);
    for (auto [width, height] : {std::pair{0, 0}, std::pair{100, 0}, std::pair{0, 80}}) {
        send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
        repaint();
        EXPECT_EQ(client.right, state().clientWidth) << width << " x " << height;
        EXPECT_EQ(client.bottom, state().clientHeight) << width << " x " << height;
    }

    send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(200, 40));
    const PixelSurface shot = repaint();
    EXPECT_EQ(200, state().clientWidth);
    EXPECT_EQ(40, state().clientHeight);
    const Rgb background = Rgb::of(::GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(background, shot.at(199, 39));
    EXPECT_EQ(Rgb::of(kScribble), shot.at(200, 39)) << "painted beyond the stored width";
    EXPECT_EQ(Rgb::of(kScribble), shot.at(199, 40)) << "painted beyond the stored height";
}

// The picture at its own size from the picture box's corner at (8, 8), on the button face.
TEST_F(HelpPaint, PopupShowsTheInstructionPictureAtItsNaturalSize) {
    const oz::DecodedPicture picture = oz::decodePng(oz::helpPictureBytes(program_.get()));
    ASSERT_EQ(641, picture.width);
    ASSERT_EQ(273, picture.height);

    placeMainWindowAt(10, 10);
    moveMouseTo(250, 20);
    const HWND popup = popupWindow();
    ASSERT_TRUE(::IsWindowVisible(popup));
    ::RedrawWindow(popup, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    const PixelSurface shot = oz::test::captureClient(popup);
    ASSERT_EQ(653, shot.width());
    ASSERT_EQ(282, shot.height());

    int wrong = 0;
    int dark = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const std::uint8_t* p = &picture.bgra[(static_cast<std::size_t>(y) * picture.width + x) * 4];
            const Rgb expected{p[2], p[1], p[0]};
            dark += expected.red < 64 ? 1 : 0;
            if (shot.at(8 + x, 8 + y) != expected && wrong++ < 5)
                ADD_FAILURE() << "picture " << x << ", " << y << ": " << shot.at(8 + x, 8 + y) << " for " << expected;
        }
    }
    EXPECT_EQ(0, wrong);
    EXPECT_GT(dark, 1000) << "the compared picture has hardly any lettering";

    const Rgb face = Rgb::of(::GetSysColor(COLOR_BTNFACE));
    for (auto [x, y] : {std::pair{0, 0}, std::pair{7, 100}, std::pair{300, 7}, std::pair{8 + 641, 50},
                        std::pair{652, 281}, std::pair{100, 8 + 273}})
        EXPECT_EQ(face, shot.at(x, y)) << x << ", " << y;
}

}  // namespace
