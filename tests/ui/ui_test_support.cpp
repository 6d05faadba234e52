#include "ui_test_support.h"

#include <cstdlib>
#include <cstring>
#include <iomanip>

#include "app/main_window.h"
#include "app/program.h"
#include "committed_files.h"
#include "resources/info_icon_gif.h"
#include "runtime/waits_win.h"

namespace oz::test {

bool Rgb::within(const Rgb& other, int tolerance) const {
    return std::abs(red - other.red) <= tolerance && std::abs(green - other.green) <= tolerance &&
           std::abs(blue - other.blue) <= tolerance;
}

std::ostream& operator<<(std::ostream& out, const Rgb& colour) {
    return out << "rgb(" << colour.red << ", " << colour.green << ", " << colour.blue << ")";
}

PixelSurface::PixelSurface(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_.reset(::CreateCompatibleDC(nullptr));
    bitmap_.reset(::CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<const std::uint32_t*>(bits);
    selection_ = selectInto(dc_.get(), bitmap_.get());
}

Rgb PixelSurface::at(int x, int y) const {
    ::GdiFlush();
    const std::uint32_t pixel = bits_[static_cast<std::size_t>(y) * width_ + x];
    return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
            static_cast<int>(pixel & 0xFF)};
}

void PixelSurface::fill(COLORREF colour) {
    const RECT all{0, 0, width_, height_};
    UniqueGdiObject brush(::CreateSolidBrush(colour));
    ::FillRect(dc_.get(), &all, static_cast<HBRUSH>(brush.get()));
}

PixelSurface captureClient(HWND hwnd) {
    RECT client{};
    ::GetClientRect(hwnd, &client);
    PixelSurface surface(client.right, client.bottom);
    const UniqueWindowDc source = windowDc(hwnd);
    ::BitBlt(surface.dc(), 0, 0, client.right, client.bottom, source.get().dc, 0, 0, SRCCOPY);
    return surface;
}

void scribbleOver(HWND hwnd, COLORREF colour) {
    RECT client{};
    ::GetClientRect(hwnd, &client);
    const UniqueWindowDc target = windowDc(hwnd);
    UniqueGdiObject brush(::CreateSolidBrush(colour));
    ::FillRect(target.get().dc, &client, static_cast<HBRUSH>(brush.get()));
}

ScopedButtonFace::ScopedButtonFace(COLORREF colour) : previous_(::GetSysColor(COLOR_BTNFACE)) {
    const INT element = COLOR_BTNFACE;
    ::SetSysColors(1, &element, &colour);
}

ScopedButtonFace::~ScopedButtonFace() {
    const INT element = COLOR_BTNFACE;
    ::SetSysColors(1, &element, &previous_);
}

// The program's own layout with only the IP box and Connect, and extended style bits of its own
// that the replacement procedure must replace.
WindowLayout mainLayoutLikeTheProgram() {
    WindowLayout layout = mainWindowLayout();
    layout.exStyle = WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT;
    layout.iconId = 0;
    std::erase_if(layout.controls,
                  [](const ControlLayout& control) { return control.id != kIpBoxId && control.id != kConnectButtonId; });
    return layout;
}

void HelpIconWindowTest::SetUp() {
    icon_ = decodeImageFromBytes({iconGifBytes, iconGifSize});
    ASSERT_TRUE(icon_) << "GDI+ cannot read the information icon";
    iconImage_ = icon_.get();
    program_.reset(::LoadLibraryExW(programFilePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(program_) << "no Ozarith.exe beside the test program";
    window_.load(nullptr);
    ASSERT_TRUE(window_.isLoaded());
    subclassMainWindow(window_, window_.control(kIpBoxName), &iconImage_, program_.get());
    ASSERT_NE(nullptr, helpIconState(mainWindow()));
    processPendingEvents();  // the posted WM_CREATE loads the popup
    ASSERT_NE(nullptr, popupWindow());
}

void HelpIconWindowTest::moveMouseTo(int x, int y) const {
    // Client coordinates travel as two 16-bit words, negative ones in two's complement.
    send(WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

RECT HelpIconWindowTest::outerRect(HWND hwnd) const {
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    return rect;
}

// Left top of the screen, so that the popup beside it lies on the screen too: Wine keeps no
// pixels of the parts of a window that are off the screen.
void HelpIconWindowTest::placeMainWindowAt(int x, int y) const {
    ::SetWindowPos(mainWindow(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace oz::test
