// The real Ozarith.exe after a connection: the two removals, clicks that overlap, and the
// cleanup of leftover cmd.exe and adb.exe, also while an action waits for ever.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/action_rules.h"
#include "runtime/text_win.h"
#include "support/app_driver.h"

namespace oz::test {
namespace {

const std::wstring kTv = L"127.0.0.1";
const std::wstring kConnected = L"connected to 127.0.0.1:5555\r\n";
const std::wstring kBootAdsGone = L"删除开机广告 -> 删除失败,该服务未安装,有可能已经删除了\r\n";
const std::wstring kConnectFailed = L"连接失败,请检查是否在同一个局域网内";

struct RemovalCase {
    const char* rules;
    int button;
    std::wstring log;  // after the connect line
    std::vector<std::string> calls;
};

TEST(E2eRemoval, LogsOneLinePerCommandAndEnablesItsButtonAgain) {
    const RemovalCase cases[] = {
        {"uninstall: not-installed", kRemoveBootAdsButtonId, kBootAdsGone + kBootAdsGone + L"\r\n",
         {kConnectTv, kStateTv, kUninstallAdSolution, kUninstallAdvertise}},
        {"uninstall com.xiaomi.mitv.advertise: not-installed", kRemoveBootAdsButtonId,
         L"删除开机广告 -> Success\r\n" + kBootAdsGone + L"\r\n", {kConnectTv, kStateTv, kUninstallAdSolution, kUninstallAdvertise}},
        {"uninstall: success", kRemoveSystemUpdateButtonId, L"删除系统更新 ->Success\r\n", {kConnectTv, kStateTv, kUninstallUpgrade}},
        {"uninstall: not-installed", kRemoveSystemUpdateButtonId,
         L"删除系统更新 -> 删除失败,该服务未安装,有可能已经删除了\r\n", {kConnectTv, kStateTv, kUninstallUpgrade}},
        // Four lines with adb's bare LF line ends, on stderr: four lines in the log.
        {"uninstall: unauthorized", kRemoveSystemUpdateButtonId,
         L"删除系统更新 ->error: device unauthorized.\r\nThis adb server's $ADB_VENDOR_KEYS is not set\r\n"
         L"Try 'adb kill-server' if that seems wrong.\r\nOtherwise check for a confirmation dialog on your device.\r\n",
         {kConnectTv, kStateTv, kUninstallUpgrade}},
    };
    for (const RemovalCase& step : cases) {
        SCOPED_TRACE(step.rules);
        const AppUnderTest app(std::string("server: running\n") + step.rules);
        ASSERT_TRUE(app.connect(kTv)) << app.describe();
        ASSERT_TRUE(app.click(step.button));
        EXPECT_TRUE(waitFor([&] { return app.logText() == kConnected + step.log && app.isEnabled(step.button); }))
            << app.describe();
        EXPECT_EQ(app.adbCalls(), step.calls);
        EXPECT_FALSE(app.isEnabled(kConnectButtonId));
    }
}

// Every answer takes a while, so workers that talked to the interpreter at the same time would
// mix their commands and read each other's answers.
TEST(E2eRemoval, OverlappingClicksRunWholeExchangesInClickOrder) {
    const AppUnderTest app("server: running\ndefaults: delay 300");
    ASSERT_TRUE(app.connect(kTv)) << app.describe();
    ASSERT_TRUE(app.click(kRemoveBootAdsButtonId));
    ASSERT_TRUE(app.click(kRemoveSystemUpdateButtonId));
    const std::wstring bootAds = L"删除开机广告 -> Success\r\n";
    EXPECT_TRUE(waitFor([&] {
        return app.logText() == kConnected + bootAds + bootAds + L"删除系统更新 ->Success\r\n" &&
               app.isEnabled(kRemoveBootAdsButtonId) && app.isEnabled(kRemoveSystemUpdateButtonId);
    })) << app.describe();
    EXPECT_EQ(app.adbCalls(),
              (std::vector<std::string>{kConnectTv, kStateTv, kUninstallAdSolution, kUninstallAdvertise, kUninstallUpgrade}));
    EXPECT_FALSE(app.isEnabled(kConnectButtonId));
}

// The cleanup ends every cmd.exe and adb.exe of the machine, so the count is exact only
// while nothing else of that name runs.
void expectNoOtherInterpreters() {
    ASSERT_EQ(countProcesses(L"cmd.exe"), 0u) << "another cmd.exe runs in the prefix";
    ASSERT_EQ(countProcesses(L"adb.exe"), 0u) << "another adb.exe runs in the prefix";
}

void expectNotConnected(const AppUnderTest& app) {
    EXPECT_TRUE(waitFor([&] { return app.isEnabled(kConnectButtonId); })) << app.describe();
    EXPECT_FALSE(app.isEnabled(kRemoveBootAdsButtonId));
    EXPECT_FALSE(app.isEnabled(kRemoveSystemUpdateButtonId));
    EXPECT_TRUE(app.isEnabled(kCloseLeftoversButtonId));
}

// Clicks the cleanup and dismisses its summary, which is checked word for word.
void cleanUp(const AppUnderTest& app, const std::wstring& summary) {
    ASSERT_TRUE(app.click(kCloseLeftoversButtonId));
    const auto box = app.waitForMessageBox(L"一共关闭");
    ASSERT_TRUE(box) << app.describe();
    EXPECT_EQ(box->text, summary);
    EXPECT_EQ(box->owner, app.mainWindow());
    EXPECT_FALSE(::IsWindowEnabled(app.mainWindow())) << "the window still takes input under its summary box";
    app.pressOk(*box);
}

TEST(E2eCleanup, CountsTheOwnInterpreterAndLeavesTheProgramReadyToConnectAgain) {
    expectNoOtherInterpreters();
    const AppUnderTest app("server: running");
    ASSERT_TRUE(waitFor([] { return countProcesses(L"cmd.exe") == 1; }));
    const std::wstring ownInterpreterOnly = L"一共关闭 1 个cmd.exe程序\r\n一共关闭 0 adb.exe程序\r\n";
    cleanUp(app, ownInterpreterOnly);
    expectNotConnected(app);
    EXPECT_EQ(countProcesses(L"cmd.exe"), 0u);

    // Connect starts a new interpreter; a cleanup while connected ends it again.
    ASSERT_TRUE(app.connect(kTv)) << app.describe();
    cleanUp(app, ownInterpreterOnly);
    expectNotConnected(app);
    EXPECT_EQ(app.logText(), kConnected);
    EXPECT_EQ(app.adbCalls(), (std::vector<std::string>{kConnectTv, kStateTv}));
}

TEST(E2eCleanup, EndsAConnectThatWaitsForEverAndTheNextConnectWorks) {
    expectNoOtherInterpreters();
    const AppUnderTest app("server: running\nconnect: hang");
    app.setIp(kTv);
    ASSERT_TRUE(app.click(kConnectButtonId));
    ASSERT_TRUE(waitFor([&] { return app.adbCalls().size() == 1; })) << app.describe();
    // The hanging adb.exe outlives its interpreter and is caught by the second pass.
    cleanUp(app, L"一共关闭 1 个cmd.exe程序\r\n一共关闭 1 adb.exe程序\r\n");

    // The waiting Connect ends at once and says it was cut short; the cleanup's box was the only one.
    EXPECT_TRUE(waitFor([&] { return app.logText() == fromUtf8(kInterruptedLine) + L"\r\n"; })) << app.describe();
    EXPECT_FALSE(app.findMessageBox().has_value()) << app.describe();
    expectNotConnected(app);

    app.writeScenario("server: running\nconnect: connected");
    EXPECT_TRUE(app.connect(kTv)) << "a Connect after the cleanup did not get through\n" << app.describe();
    EXPECT_EQ(app.adbCalls(), (std::vector<std::string>{kConnectTv, kConnectTv, kStateTv}));
}

}  // namespace
}  // namespace oz::test
