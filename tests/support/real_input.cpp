#include "support/real_input.h"

#include <vector>

namespace oz::test {
namespace {

bool send(std::vector<INPUT> inputs) {
    const UINT count = static_cast<UINT>(inputs.size());
    return ::SendInput(count, inputs.data(), sizeof(INPUT)) == count;
}

// Absolute pointer positions run from 0 to 65536 across the primary screen; rounding up maps
// them back onto the same pixel.
LONG normalised(LONG pixel, int screenSize) {
    return static_cast<LONG>((static_cast<long long>(pixel) * 65536 + screenSize - 1) / screenSize);
}

INPUT mouse(POINT at, DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = normalised(at.x, ::GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = normalised(at.y, ::GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    return input;
}

INPUT key(WORD virtualKey, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags;
    return input;
}

GUITHREADINFO guiOf(DWORD thread) {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (!::GetGUIThreadInfo(thread, &gui)) return GUITHREADINFO{};
    return gui;
}

}  // namespace

void askToFront(HWND window) { ::SetForegroundWindow(window); }

bool isInFront(HWND window) {
    return ::GetForegroundWindow() == window && activeOf(::GetWindowThreadProcessId(window, nullptr)) == window;
}

POINT centreOf(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

bool clickAt(POINT at, int count) {
    std::vector<INPUT> inputs{mouse(at, 0)};
    for (int i = 0; i < count; ++i) {
        inputs.push_back(mouse(at, MOUSEEVENTF_LEFTDOWN));
        inputs.push_back(mouse(at, MOUSEEVENTF_LEFTUP));
    }
    return send(std::move(inputs));
}

bool rightClickAt(POINT at) {
    return send({mouse(at, 0), mouse(at, MOUSEEVENTF_RIGHTDOWN), mouse(at, MOUSEEVENTF_RIGHTUP)});
}

bool sendShiftF10() {
    return send({key(VK_SHIFT, 0), key(VK_F10, 0), key(VK_F10, KEYEVENTF_KEYUP), key(VK_SHIFT, KEYEVENTF_KEYUP)});
}

bool pressKey(WORD virtualKey) {
    return send({key(virtualKey, 0), key(virtualKey, KEYEVENTF_KEYUP)});
}

HWND focusOf(DWORD thread) { return guiOf(thread).hwndFocus; }

HWND activeOf(DWORD thread) { return guiOf(thread).hwndActive; }

}  // namespace oz::test
