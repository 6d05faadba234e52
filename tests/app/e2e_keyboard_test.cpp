// The real Ozarith.exe under real mouse and keyboard input: Esc closes the window whatever had
// the focus, Tab walks the enabled controls, Enter and Space press the focused button, and
// quick repeated clicks on a button start one action.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/app_driver.h"

namespace oz::test {
namespace {

const std::wstring kTv = L"127.0.0.1";

bool exitedNormally(const AppUnderTest& app) {
    DWORD code = 1;
    return app.processExited() && ::GetExitCodeProcess(app.process(), &code) && code == 0;
}

struct EscCase {
    const char* what;
    const char* rules;
    std::function<void(const AppUnderTest&)> before;  // what the person did before pressing Esc
};

void clickConnectThatSucceeds(const AppUnderTest& app) {
    ASSERT_TRUE(app.connect(kTv)) << app.describe();
    EXPECT_FALSE(app.isEnabled(kConnectButtonId));
}

// The clicked button takes the focus, is greyed while the removal runs, then enabled again
// with the focus back on it.
void clickRemoval(const AppUnderTest& app) {
    ASSERT_TRUE(app.connect(kTv)) << app.describe();
    ASSERT_TRUE(app.click(kRemoveSystemUpdateButtonId));
    ASSERT_TRUE(waitFor([&] { return !app.isEnabled(kRemoveSystemUpdateButtonId); })) << app.describe();
    ASSERT_TRUE(waitFor([&] { return app.isEnabled(kRemoveSystemUpdateButtonId); })) << app.describe();
    EXPECT_TRUE(waitFor([&] { return app.focusedId() == kRemoveSystemUpdateButtonId; }))
        << "focus on " << app.focusedId();
    EXPECT_EQ(app.adbCalls(), (std::vector<std::string>{kConnectTv, kStateTv, kUninstallUpgrade}));
}

// The box takes the activation and hands it back when it is answered with Enter.
void clickConnectThatFails(const AppUnderTest& app) {
    app.setIp(kTv);
    ASSERT_TRUE(app.click(kConnectButtonId));
    const auto box = app.waitForMessageBox();
    ASSERT_TRUE(box) << app.describe();
    app.pressOk(*box);
    ASSERT_FALSE(::IsWindow(box->handle)) << "Enter did not answer the box\n" << app.describe();
    ASSERT_TRUE(waitFor([&] { return app.isEnabled(kConnectButtonId); })) << app.describe();
}

TEST(E2eKeyboard, EscClosesTheWindowWhateverHadTheFocus) {
    const EscCase cases[] = {
        {"after a clicked Connect that succeeds", "server: running", clickConnectThatSucceeds},
        {"after a clicked removal", "server: running\nuninstall: delay 500 success", clickRemoval},
        {"after a clicked Connect that fails", "server: running\nconnect: refused", clickConnectThatFails},
        {"at start-up", "server: running", [](const AppUnderTest&) {}},
    };
    for (const EscCase& step : cases) {
        SCOPED_TRACE(step.what);
        const AppUnderTest app(step.rules);
        step.before(app);
        if (HasFatalFailure()) continue;
        ASSERT_TRUE(app.pressEsc()) << "the main window could not be brought to the front";
        EXPECT_TRUE(waitFor([&] { return !::IsWindowVisible(app.mainWindow()); }))
            << "Esc did not close the window; focus on control " << app.focusedId() << "\n"
            << app.describe();
        EXPECT_TRUE(exitedNormally(app)) << app.describe();
    }
}

struct TabCase {
    const char* what;
    bool connected;
    std::vector<int> order;  // from the IP box, Tab by Tab, back to it
};

TEST(E2eKeyboard, TabWalksTheEnabledControlsInOrderAndComesRound) {
    const TabCase cases[] = {
        {"before a connection", false, {kIpBoxId, kConnectButtonId, kCloseLeftoversButtonId, kOutputBoxId, kIpBoxId}},
        {"connected", true,
         {kIpBoxId, kRemoveBootAdsButtonId, kCloseLeftoversButtonId, kRemoveSystemUpdateButtonId, kOutputBoxId,
          kIpBoxId}},
    };
    for (const TabCase& step : cases) {
        SCOPED_TRACE(step.what);
        const AppUnderTest app("server: running");
        if (step.connected) {
            ASSERT_TRUE(app.connect(kTv)) << app.describe();
        }
        ASSERT_TRUE(app.click(kIpBoxId));
        ASSERT_TRUE(waitFor([&] { return app.focusedId() == kIpBoxId; })) << "focus on " << app.focusedId();
        for (std::size_t i = 1; i < step.order.size(); ++i) {
            ASSERT_TRUE(app.pressKey(VK_TAB));
            EXPECT_TRUE(waitFor([&] { return app.focusedId() == step.order[i]; }))
                << "Tab " << i << " left the focus on " << app.focusedId() << ", not " << step.order[i];
        }
    }
}

// Connect greys out under the focus it had; the keyboard must still reach the window.
TEST(E2eKeyboard, EnterAndSpaceOnTheFocusedButtonStartItsActionAndTabGoesOnAfterwards) {
    for (const WORD key : {WORD{VK_RETURN}, WORD{VK_SPACE}}) {
        SCOPED_TRACE(key == VK_RETURN ? "Enter" : "Space");
        const AppUnderTest app("server: running");
        app.setIp(kTv);
        ASSERT_TRUE(app.click(kIpBoxId));
        ASSERT_TRUE(app.pressKey(VK_TAB));
        ASSERT_TRUE(waitFor([&] { return app.focusedId() == kConnectButtonId; })) << "focus on " << app.focusedId();
        ASSERT_TRUE(app.pressKey(key));
        ASSERT_TRUE(waitFor([&] { return app.isEnabled(kRemoveBootAdsButtonId); })) << app.describe();
        EXPECT_EQ(app.adbCalls(), (std::vector<std::string>{kConnectTv, kStateTv}));
        ASSERT_TRUE(app.pressKey(VK_TAB));
        EXPECT_TRUE(waitFor([&] { return app.focusedId() > 0 && app.isEnabled(app.focusedId()); }))
            << "Tab after the Connect left the focus on " << app.focusedId();
    }
}

// The focus comes back to a clicked removal button once it is enabled again, so a key on it
// runs it once more, as a click would.
TEST(E2eKeyboard, EnterAndSpaceOnAClickedButtonRunItAgain) {
    for (const WORD key : {WORD{VK_RETURN}, WORD{VK_SPACE}}) {
        SCOPED_TRACE(key == VK_RETURN ? "Enter" : "Space");
        const AppUnderTest app("server: running");
        ASSERT_TRUE(app.connect(kTv)) << app.describe();
        ASSERT_TRUE(app.click(kRemoveSystemUpdateButtonId));
        ASSERT_TRUE(waitFor([&] { return app.adbCalls().size() == 3 && app.isEnabled(kRemoveSystemUpdateButtonId); }))
            << app.describe();
        ASSERT_TRUE(app.pressKey(key));
        EXPECT_TRUE(waitFor([&] { return app.adbCalls().size() == 4; })) << app.describe();
        EXPECT_EQ(app.adbCalls(),
                  (std::vector<std::string>{kConnectTv, kStateTv, kUninstallUpgrade, kUninstallUpgrade}));
    }
}

struct RepeatCase {
    const char* what;
    int holder;  // a slow removal that holds the interpreter
    int clicked;
    std::vector<std::string> holderCalls;
    std::vector<std::string> clickedCalls;
};

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A button greys out at the click, not when its worker's turn comes: the later clicks of a
// quick triple click meet a greyed button even while another action holds the interpreter.
// The holder clicked once more afterwards queues behind whatever the triple click started.
TEST(E2eKeyboard, QuickRepeatedClicksWhileAnotherActionRunsStartOneAction) {
    const std::vector<std::string> bootAds{kUninstallAdSolution, kUninstallAdvertise};
    const std::vector<std::string> systemUpdate{kUninstallUpgrade};
    const RepeatCase cases[] = {
        {"boot ads clicked during a system-update removal", kRemoveSystemUpdateButtonId, kRemoveBootAdsButtonId,
         systemUpdate, bootAds},
        {"system update clicked during a boot-ads removal", kRemoveBootAdsButtonId, kRemoveSystemUpdateButtonId,
         bootAds, systemUpdate},
    };
    for (const RepeatCase& step : cases) {
        SCOPED_TRACE(step.what);
        const AppUnderTest app("server: running\nuninstall: delay 1500 success");
        ASSERT_TRUE(app.connect(kTv)) << app.describe();
        ASSERT_TRUE(app.click(step.holder));
        ASSERT_TRUE(waitFor([&] { return app.adbCalls().size() == 3; })) << app.describe();
        ASSERT_TRUE(app.click(step.clicked, 3));
        ASSERT_TRUE(waitFor([&] { return app.isEnabled(step.holder); })) << app.describe();
        ASSERT_TRUE(app.click(step.holder));
        const auto expected = joined({{kConnectTv, kStateTv}, step.holderCalls, step.clickedCalls, step.holderCalls});
        EXPECT_TRUE(waitFor([&] { return app.adbCalls().size() >= expected.size() && app.isEnabled(step.holder); }))
            << app.describe();
        EXPECT_EQ(app.adbCalls(), expected);
    }
}

}  // namespace
}  // namespace oz::test
