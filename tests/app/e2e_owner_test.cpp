// The real Ozarith.exe on a TV owner's evening: the address remembered for the next start, and
// the removal buttons' menus that bring packages back, reached with real clicks and keys.
#include <gtest/gtest.h>

#include "core/device_rules.h"
#include "support/app_driver.h"
#include "support/real_input.h"

namespace oz::test {
namespace {

const std::string kRestoreUpgrade = "-s 127.0.0.1:5555 shell cmd package install-existing --user 0 com.xiaomi.mitv.upgrade";

bool contains(const std::vector<std::string>& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

TEST(E2eOwner, TheAddressThatConnectedIsInTheBoxAtTheNextStart) {
    {
        const AppUnderTest first;
        EXPECT_EQ(first.text(kIpBoxId), L"");
        ASSERT_TRUE(first.connect(L"\xFF11\xFF12\xFF17\x3002" L"0.0.1")) << first.describe();  // typed full-width
        ASSERT_TRUE(first.pressEsc());
        ASSERT_TRUE(first.processExited()) << first.describe();
    }
    const AppUnderTest second({}, L"app", kFirstClickAfter, true);
    EXPECT_EQ(second.text(kIpBoxId), L"127.0.0.1");
    // One click on Connect is all it takes now.
    ASSERT_TRUE(second.click(kConnectButtonId));
    EXPECT_TRUE(waitFor([&] { return second.isEnabled(kRemoveBootAdsButtonId); })) << second.describe();
}

// A right-click on a removal button opens its menu; choosing the entry sends the restore to the
// connected TV and logs its answer like a removal's.
TEST(E2eOwner, RightClickOnARemovalButtonBringsThePackagesBack) {
    const AppUnderTest app;
    ASSERT_TRUE(app.connect()) << app.describe();
    ASSERT_TRUE(app.rightClick(kRemoveSystemUpdateButtonId));
    ASSERT_TRUE(waitFor([&] { return app.findPopupMenu() != nullptr; })) << app.describe();
    ASSERT_TRUE(pressKey(VK_DOWN) && pressKey(VK_RETURN));
    EXPECT_TRUE(waitFor([&] {
        return app.logText().ends_with(L"恢复系统更新 -> Package com.xiaomi.mitv.upgrade installed for user: 0\r\n");
    })) << app.describe();
    EXPECT_TRUE(contains(app.adbCalls(), kRestoreUpgrade));
    EXPECT_TRUE(waitFor([&] { return app.isEnabled(kRemoveSystemUpdateButtonId); }));
}

// The same menu from the keyboard (Shift+F10 on the focused button); while the button is greyed
// (no TV connected) its entry is greyed too and choosing it does nothing.
TEST(E2eOwner, TheMenuFromTheKeyboardAndItsGreyedEntryBeforeAConnect) {
    const AppUnderTest app;
    ASSERT_TRUE(app.rightClick(kRemoveBootAdsButtonId));
    ASSERT_TRUE(waitFor([&] { return app.findPopupMenu() != nullptr; })) << app.describe();
    ASSERT_TRUE(pressKey(VK_DOWN) && pressKey(VK_RETURN));
    EXPECT_TRUE(waitFor([&] { return app.findPopupMenu() == nullptr; }));
    ::Sleep(500);
    EXPECT_TRUE(app.adbCalls().empty()) << app.describe();
    EXPECT_EQ(app.logText(), L"");

    ASSERT_TRUE(app.connect()) << app.describe();
    ASSERT_TRUE(app.click(kRemoveBootAdsButtonId));  // the focus is on it now, and it is enabled again
    ASSERT_TRUE(waitFor([&] { return app.isEnabled(kRemoveBootAdsButtonId); })) << app.describe();
    ASSERT_TRUE(waitFor([&] { return app.focusedId() == kRemoveBootAdsButtonId; })) << app.describe();
    ASSERT_TRUE(sendShiftF10());
    ASSERT_TRUE(waitFor([&] { return app.findPopupMenu() != nullptr; })) << app.describe();
    ASSERT_TRUE(pressKey(VK_DOWN) && pressKey(VK_RETURN));
    EXPECT_TRUE(waitFor([&] {
        return app.logText().find(L"恢复开机广告 -> Package com.xiaomi.mitv.advertise installed for user: 0\r\n") !=
               std::wstring::npos;
    })) << app.describe();
}

}  // namespace
}  // namespace oz::test
