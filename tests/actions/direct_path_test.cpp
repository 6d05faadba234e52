// No adb.exe anywhere: the worker talks to the TV itself, and the log and the boxes read as they
// would with adb. The TV is the protocol double on a loopback port.
#include <gtest/gtest.h>

#include "action_test_support.h"
#include "runtime/adb_key_store_win.h"
#include "runtime/text_win.h"
#include "support/tv_double.h"

namespace oz {
namespace {

using namespace std::chrono_literals;
using test::TvDouble;
using test::WorkerRig;
using test::WorkerThread;

const std::string kPackages = "com.miui.systemAdSolution,com.xiaomi.mitv.advertise,com.xiaomi.mitv.upgrade";
const std::wstring kDirectLine = fromUtf8(kDirectPathLogLine) + L"\r\n";
const std::wstring kAcceptLine = fromUtf8(kAcceptPromptLogLine) + L"\r\n";

int boxesShowing(const test::RecordingView& view, std::string_view text) {
    const auto calls = view.calls();
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const test::ViewCall& c) { return c.message == text; }));
}

// One adb home for the suite, its key made once; a TV that trusts it lets the worker in at once.
class DirectPath : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        home_ = std::make_unique<test::TempFolder>(L"adb home");
        androidUserHome_ = std::make_unique<test::ScopedEnvironment>(L"ANDROID_USER_HOME", home_->path().wstring());
        publicKey_ = loadOrCreateAdbKey().identity->publicKeyText;
    }
    static void TearDownTestSuite() {
        androidUserHome_.reset();
        home_.reset();
    }
    static std::vector<std::string> trusted() { return {publicKey_}; }

    WorkerRig rig{{.withAdb = false}};

private:
    static inline std::unique_ptr<test::TempFolder> home_;
    static inline std::unique_ptr<test::ScopedEnvironment> androidUserHome_;
    static inline std::string publicKey_;
};

TEST_F(DirectPath, ConnectBothRemovalsAndARestoreReadAsWithAdb) {
    const TvDouble tv({"--packages", kPackages}, trusted());
    ASSERT_TRUE(tv.listening()) << tv.startError();
    rig.run(ACTION_CONNECT, fromUtf8(tv.address()));
    rig.run(ACTION_REMOVE_BOOT_ADS);
    rig.run(ACTION_REMOVE_SYSTEM_UPDATE);
    rig.run(ACTION_REMOVE_SYSTEM_UPDATE);
    rig.run(ACTION_RESTORE_SYSTEM_UPDATE);
    EXPECT_EQ(rig.view.logText(), kDirectLine + L"connected to " + fromUtf8(tv.address()) +
                                      L"\r\n删除开机广告 -> Success\r\n删除开机广告 -> Success\r\n删除系统更新 ->Success\r\n"
                                      L"删除系统更新 -> 删除失败,该服务未安装,有可能已经删除了\r\n"
                                      L"恢复系统更新 -> Package com.xiaomi.mitv.upgrade installed for user: 0\r\n");
    EXPECT_TRUE(rig.scenario.calls().empty()) << "no adb.exe was run";
    EXPECT_EQ(rig.view.rememberedAddress(), tv.address());
    EXPECT_NE(tv.state().find("com.xiaomi.mitv.upgrade"), std::string::npos) << tv.state();
}

TEST_F(DirectPath, ATvThatAsksItsOwnerLetsUsInOnceAllowed) {
    const TvDouble tv({"--accept", "after", "1"});
    ASSERT_TRUE(tv.listening()) << tv.startError();
    rig.run(ACTION_CONNECT, fromUtf8(tv.address()));
    EXPECT_EQ(rig.view.logText(), kDirectLine + kAcceptLine + L"connected to " + fromUtf8(tv.address()) + L"\r\n");
    EXPECT_FALSE(rig.view.disabledStates().at(ACTION_REMOVE_BOOT_ADS));
}

// A cleanup ends the wait for the owner at once, without a box.
TEST_F(DirectPath, ACleanupEndsTheWaitForTheOwner) {
    const TvDouble tv({"--accept", "never"});
    ASSERT_TRUE(tv.listening()) << tv.startError();
    WorkerThread connect = rig.start(ACTION_CONNECT, fromUtf8(tv.address()));
    ASSERT_TRUE(test::eventually([&] { return rig.view.logText() == kDirectLine + kAcceptLine; })) << tv.log();
    WorkerThread cleanup = rig.start(ACTION_CLOSE_LEFTOVERS);
    EXPECT_TRUE(cleanup.endsWithin(20s));
    EXPECT_TRUE(connect.endsWithin(5s));
    EXPECT_EQ(boxesShowing(rig.view, kAuthorizationTimeoutMessage), 0);
    EXPECT_EQ(boxesShowing(rig.view, kConnectFailedMessage), 0);
    EXPECT_FALSE(rig.view.disabledStates().at(ACTION_CONNECT));
}

// Nobody listens, or the TV is hostile: a failed Connect with its box and an honest line, and
// the buttons as after any failed Connect.
TEST_F(DirectPath, ARefusedAddressOrAHostileTvIsAFailedConnectThatSaysWhy) {
    const TvDouble garbage({"--garbage", "--hostile-at", "connect"}, trusted());
    const TvDouble tls({"--tls"}, trusted());
    ASSERT_TRUE(garbage.listening() && tls.listening());
    const struct {
        std::string address;
        DirectAdbOutcome outcome;
    } cases[] = {
        {"127.0.0.1:1", DirectAdbOutcome::Refused},
        {garbage.address(), DirectAdbOutcome::ProtocolError},
        {tls.address(), DirectAdbOutcome::TlsPairingNeeded},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        rig.view.clear();
        rig.run(ACTION_CONNECT, fromUtf8(c.address));
        EXPECT_EQ(boxesShowing(rig.view, kConnectFailedMessage), 1);
        EXPECT_NE(rig.view.logText().find(fromUtf8(outcomeText(c.outcome))), std::wstring::npos) << toUtf8(rig.view.logText());
        const auto states = rig.view.disabledStates();
        EXPECT_FALSE(states.at(ACTION_CONNECT));
        EXPECT_TRUE(states.at(ACTION_REMOVE_BOOT_ADS));
    }
}

// The TV drops the connection in the middle of a removal: the log says so, the button works again.
TEST_F(DirectPath, ATvThatDropsMidCommandLeavesTheButtonsUsable) {
    const TvDouble tv({"--drop-mid-command"}, trusted());
    ASSERT_TRUE(tv.listening()) << tv.startError();
    rig.run(ACTION_CONNECT, fromUtf8(tv.address()));
    rig.view.clear();
    rig.run(ACTION_REMOVE_SYSTEM_UPDATE);
    EXPECT_EQ(rig.view.logText(), L"删除系统更新 ->" + fromUtf8(outcomeText(DirectAdbOutcome::Dropped)) + L"\r\n");
    EXPECT_FALSE(rig.view.disabledStates().at(ACTION_REMOVE_SYSTEM_UPDATE));
}

}  // namespace
}  // namespace oz
