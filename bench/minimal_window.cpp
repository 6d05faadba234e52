// The cold-start baseline: a Win32 program that opens one plain window of the main window's
// size and waits for messages. Nothing else: no controls, no GDI+, no interpreter.
// Given DLL names as arguments, it loads those first and keeps them; the startup benchmark
// passes Ozarith.exe's imports that way, to tell their loading apart from the program's own work.
#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/handles_win.h"

namespace {

LRESULT CALLBACK plainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

// Split by hand: CommandLineToArgvW would bring shell32.dll into the baseline. The names hold
// no blanks; the program's own path comes first, in quotes.
std::vector<oz::UniqueModule> loadArgumentDlls() {
    std::wstring_view rest(::GetCommandLineW());
    rest.remove_prefix(std::min(rest.size(), rest.find(L'"', 1) + 1));
    std::vector<oz::UniqueModule> modules;
    while (!rest.empty()) {
        const std::size_t blank = std::min(rest.size(), rest.find(L' '));
        if (blank > 0) modules.emplace_back(::LoadLibraryW(std::wstring(rest.substr(0, blank)).c_str()));
        rest.remove_prefix(std::min(rest.size(), blank + 1));
    }
    return modules;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    const std::vector<oz::UniqueModule> modules = loadArgumentDlls();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = plainProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = L"oz.bench.minimal";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"minimal window",
                                    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 278, 329, nullptr, nullptr, instance, nullptr);
    ::ShowWindow(window, SW_SHOW);
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
