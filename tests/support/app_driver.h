#pragma once
// Drives the real Ozarith.exe the way a person would: types into the IP box, clicks buttons and
// presses keys with real input (support/real_input.h), reads the log box and the message boxes.
// The program runs from a private folder of its own, next to a copy of the fake adb.exe with a
// scenario chosen by the test.
//
// Every wait is bounded. The program and everything it starts (cmd.exe, adb.exe) live in one
// job object that is terminated at the end, so nothing outlives the driver.
#include <windows.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "runtime/handles_win.h"
#include "support/fake_adb_scenario.h"
#include "support/test_support.h"

namespace oz::test {

using namespace std::chrono_literals;

// Bounds that are generous on purpose: a slow machine under Wine must never fail a test by them.
inline constexpr std::chrono::milliseconds kLongWait = 30s;
// No person clicks sooner after the window shows; a click at once is a case of its own.
inline constexpr std::chrono::milliseconds kFirstClickAfter = 1s;

// Polls predicate until it holds or bound has passed; true when it held.
template <class Predicate>
bool waitFor(Predicate predicate, std::chrono::milliseconds bound = kLongWait) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (predicate()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
}

// What the fake adb records for the program's commands to the TV at 127.0.0.1.
inline const std::string kConnectTv = "connect 127.0.0.1:5555";
inline const std::string kStateTv = "-s 127.0.0.1:5555 get-state";
inline const std::string kUninstallAdSolution = "-s 127.0.0.1:5555 shell pm uninstall --user 0 com.miui.systemAdSolution";
inline const std::string kUninstallAdvertise = "-s 127.0.0.1:5555 shell pm uninstall --user 0 com.xiaomi.mitv.advertise";
inline const std::string kUninstallUpgrade = "-s 127.0.0.1:5555 shell pm uninstall --user 0 com.xiaomi.mitv.upgrade";

// A standard message box ("#32770" with the program's caption "信息：") of the program.
struct MessageBoxSeen {
    HWND handle = nullptr;
    HWND owner = nullptr;  // the window that owns it, or null
    std::wstring text;     // the static text (control id 0xFFFF), as shown
};

// How many running processes of the prefix have exactly this executable name.
std::size_t countProcesses(std::wstring_view exeName);

class AppUnderTest {
public:
    // Copies Ozarith.exe and adb.exe into a fresh folder "oz-<folderName>-..." (the name may hold
    // blanks, '&', Chinese), writes the scenario (empty: adb's built-in default, all succeeds),
    // starts the program and waits for its main window. Throws when it does not appear.
    // Clicks wait until firstClickAfter has passed since the window showed.
    // The address the program remembers from an earlier run is forgotten first, unless asked.
    // Without withAdb no adb.exe is put beside the program: it then talks to the TV itself.
    explicit AppUnderTest(std::string_view scenario = {}, std::wstring_view folderName = L"app",
                          std::chrono::milliseconds firstClickAfter = kFirstClickAfter,
                          bool keepRememberedAddress = false, bool withAdb = true);
    ~AppUnderTest();
    AppUnderTest(const AppUnderTest&) = delete;
    AppUnderTest& operator=(const AppUnderTest&) = delete;

    const std::filesystem::path& folder() const { return folder_.path(); }
    HANDLE process() const { return process_.get(); }
    DWORD processId() const { return processId_; }
    HWND mainWindow() const { return main_; }
    HWND control(int id) const { return ::GetDlgItem(main_, id); }

    // adb.exe reads its scenario afresh on every run, so a test may change it between steps.
    void writeScenario(std::string_view rules) const { adb_.write(rules); }
    // Every command line the fake adb.exe received, oldest first (arguments after "adb").
    std::vector<std::string> adbCalls() const { return adb_.calls(); }

    // Window text through WM_GETTEXT (the edit control keeps its own buffer); empty on failure.
    std::wstring text(HWND window) const;
    std::wstring text(int id) const { return text(control(id)); }
    std::wstring logText() const;
    void setIp(std::wstring_view ip) const;
    bool isEnabled(int id) const { return ::IsWindowEnabled(control(id)) != FALSE; }

    // Brings the main window to the front and clicks the centre of the button count times in
    // quick succession, all queued before the program can react to the first. Nothing is sent,
    // and false comes back, while the button is greyed or something else is in front of it.
    bool click(int id, int count = 1) const;
    // A right-click on the centre of the control, greyed or not, with the window in front.
    bool rightClick(int id) const;
    // The program's pop-up menu while one is open, else null.
    HWND findPopupMenu() const;
    // Types ip, clicks Connect and waits until both uninstall buttons take clicks.
    bool connect(std::wstring_view ip = L"127.0.0.1") const;

    // The program's first message box whose text contains textPart (any box when empty).
    std::optional<MessageBoxSeen> findMessageBox(std::wstring_view textPart = {}) const;
    std::optional<MessageBoxSeen> waitForMessageBox(std::wstring_view textPart = {},
                                                    std::chrono::milliseconds bound = kLongWait) const;
    // Enter on the box (its OK button has the focus); waits until the box is gone.
    void pressOk(const MessageBoxSeen& box) const;

    // A key pressed and released in the main window, brought to the front unless it is there:
    // it goes to the control with the focus. False when the window could not be brought forward.
    bool pressKey(WORD virtualKey) const;
    bool pressEsc() const { return pressKey(VK_ESCAPE); }
    // What the close box sends. Not a real click: on a bare Xvfb the caption is not part of the
    // window for Wine's hit-testing (docs/wine-vs-windows.md).
    bool pressCloseBox() const;
    // The id of the control with the keyboard focus; 0 for the main window itself, -1 for none.
    int focusedId() const;
    bool processExited(std::chrono::milliseconds bound = kLongWait) const;

    // Buttons, log, open boxes and adb calls in a few lines, for failure messages.
    std::string describe() const;

private:
    void start();
    HWND findMainWindow() const;

    TempFolder folder_;
    FakeAdbScenario adb_;
    UniqueHandle job_;
    UniqueHandle process_;
    DWORD processId_ = 0;
    DWORD guiThreadId_ = 0;
    HWND main_ = nullptr;
    std::chrono::steady_clock::time_point firstClick_;
};

}  // namespace oz::test
