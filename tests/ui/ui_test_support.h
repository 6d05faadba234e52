#pragma once
// What the ui tests share: a surface whose pixels can be read, the window capture, the
// information icon as a GDI+ image, and a main window like the program's with the help icon.
#include <windows.h>

#include <cstdint>
#include <ostream>
#include <span>

#include "runtime/gdiplus_win.h"
#include "runtime/gui_win.h"
#include "runtime/handles_win.h"
#include "ui/main_window_proc_win.h"

#include <gtest/gtest.h>

namespace oz::test {

struct Rgb {
    int red = 0, green = 0, blue = 0;
    bool operator==(const Rgb&) const = default;
    static Rgb of(COLORREF colour) { return {GetRValue(colour), GetGValue(colour), GetBValue(colour)}; }
    // Within tolerance in every channel.
    bool within(const Rgb& other, int tolerance) const;
};
std::ostream& operator<<(std::ostream& out, const Rgb& colour);

// A top-down 32-bit DIB section in a memory DC: a target for GDI transfers whose pixels are
// read straight from memory.
class PixelSurface {
public:
    PixelSurface(int width, int height);
    HDC dc() const { return dc_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }
    Rgb at(int x, int y) const;
    void fill(COLORREF colour);

private:
    int width_;
    int height_;
    const std::uint32_t* bits_ = nullptr;
    UniqueMemoryDc dc_;
    UniqueGdiObject bitmap_;
    UniqueSelection selection_;
};

// The window's client area as it is on the window's own surface now.
PixelSurface captureClient(HWND hwnd);

// Fills the client area through the window DC, so that only a later paint can restore it.
void scribbleOver(HWND hwnd, COLORREF colour);


// Changes the system's button-face colour for the life of the object.
class ScopedButtonFace {
public:
    explicit ScopedButtonFace(COLORREF colour);
    ~ScopedButtonFace();
    ScopedButtonFace(const ScopedButtonFace&) = delete;
    ScopedButtonFace& operator=(const ScopedButtonFace&) = delete;

private:
    COLORREF previous_;
};

inline constexpr char kIpBoxName[] = "编辑框_IP";

// 278 x 329 with a caption, the IP box at 104, 16, 136 x 20 (so the icon is at 245, 17 to
// 263, 35) and a button well away from the icon. Extended-style bits that the help icon
// must drop are set on purpose.
WindowLayout mainLayoutLikeTheProgram();

// A loaded, visible main window with the help icon installed, the real icon picture, and the
// instruction picture taken from Ozarith.exe.
class HelpIconWindowTest : public ::testing::Test {
protected:
    void SetUp() override;

    HWND mainWindow() const { return window_.handle(); }
    HelpIconState& state() const { return *helpIconState(mainWindow()); }
    HWND popupWindow() const { return state().popupWindow; }
    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(mainWindow(), message, wParam, lParam);
    }
    void moveMouseTo(int x, int y) const;
    RECT outerRect(HWND hwnd) const;
    void placeMainWindowAt(int x, int y) const;
    bool hoverProperty() const { return ::GetPropW(mainWindow(), L"hover") != nullptr; }

    GdiplusSession gdiplus_;
    UniqueGdipImage icon_;
    GpImage* iconImage_ = nullptr;  // what the window reads at each paint
    UniqueModule program_;
    Window window_{mainLayoutLikeTheProgram()};
};

}  // namespace oz::test
