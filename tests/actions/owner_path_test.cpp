// What a TV owner meets on a real evening: another device on the adb server, a TV that has not
// yet allowed this computer, and bringing removed packages back.
#include <gtest/gtest.h>

#include "action_test_support.h"
#include "runtime/text_win.h"

namespace oz {
namespace {

using namespace std::chrono_literals;
using test::WorkerRig;
using test::WorkerThread;

const std::wstring kConnected = L"connected to 10.0.0.2:5555\r\n";
const std::wstring kAcceptLine = fromUtf8(kAcceptPromptLogLine) + L"\r\n";
constexpr OwnerWait kShortOwnerWait{3'000, 200};

int boxesShowing(const test::RecordingView& view, std::string_view text) {
    const auto calls = view.calls();
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const test::ViewCall& c) { return c.message == text; }));
}

// With a phone on USB or an emulator running, an untargeted command fails for "more than one
// device"; every command goes to the TV that was connected instead.
TEST(OwnerPath, EveryCommandGoesToTheConnectedTvWhenAnotherDeviceIsAttached) {
    WorkerRig rig({.scenario = "server: running\nattached: 10.0.0.2:5555 device, emulator-5554 device\n"});
    rig.run(ACTION_CONNECT);
    rig.run(ACTION_REMOVE_BOOT_ADS);
    rig.run(ACTION_REMOVE_SYSTEM_UPDATE);
    EXPECT_EQ(rig.view.logText(), kConnected + L"删除开机广告 -> Success\r\n删除开机广告 -> Success\r\n删除系统更新 ->Success\r\n");
    EXPECT_EQ(rig.scenario.calls(), (std::vector<std::string>{test::kConnectCall, test::kStateCall, test::kSystemAdSolution,
                                                               test::kMitvAdvertise, test::kMitvUpgrade}));

    // The TV has gone from the server: adb's own answer is logged as it is.
    rig.scenario.write("server: running\nattached: emulator-5554 device\n");
    rig.view.clear();
    rig.run(ACTION_REMOVE_SYSTEM_UPDATE);
    EXPECT_EQ(rig.view.logText(), L"删除系统更新 ->error: device '10.0.0.2:5555' not found\r\n");
}

// "connected to" comes before the owner has allowed this computer on the TV: Connect says so and
// waits, asking the TV again, until it lets us in.
TEST(OwnerPath, ConnectWaitsForTheOwnerAndSucceedsOnceTheTvLetsUsIn) {
    for (const char* connectReply : {"connected", "auth-failed"}) {
        SCOPED_TRACE(connectReply);
        WorkerRig rig({.scenario = std::string("server: running\nconnect: ") + connectReply +
                                   "\nget-state: unauthorized-for 1500\n",
                       .ownerWait = {20'000, 200}});
        rig.run(ACTION_CONNECT);
        const std::wstring answer = std::string(connectReply) == "connected"
                                        ? kConnected
                                        : L"failed to authenticate to 10.0.0.2:5555\r\n";
        EXPECT_EQ(rig.view.logText(), answer + kAcceptLine);
        const auto states = rig.view.disabledStates();
        EXPECT_FALSE(states.at(ACTION_REMOVE_BOOT_ADS));
        EXPECT_FALSE(states.at(ACTION_REMOVE_SYSTEM_UPDATE));
        EXPECT_TRUE(states.at(ACTION_CONNECT));
        const auto calls = rig.scenario.calls();
        EXPECT_GE(std::count(calls.begin(), calls.end(), test::kStateCall), 3) << "asked again while waiting";
        EXPECT_EQ(rig.view.rememberedAddress(), "10.0.0.2");
    }
}

TEST(OwnerPath, AnOwnerWhoNeverAllowsItEndsInABoxThatSaysWhatToDo) {
    WorkerRig rig({.scenario = "server: running\nget-state: unauthorized\n", .ownerWait = kShortOwnerWait});
    rig.run(ACTION_CONNECT);
    EXPECT_EQ(boxesShowing(rig.view, kAuthorizationTimeoutMessage), 1);
    EXPECT_EQ(boxesShowing(rig.view, kConnectFailedMessage), 0);
    EXPECT_EQ(rig.view.logText(), kConnected + kAcceptLine);
    const auto states = rig.view.disabledStates();
    EXPECT_FALSE(states.at(ACTION_CONNECT));
    EXPECT_TRUE(states.at(ACTION_REMOVE_BOOT_ADS));
    EXPECT_EQ(rig.view.rememberedAddress(), "");
}

// A cleanup, or the window closing, ends the wait at once.
TEST(OwnerPath, ACleanupOrTheCloseEndsTheWaitForTheOwnerAtOnce) {
    for (const bool close : {false, true}) {
        SCOPED_TRACE(close ? "close" : "cleanup");
        test::endInterpretersAndBridges();
        WorkerRig rig({.scenario = "server: running\nget-state: unauthorized\n", .ownerWait = {600'000, 200}});
        WorkerThread connect = rig.start(ACTION_CONNECT);
        ASSERT_TRUE(test::eventually([&] { return rig.view.logText() == kConnected + kAcceptLine; }));
        if (close) {
            rig.worker.shutDown();
        } else {
            WorkerThread cleanup = rig.start(ACTION_CLOSE_LEFTOVERS);
            EXPECT_TRUE(cleanup.endsWithin(20s));
        }
        EXPECT_TRUE(connect.endsWithin(10s));
        EXPECT_EQ(boxesShowing(rig.view, kAuthorizationTimeoutMessage), 0);
        EXPECT_EQ(boxesShowing(rig.view, kConnectFailedMessage), 0);
        const auto calls = rig.scenario.calls();
        ::Sleep(500);
        EXPECT_EQ(rig.scenario.calls(), calls) << "asked the TV after the wait had ended";
    }
}

TEST(OwnerPath, AnOfflineTvIsAFailedConnect) {
    WorkerRig rig({.scenario = "server: running\nget-state: offline\n"});
    rig.run(ACTION_CONNECT);
    EXPECT_EQ(boxesShowing(rig.view, kConnectFailedMessage), 1);
    EXPECT_EQ(rig.view.logText(), kConnected + L"error: device offline\r\n");
    EXPECT_FALSE(rig.view.disabledStates().at(ACTION_CONNECT));
}

// cmd package install-existing on newer Android, pm install-existing on 7 and older, neither on
// some old TVs: each form is tried once, and the log says what happened.
TEST(OwnerPath, RestoreBringsPackagesBackOnNewOldAndUnsupportedTvs) {
    const std::string cmdForm = "-s 10.0.0.2:5555 shell cmd package install-existing --user 0 ";
    const std::string pmForm = "-s 10.0.0.2:5555 shell pm install-existing --user 0 ";
    const std::string ads = "com.miui.systemAdSolution", advertise = "com.xiaomi.mitv.advertise";
    const std::wstring unsupported = fromUtf8(kRestoreUnsupportedLine) + L"\r\n";
    const struct {
        const char* android;
        std::wstring log;
        std::vector<std::string> calls;
    } cases[] = {
        {"new",
         L"恢复开机广告 -> Package com.miui.systemAdSolution installed for user: 0\r\n"
         L"恢复开机广告 -> Package com.xiaomi.mitv.advertise installed for user: 0\r\n",
         {cmdForm + ads, cmdForm + advertise}},
        {"old",
         L"恢复开机广告 -> Package com.miui.systemAdSolution installed for user: 0\r\n"
         L"恢复开机广告 -> Package com.xiaomi.mitv.advertise installed for user: 0\r\n",
         {cmdForm + ads, pmForm + ads, cmdForm + advertise, pmForm + advertise}},
        {"unsupported", unsupported, {cmdForm + ads, pmForm + ads}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.android);
        WorkerRig rig({.scenario = std::string("server: running\nandroid: ") + c.android + "\n"});
        rig.connectAndForget();
        const std::size_t before = rig.scenario.calls().size();
        rig.run(ACTION_RESTORE_BOOT_ADS);
        EXPECT_EQ(rig.view.logText(), c.log);
        const auto calls = rig.scenario.calls();
        EXPECT_EQ(std::vector<std::string>(calls.begin() + static_cast<std::ptrdiff_t>(before), calls.end()), c.calls);
        EXPECT_FALSE(rig.view.disabledStates().at(ACTION_REMOVE_BOOT_ADS));
    }
    WorkerRig rig({.scenario = "server: running\n"});
    rig.connectAndForget();
    rig.run(ACTION_RESTORE_SYSTEM_UPDATE);
    EXPECT_EQ(rig.view.logText(), L"恢复系统更新 -> Package com.xiaomi.mitv.upgrade installed for user: 0\r\n");
}

}  // namespace
}  // namespace oz
