#include "ui/main_window_proc_win.h"

#include <memory>

#include "ui/help_popup_win.h"
#include "ui/paint_win.h"

namespace oz {
namespace {

constexpr wchar_t kProcProperty[] = L"proc";
constexpr wchar_t kHoverProperty[] = L"hover";
constexpr wchar_t kStateProperty[] = L"oz.helpIcon";

HelpIconState* stateOf(HWND hwnd) { return static_cast<HelpIconState*>(::GetPropW(hwnd, kStateProperty)); }

// The property holds 0 or 1; an absent one reads as 0.
bool hovering(HWND hwnd) { return reinterpret_cast<INT_PTR>(::GetPropW(hwnd, kHoverProperty)) == 1; }

void setHovering(HWND hwnd, bool on) {
    ::SetPropW(hwnd, kHoverProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(on ? 1 : 0)));
}

void loadPopup(HWND hwnd, HelpIconState& state) {
    state.popupWindow = loadHelpPopup(state.popup, hwnd, state.pictureModule);
}

// Looked up for every message, as the procedure it names may be replaced behind us.
LRESULT callPrevious(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(::GetPropW(hwnd, kProcProperty));
    return ::CallWindowProcW(previous, hwnd, message, wParam, lParam);
}

void showPopup(HWND hwnd, HelpIconState& state, const Rect& iconRect) {
    // Hover as well as leave: the hover notice goes on to the previous procedure.
    TRACKMOUSEEVENT track{sizeof track, TME_HOVER | TME_LEAVE, hwnd, HOVER_DEFAULT};
    ::TrackMouseEvent(&track);
    setHovering(hwnd, true);
    RECT outer{};
    ::GetWindowRect(hwnd, &outer);
    const Point at = popupPosition(outer.left, outer.top, iconRect);
    ::SetWindowPos(state.popupWindow, nullptr, at.x, at.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

LRESULT onMouseMove(HWND hwnd, LPARAM lParam, HelpIconState& state) {
    const Rect iconRect = currentIconRect(state.ipBox);
    const bool hover = hovering(hwnd);
    if (!state.popupWindow) loadPopup(hwnd, state);
    if (pointInRect(iconRect, lowWordSigned(lParam), highWordSigned(lParam))) {
        // Shown once per visit: it stays where it appeared even if the window moves meanwhile.
        if (!hover) showPopup(hwnd, state, iconRect);
    } else if (hover) {
        setHovering(hwnd, false);
        ::ShowWindow(state.popupWindow, SW_HIDE);
    }
    return 0;
}

LRESULT onMouseLeave(HWND hwnd, HelpIconState& state) {
    if (!hovering(hwnd)) return 0;
    setHovering(hwnd, false);
    if (!::IsWindow(state.popupWindow)) loadPopup(hwnd, state);
    ::ShowWindow(state.popupWindow, SW_HIDE);
    return 0;
}

LRESULT onSize(LPARAM lParam, HelpIconState& state) {
    state.clientWidth = lowWordSigned(lParam);
    state.clientHeight = highWordSigned(lParam);
    return 0;
}

// The last message the window gets: after the previous procedure has seen it, the state goes.
LRESULT onNcDestroy(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = callPrevious(hwnd, WM_NCDESTROY, wParam, lParam);
    std::unique_ptr<HelpIconState> state(static_cast<HelpIconState*>(::RemovePropW(hwnd, kStateProperty)));
    return result;
}

}  // namespace

HelpIconState::HelpIconState(Control& ipBoxControl, GpImage* const* icon, HMODULE module)
    : popup(helpPopupLayout()), ipBox(ipBoxControl), iconImage(icon), pictureModule(module) {}

Rect currentIconRect(const Control& ipBox) {
    return iconRectFor(ipBox.left(), ipBox.top(), ipBox.width(), ipBox.height());
}

HelpIconState* helpIconState(HWND mainWindow) { return stateOf(mainWindow); }

void subclassMainWindow(Window& mainWindow, Control& ipBox, GpImage* const* iconImage, HMODULE pictureModule) {
    HWND hwnd = mainWindow.handle();
    auto state = std::make_unique<HelpIconState>(ipBox, iconImage, pictureModule);
    if (::SetPropW(hwnd, kStateProperty, state.get())) (void)state.release();  // the window owns it now
    ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, WS_EX_APPWINDOW);
    const LONG_PTR previous = ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(mainWindowProc));
    ::SetPropW(hwnd, kProcProperty, reinterpret_cast<HANDLE>(previous));
    // Posted, not sent: the popup and its picture load just after the window has shown itself,
    // which keeps them off the program's start-up path.
    ::PostMessageW(hwnd, WM_CREATE, 0, 0);
}

LRESULT CALLBACK mainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    HelpIconState* state = stateOf(hwnd);
    if (!state) return callPrevious(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_CREATE: loadPopup(hwnd, *state); return 0;
    case WM_MOUSEMOVE: return onMouseMove(hwnd, lParam, *state);
    case WM_NCMOUSELEAVE:
    case WM_MOUSELEAVE: return onMouseLeave(hwnd, *state);
    case WM_PAINT:
        return onPaint(hwnd, state->clientWidth, state->clientHeight, currentIconRect(state->ipBox),
                       state->iconImage ? *state->iconImage : nullptr);
    case WM_SIZE: return onSize(lParam, *state);
    case WM_NCDESTROY: return onNcDestroy(hwnd, wParam, lParam);
    }
    return callPrevious(hwnd, message, wParam, lParam);
}

}  // namespace oz
