// Closing the real Ozarith.exe while an action waits: the program ends at once and takes its
// interpreter with it, whatever the worker is waiting for.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>

#include "support/app_driver.h"

namespace oz::test {
namespace {

struct CloseCase {
    const char* what;
    const char* rules;
    int button;            // clicked after connecting (unless it is Connect itself)
    std::size_t adbCalls;  // when the double has received this many, the action is waiting
    bool waitsOnBox;       // the action waits on its message box instead
    bool viaEsc;           // else the close box
};

TEST(E2eClose, EndsTheProgramPromptlyWhileAnActionWaits) {
    const CloseCase cases[] = {
        {"Esc during a Connect that hangs", "connect: hang", kConnectButtonId, 1, false, true},
        {"close box during a boot-ads removal that hangs", "uninstall: hang", kRemoveBootAdsButtonId, 3, false, false},
        {"Esc during a system-update removal that hangs", "uninstall: hang", kRemoveSystemUpdateButtonId, 3, false,
         true},
        {"close box while the failed Connect's box is up", "connect: refused", kConnectButtonId, 1, true, false},
    };
    for (const CloseCase& step : cases) {
        SCOPED_TRACE(step.what);
        ASSERT_EQ(countProcesses(L"cmd.exe"), 0u) << "another cmd.exe runs in the prefix";
        const AppUnderTest app(std::string("server: running\n") + step.rules);
        if (step.button == kConnectButtonId) {
            app.setIp(L"127.0.0.1");
        } else {
            ASSERT_TRUE(app.connect()) << app.describe();
        }
        ASSERT_TRUE(app.click(step.button));
        ASSERT_TRUE(waitFor([&] {
            return app.adbCalls().size() == step.adbCalls && (!step.waitsOnBox || app.findMessageBox());
        })) << app.describe();

        const auto asked = std::chrono::steady_clock::now();
        const auto since = [&] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - asked);
        };
        ASSERT_TRUE(step.viaEsc ? app.pressEsc() : app.pressCloseBox()) << app.describe();
        // Under Xvfb without a window manager Wine spends about 2 s taking a window off the X
        // screen after it is hidden: the process ends that much after the window disappears.
        const bool hidden = waitFor([&] { return !::IsWindowVisible(app.mainWindow()); }, 5s);
        const auto hiddenAfter = since();
        const bool ended = app.processExited(10s);
        std::cout << "[ closed   ] " << step.what << ": window gone after " << hiddenAfter.count() << " ms, process "
                  << (ended ? "ended" : "still running") << " after " << since().count() << " ms\n";
        EXPECT_TRUE(hidden) << "the window still shows 5 s after being closed\n" << app.describe();
        EXPECT_TRUE(ended) << "Ozarith.exe still runs 10 s after being closed\n" << app.describe();
        EXPECT_TRUE(waitFor([] { return countProcesses(L"cmd.exe") == 0; }, 10s))
            << "the program's interpreter outlived it";
    }
}

}  // namespace
}  // namespace oz::test
