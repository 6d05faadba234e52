// Several clicks at once, and the window closing while actions run.
#include <gtest/gtest.h>

#include <future>

#include "action_test_support.h"

namespace oz {
namespace {

using namespace std::chrono_literals;
using test::WorkerRig;
using test::WorkerThread;
using test::kMitvAdvertise;
using test::kMitvUpgrade;
using test::kSystemAdSolution;


bool contains(const std::vector<std::string>& calls, std::string_view call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

// Tickets are drawn in click order; the threads start in the opposite order, each well after the
// one before, so every later click is already waiting when an earlier one begins.
TEST(ActionWorkerQueue, ClicksOfDifferentActionsRunWholeAndInClickOrder) {
    WorkerRig rig({.scenario = "server: running\ndefaults: delay 30\n"
                               "uninstall com.miui.systemAdSolution: text first ad package gone\n"
                               "uninstall com.xiaomi.mitv.advertise: text second ad package gone\n"
                               "uninstall com.xiaomi.mitv.upgrade: text update gone\n"});
    const int clicks[] = {ACTION_CONNECT,         ACTION_REMOVE_BOOT_ADS, ACTION_REMOVE_SYSTEM_UPDATE,
                          ACTION_REMOVE_BOOT_ADS, ACTION_REMOVE_BOOT_ADS, ACTION_REMOVE_SYSTEM_UPDATE};
    std::vector<ActionWorker::Request> requests;
    for (const int code : clicks) requests.push_back(rig.worker.request(code, "10.0.0.2"));
    std::vector<WorkerThread> workers;
    for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
        workers.emplace_back(rig.worker, *it);
        std::this_thread::sleep_for(50ms);
    }
    for (WorkerThread& worker : workers) EXPECT_TRUE(worker.endsWithin(30s));

    std::vector<std::string> expected;
    std::wstring expectedLog;
    for (const int code : clicks) {
        if (code == ACTION_CONNECT) {
            expected.insert(expected.end(), test::kConnectCalls.begin(), test::kConnectCalls.end());
            expectedLog += L"connected to 10.0.0.2:5555\r\n";
        } else if (code == ACTION_REMOVE_BOOT_ADS) {
            expected.insert(expected.end(), {kSystemAdSolution, kMitvAdvertise});
            expectedLog += L"删除开机广告 -> first ad package gone\r\n删除开机广告 -> second ad package gone\r\n";
        } else {
            expected.push_back(kMitvUpgrade);
            expectedLog += L"删除系统更新 ->update gone\r\n";
        }
    }
    EXPECT_EQ(rig.scenario.calls(), expected);
    EXPECT_EQ(rig.view.logText(), expectedLog);
}

// The window closes while Connect waits for an adb that never answers, with two more clicks
// queued behind it.
TEST(ActionWorkerShutDown, EndsEveryWorkerAndNothingReachesTheViewOrTheInterpreterAfterIt) {
    WorkerRig rig({.scenario = "server: running\nconnect: hang\n"});
    WorkerThread connect = rig.start(ACTION_CONNECT);
    ASSERT_TRUE(test::eventually([&] { return !rig.scenario.calls().empty(); }));
    WorkerThread bootAds = rig.start(ACTION_REMOVE_BOOT_ADS);
    WorkerThread systemUpdate = rig.start(ACTION_REMOVE_SYSTEM_UPDATE);

    rig.worker.shutDown();
    const std::size_t seenAtShutDown = rig.view.count();
    EXPECT_TRUE(connect.endsWithin(20s));
    EXPECT_TRUE(bootAds.endsWithin(20s));
    EXPECT_TRUE(systemUpdate.endsWithin(20s));
    EXPECT_EQ(rig.view.count(), seenAtShutDown);
    EXPECT_EQ(rig.scenario.calls(), std::vector{test::kConnectCall});
    EXPECT_TRUE(test::eventually([] { return test::processesNamed(L"cmd.exe").empty(); }))
        << "an interpreter was started after the window closed";
}

// A failed Connect's box is up (it has no owner, so the window can still be closed meanwhile).
TEST(ActionWorkerShutDown, ReturnsWhileABoxIsUpAndTheWorkerWritesNothingOnceItIsDismissed) {
    WorkerRig rig({.scenario = "server: running\nconnect: refused\n"});
    rig.view.holdMessages();
    WorkerThread connect = rig.start(ACTION_CONNECT);
    ASSERT_TRUE(rig.view.waitForMessages(1));

    auto shutDown = std::async(std::launch::async, [&] { rig.worker.shutDown(); });
    const bool returned = shutDown.wait_for(20s) == std::future_status::ready;
    EXPECT_TRUE(returned) << "shutDown waited for the box";
    const std::size_t seenAtShutDown = rig.view.count();
    rig.view.releaseMessages();
    shutDown.wait();
    EXPECT_TRUE(connect.endsWithin(20s));
    if (returned) {
        EXPECT_EQ(rig.view.count(), seenAtShutDown);
    }
}

// The same click order as the user would see it when one removal never answers: the other
// removal waits for its turn, the cleanup does not; and what was clicked before the cleanup
// sends nothing more once it has been clicked.
TEST(ActionWorkerQueue, AWaitingRemovalHoldsUpTheNextExchangeButNotTheCleanup) {
    WorkerRig rig;
    rig.connectAndForget();
    rig.scenario.write("server: running\nuninstall com.miui.systemAdSolution: hang\n");
    WorkerThread bootAds = rig.start(ACTION_REMOVE_BOOT_ADS);
    ASSERT_TRUE(test::eventually([&] { return contains(rig.scenario.calls(), kSystemAdSolution); }));
    WorkerThread systemUpdate = rig.start(ACTION_REMOVE_SYSTEM_UPDATE);
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(contains(rig.scenario.calls(), kMitvUpgrade)) << "two exchanges at once";

    WorkerThread cleanup = rig.start(ACTION_CLOSE_LEFTOVERS);
    EXPECT_TRUE(cleanup.endsWithin(20s));
    EXPECT_TRUE(bootAds.endsWithin(20s));
    EXPECT_TRUE(systemUpdate.endsWithin(20s));
    const std::vector<std::string> calls = rig.scenario.calls();
    EXPECT_EQ(calls, (std::vector<std::string>{test::kConnectCall, test::kStateCall, kSystemAdSolution}));
}

}  // namespace
}  // namespace oz
