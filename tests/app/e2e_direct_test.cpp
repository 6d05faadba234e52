// The real Ozarith.exe with no adb.exe anywhere: real clicks, the protocol double as the TV on a
// loopback port, and the log as it would read with adb.
#include <gtest/gtest.h>

#include "core/action_rules.h"
#include "core/device_rules.h"
#include "runtime/adb_key_store_win.h"
#include "runtime/text_win.h"
#include "support/app_driver.h"
#include "support/real_input.h"
#include "support/tv_double.h"

namespace oz::test {
namespace {

const std::string kPackages = "com.miui.systemAdSolution,com.xiaomi.mitv.advertise,com.xiaomi.mitv.upgrade";

// The program finds this user's adb key where adb keeps it; the test points both at a folder of its own.
class E2eDirect : public ::testing::Test {
protected:
    TempFolder home{L"adb home"};
    ScopedEnvironment androidUserHome{L"ANDROID_USER_HOME", home.path().wstring()};
    std::string publicKey = loadOrCreateAdbKey().identity->publicKeyText;
};

TEST_F(E2eDirect, ConnectBothRemovalsAndARestoreWithoutAdbExe) {
    const TvDouble tv({"--packages", kPackages}, {publicKey});
    ASSERT_TRUE(tv.listening()) << tv.startError();
    const AppUnderTest app({}, L"app", kFirstClickAfter, false, false);
    ASSERT_TRUE(app.connect(fromUtf8(tv.address()))) << app.describe() << tv.log();
    ASSERT_TRUE(app.click(kRemoveBootAdsButtonId));
    ASSERT_TRUE(waitFor([&] { return app.isEnabled(kRemoveBootAdsButtonId); })) << app.describe();
    ASSERT_TRUE(app.click(kRemoveSystemUpdateButtonId));
    ASSERT_TRUE(waitFor([&] { return app.logText().ends_with(L"删除系统更新 ->Success\r\n"); })) << app.describe();
    ASSERT_TRUE(app.rightClick(kRemoveSystemUpdateButtonId));
    ASSERT_TRUE(waitFor([&] { return app.findPopupMenu() != nullptr; })) << app.describe();
    ASSERT_TRUE(pressKey(VK_DOWN) && pressKey(VK_RETURN));
    const std::wstring expected = fromUtf8(kDirectPathLogLine) + L"\r\nconnected to " + fromUtf8(tv.address()) +
                                  L"\r\n删除开机广告 -> Success\r\n删除开机广告 -> Success\r\n删除系统更新 ->Success\r\n"
                                  L"恢复系统更新 -> Package com.xiaomi.mitv.upgrade installed for user: 0\r\n";
    EXPECT_TRUE(waitFor([&] { return app.logText() == expected; })) << app.describe();
    EXPECT_TRUE(app.adbCalls().empty());
}

// A TV that has to ask its owner first, then one nobody answers on: the first connects once
// allowed, the second is a failed Connect with its box and an honest line.
TEST_F(E2eDirect, TheOwnersPromptAndARefusedAddress) {
    const TvDouble tv({"--accept", "after", "1"});
    ASSERT_TRUE(tv.listening()) << tv.startError();
    const AppUnderTest app({}, L"app", kFirstClickAfter, false, false);
    ASSERT_TRUE(app.connect(fromUtf8(tv.address()))) << app.describe() << tv.log();
    EXPECT_NE(app.logText().find(fromUtf8(kAcceptPromptLogLine)), std::wstring::npos) << app.describe();

    ASSERT_TRUE(app.click(kCloseLeftoversButtonId));
    const auto summary = app.waitForMessageBox(L"一共关闭");
    ASSERT_TRUE(summary) << app.describe();
    app.pressOk(*summary);
    app.setIp(L"127.0.0.1:1");
    ASSERT_TRUE(waitFor([&] { return app.isEnabled(kConnectButtonId); }));
    ASSERT_TRUE(app.click(kConnectButtonId));
    const auto failed = app.waitForMessageBox(fromUtf8(kConnectFailedMessage));
    ASSERT_TRUE(failed) << app.describe();
    app.pressOk(*failed);
    EXPECT_TRUE(waitFor([&] {
        return app.logText().find(fromUtf8(outcomeText(DirectAdbOutcome::Refused))) != std::wstring::npos &&
               app.isEnabled(kConnectButtonId);
    })) << app.describe();
}

}  // namespace
}  // namespace oz::test
