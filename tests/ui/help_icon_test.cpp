// The main window's replacement procedure: installation, the hover popup driven by real
// messages, the stored client size, and the messages it passes on.
#include "ui/main_window_proc_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/help_popup_win.h"
#include "ui_test_support.h"

namespace {

using oz::test::HelpIconWindowTest;

// iconRect with the program's IP box: 245, 17 to 263, 35 (right and bottom outside).
constexpr POINT kInsideIcon{250, 20};
constexpr POINT kOutsideIcon{200, 100};
constexpr int kPopupOffsetX = 263 + 5;

class HelpIcon : public HelpIconWindowTest {
protected:
    void expectPopupAt(const RECT& mainOuter) const {
        const RECT popup = outerRect(popupWindow());
        EXPECT_EQ(mainOuter.left + kPopupOffsetX, popup.left);
        EXPECT_EQ(mainOuter.top, popup.top);
    }
};

TEST_F(HelpIcon, InstallationReplacesProcedureAndExtendedStyleAndLoadsThePopupHidden) {
    const HWND main = mainWindow();
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(oz::mainWindowProc), ::GetWindowLongPtrW(main, GWLP_WNDPROC));
    EXPECT_EQ(reinterpret_cast<HANDLE>(oz::Window::classProc), ::GetPropW(main, L"proc"));
    // The system adds WS_EX_WINDOWEDGE to every window with a dialog frame (a caption has one),
    // whatever is set; every bit the window had besides it is gone.
    EXPECT_EQ(WS_EX_APPWINDOW, ::GetWindowLongPtrW(main, GWL_EXSTYLE) & ~LONG_PTR{WS_EX_WINDOWEDGE});

    const HWND popup = popupWindow();
    ASSERT_TRUE(::IsWindow(popup));
    EXPECT_FALSE(::IsWindowVisible(popup));
    EXPECT_EQ(main, ::GetWindow(popup, GW_OWNER));
    const RECT outer = outerRect(popup);
    EXPECT_EQ(653, outer.right - outer.left);
    EXPECT_EQ(282, outer.bottom - outer.top);
    const LONG_PTR style = ::GetWindowLongPtrW(popup, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_EQ(0, style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_EQ(0, ::GetWindowLongPtrW(popup, GWL_EXSTYLE) & (WS_EX_APPWINDOW | WS_EX_TOPMOST));
    EXPECT_FALSE(hoverProperty());
}

TEST_F(HelpIcon, PopupHasThePictureBoxAndIsDraggedByItsBackground) {
    oz::Control& box = state().popup.control(oz::kHelpPictureBoxName);
    EXPECT_EQ(8, box.left());
    EXPECT_EQ(8, box.top());
    EXPECT_EQ(648, box.width());
    EXPECT_EQ(280, box.height());
    EXPECT_NE(0, ::GetWindowLongPtrW(box.handle(), GWLP_USERDATA)) << "no picture";

    RECT outer = outerRect(popupWindow());
    const LPARAM background = MAKELPARAM(static_cast<WORD>(outer.left + 3), static_cast<WORD>(outer.top + 3));
    EXPECT_EQ(HTCAPTION, ::SendMessageW(popupWindow(), WM_NCHITTEST, 0, background));
}

// Left and top inclusive, right and bottom exclusive; negative positions come while the mouse
// is captured and outside the client area.
TEST_F(HelpIcon, PopupShowsExactlyWhileThePointerIsOnTheIcon) {
    struct Case {
        int x, y;
        bool inside;
    };
    const Case cases[] = {
        {245, 17, true}, {262, 34, true}, {253, 25, true},   {263, 17, false}, {245, 35, false},
        {244, 20, false}, {250, 16, false}, {-5, -3, false}, {-250, 20, false},
    };
    for (const Case& c : cases) {
        moveMouseTo(kOutsideIcon.x, kOutsideIcon.y);
        ASSERT_FALSE(::IsWindowVisible(popupWindow()));
        moveMouseTo(c.x, c.y);
        EXPECT_EQ(c.inside, static_cast<bool>(::IsWindowVisible(popupWindow()))) << c.x << ", " << c.y;
        EXPECT_EQ(c.inside, hoverProperty()) << c.x << ", " << c.y;
    }
}

TEST_F(HelpIcon, PopupAppearsBesideTheWindowAndStaysPutForTheWholeVisit) {
    const HWND main = mainWindow();
    const RECT first = outerRect(main);
    moveMouseTo(kInsideIcon.x, kInsideIcon.y);
    ASSERT_TRUE(::IsWindowVisible(popupWindow()));
    expectPopupAt(first);
    EXPECT_NE(popupWindow(), ::GetActiveWindow()) << "showing the popup took the activation";

    placeMainWindowAt(first.left + 40, first.top + 30);
    moveMouseTo(260, 30);
    EXPECT_TRUE(::IsWindowVisible(popupWindow()));
    expectPopupAt(first);

    moveMouseTo(kOutsideIcon.x, kOutsideIcon.y);
    EXPECT_FALSE(::IsWindowVisible(popupWindow()));
    EXPECT_FALSE(hoverProperty());
    moveMouseTo(kInsideIcon.x, kInsideIcon.y);
    EXPECT_TRUE(::IsWindowVisible(popupWindow()));
    expectPopupAt(outerRect(main));
}

TEST_F(HelpIcon, BothLeaveMessagesHideThePopup) {
    for (UINT leave : {UINT{WM_MOUSELEAVE}, UINT{WM_NCMOUSELEAVE}}) {
        moveMouseTo(kInsideIcon.x, kInsideIcon.y);
        ASSERT_TRUE(::IsWindowVisible(popupWindow())) << std::hex << leave;
        EXPECT_EQ(0, send(leave));
        EXPECT_FALSE(::IsWindowVisible(popupWindow())) << std::hex << leave;
        EXPECT_FALSE(hoverProperty()) << std::hex << leave;
    }
}

TEST_F(HelpIcon, DestroyedPopupIsLoadedAgainByTheNextLeaveAndHoverWorksThen) {
    moveMouseTo(kInsideIcon.x, kInsideIcon.y);
    const HWND gone = popupWindow();
    ASSERT_TRUE(::DestroyWindow(gone));

    send(WM_MOUSELEAVE);
    const HWND reloaded = popupWindow();
    ASSERT_TRUE(::IsWindow(reloaded));
    EXPECT_NE(gone, reloaded);
    EXPECT_FALSE(::IsWindowVisible(reloaded));
    EXPECT_EQ(mainWindow(), ::GetWindow(reloaded, GW_OWNER));
    EXPECT_NE(0, ::GetWindowLongPtrW(state().popup.control(oz::kHelpPictureBoxName).handle(), GWLP_USERDATA))
        << "reloaded without its picture";

    moveMouseTo(kInsideIcon.x, kInsideIcon.y);
    EXPECT_TRUE(::IsWindowVisible(reloaded));
    expectPopupAt(outerRect(mainWindow()));
}

TEST_F(HelpIcon, SizeMessagesStoreTheClientSize) {
    struct Case {
        int width, height;
    };
    for (const Case& c : {Case{272, 300}, Case{0, 0}, Case{1, 2}}) {
        EXPECT_EQ(0, send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.width, c.height)));
        EXPECT_EQ(c.width, state().clientWidth);
        EXPECT_EQ(c.height, state().clientHeight);
    }
}

// A procedure put in before the help icon's: it records what reaches it and answers one
// message of its own.
constexpr UINT kOwnMessage = WM_APP + 40;
constexpr LRESULT kOwnAnswer = 0x5A5A;
std::vector<UINT> seenByPrevious;

LRESULT CALLBACK recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    seenByPrevious.push_back(message);
    if (message == kOwnMessage) return wParam == 11 && lParam == 22 ? kOwnAnswer : -1;
    auto original = reinterpret_cast<WNDPROC>(::GetPropW(hwnd, L"test.original"));
    return ::CallWindowProcW(original, hwnd, message, wParam, lParam);
}

class ChainedHelpIcon : public HelpIcon {
protected:
    void SetUp() override {
        window_.load(nullptr);
        const LONG_PTR original =
            ::SetWindowLongPtrW(window_.handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recordingProc));
        ::SetPropW(window_.handle(), L"test.original", reinterpret_cast<HANDLE>(original));
        seenByPrevious.clear();
        HelpIcon::SetUp();
    }
};

TEST_F(ChainedHelpIcon, OtherMessagesReachThePreviousProcedureWithTheirResults) {
    EXPECT_EQ(reinterpret_cast<HANDLE>(recordingProc), ::GetPropW(mainWindow(), L"proc"));
    EXPECT_EQ(kOwnAnswer, send(kOwnMessage, 11, 22));

    wchar_t text[32] = {};
    EXPECT_EQ(7, send(WM_GETTEXT, 32, reinterpret_cast<LPARAM>(text)));
    EXPECT_EQ(std::wstring(L"Ozarith"), text);
    EXPECT_EQ(7, send(WM_GETTEXTLENGTH));
}

TEST_F(ChainedHelpIcon, TheSixHandledMessagesNeverReachThePreviousProcedure) {
    moveMouseTo(kInsideIcon.x, kInsideIcon.y);
    send(WM_MOUSELEAVE);
    send(WM_NCMOUSELEAVE);
    send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(100, 80));
    send(WM_CREATE);
    ::RedrawWindow(mainWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    for (UINT handled : {WM_CREATE, WM_MOUSEMOVE, WM_NCMOUSELEAVE, WM_MOUSELEAVE, WM_PAINT, WM_SIZE}) {
        EXPECT_EQ(0, std::count(seenByPrevious.begin(), seenByPrevious.end(), handled)) << std::hex << handled;
    }
    EXPECT_EQ(100, state().clientWidth) << "the paint measured although a size was stored";
}

}  // namespace
