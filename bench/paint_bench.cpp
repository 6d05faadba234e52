// One paint of the main window: a window built from the program's own layout, with the help
// icon's window procedure and the decoded information icon, repainted 1,000 times
// (RedrawWindow with RDW_INVALIDATE | RDW_UPDATENOW), against 1,000 paints of a window of the same
// size and style whose procedure only does FillRect. Blocks of 100 paints alternate between the
// two; the figure is the ratio of the time per paint.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "app/main_window.h"
#include "app/program.h"
#include "bench_support.h"
#include "resources/info_icon_gif.h"
#include "runtime/system_info_win.h"
#include "ui/main_window_proc_win.h"

namespace {

using namespace oz::bench;

constexpr int blocks = 10;
constexpr int paintsPerBlock = 100;

LRESULT CALLBACK fillOnlyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    const oz::PaintScope paint(hwnd);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    ::FillRect(paint.dc(), &client, ::GetSysColorBrush(COLOR_BTNFACE));
    return 0;
}

// Destroyed with the object; shown right of where the main window sits, wholly on the screen.
class FillOnlyWindow {
public:
    explicit FillOnlyWindow(const oz::WindowLayout& like) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = fillOnlyProc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        windowClass.lpszClassName = L"oz.bench.fillOnly";
        ::RegisterClassW(&windowClass);
        hwnd_ = ::CreateWindowExW(0, windowClass.lpszClassName, L"baseline", like.style, 300, 0, like.width,
                                  like.height, nullptr, nullptr, windowClass.hInstance, nullptr);
        ::ShowWindow(hwnd_, SW_SHOW);
    }
    ~FillOnlyWindow() { ::DestroyWindow(hwnd_); }
    FillOnlyWindow(const FillOnlyWindow&) = delete;
    FillOnlyWindow& operator=(const FillOnlyWindow&) = delete;
    HWND handle() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

// Takes whatever is queued (the first paints, the popup's creation) before timing starts.
void drainMessages() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

double paintBlockMs(HWND window) {
    const double began = nowMs();
    for (int i = 0; i < paintsPerBlock; ++i) ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ::GdiFlush();
    return nowMs() - began;
}

const std::string& ipBoxName(const oz::WindowLayout& layout) {
    const auto found = std::find_if(layout.controls.begin(), layout.controls.end(),
                                    [](const oz::ControlLayout& control) { return control.id == oz::kIpBoxId; });
    if (found == layout.controls.end()) throw std::logic_error("the main window layout has no IP box");
    return found->name;
}

}  // namespace

int main() {
    const oz::GdiplusSession gdiplus;
    const oz::UniqueGdipImage icon = oz::decodeImageFromBytes({oz::iconGifBytes, oz::iconGifSize});
    oz::GpImage* iconImage = icon.get();
    // The instruction picture for the popup lives in the program file's resources.
    const oz::UniqueModule program(
        ::LoadLibraryExW((oz::runDirectory() + L"\\Ozarith.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!iconImage || !program) {
        std::puts("no information icon, or no Ozarith.exe beside this program");
        return 1;
    }
    const oz::WindowLayout layout = oz::mainWindowLayout();
    oz::Window mainWindow(layout);
    mainWindow.load(nullptr);
    oz::subclassMainWindow(mainWindow, mainWindow.control(ipBoxName(layout)), &iconImage, program.get());
    ::SetWindowPos(mainWindow.handle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const FillOnlyWindow baseline(layout);
    drainMessages();

    double mainMs = 0;
    double baselineMs = 0;
    paintBlockMs(mainWindow.handle());  // warm-up: the first paints set up caches on both sides
    paintBlockMs(baseline.handle());
    for (int block = 0; block < blocks; ++block) {
        mainMs += paintBlockMs(mainWindow.handle());
        baselineMs += paintBlockMs(baseline.handle());
    }
    const int paints = blocks * paintsPerBlock;
    const double perMain = mainMs / paints;
    const double perBaseline = baselineMs / paints;
    std::printf("%d paints each: main window %.3f ms per paint, FillRect-only window %.3f ms per paint, ratio %.2f\n",
                paints, perMain, perBaseline, perMain / perBaseline);
    printFigure("paint_main_ms", perMain);
    printFigure("paint_baseline_ms", perBaseline);
    printFigure("paint_ratio", perMain / perBaseline);
    return 0;
}
