// Close leftover programs: every cmd.exe and adb.exe of the (Wine) machine is terminated. In the
// test's Wine prefix every such process was started by this test program, so the counts are
// known exactly.
#include <gtest/gtest.h>

#include <algorithm>

#include "action_test_support.h"
#include "actions/leftover_cleanup_win.h"
#include "runtime/text_win.h"

namespace oz {
namespace {

using namespace std::chrono_literals;
using test::buttonCall;
using test::describe;
using test::messageCall;
using test::ViewCall;
using test::WorkerRig;
using test::WorkerThread;

std::string summary(int interpreters, int bridges) {
    return "一共关闭 " + std::to_string(interpreters) + " 个cmd.exe程序\r\n一共关闭 " + std::to_string(bridges) +
           " adb.exe程序\r\n";
}

std::vector<ViewCall> cleanupCalls(int interpreters, int bridges) {
    return {buttonCall(ACTION_CONNECT, false), buttonCall(ACTION_REMOVE_SYSTEM_UPDATE, true),
            buttonCall(ACTION_REMOVE_BOOT_ADS, true), messageCall(summary(interpreters, bridges), MB_ICONINFORMATION, true)};
}

bool contains(const std::vector<std::string>& calls, std::string_view call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

const std::map<ActionCode, bool> kNotConnected{
    {ACTION_CONNECT, false}, {ACTION_REMOVE_BOOT_ADS, true}, {ACTION_REMOVE_SYSTEM_UPDATE, true}};

class LeftoverCleanup : public ::testing::Test {
protected:
    void SetUp() override { test::endInterpretersAndBridges(); }
};

TEST_F(LeftoverCleanup, PutsTheButtonsBackBeforeEndingTheInterpreterAndReportsTheCounts) {
    WorkerRig rig;
    rig.connectAndForget();
    const std::vector<DWORD> interpreters = test::processesNamed(L"cmd.exe");
    ASSERT_EQ(interpreters.size(), 1u);
    const test::WatchedProcess interpreter(interpreters.front());
    rig.view.setProbe([&] { return interpreter.running(); });

    rig.run(ACTION_CLOSE_LEFTOVERS);
    const std::vector<ViewCall> calls = rig.view.calls();
    EXPECT_EQ(describe(calls), describe(cleanupCalls(1, 0)));
    for (std::size_t i = 0; i < 3 && i < calls.size(); ++i) EXPECT_TRUE(calls[i].probe) << "button write " << i;
    EXPECT_TRUE(interpreter.endsWithin(10s));
    EXPECT_FALSE(rig.console->isRunning());
    EXPECT_EQ(rig.view.disabledStates(), kNotConnected);

    // Nothing of the program's own is left for a second one.
    rig.view.clear();
    rig.run(ACTION_CLOSE_LEFTOVERS);
    EXPECT_EQ(describe(rig.view.calls()), describe(cleanupCalls(0, 0)));

    // The next Connect starts a new interpreter and finds adb.exe in the program folder again.
    rig.view.clear();
    rig.run(ACTION_CONNECT);
    EXPECT_EQ(rig.view.logText(), L"connected to 10.0.0.2:5555\r\n");
    EXPECT_EQ(rig.scenario.calls(), (std::vector<std::string>{test::kConnectCall, test::kStateCall, test::kConnectCall,
                                                               test::kStateCall}));
    EXPECT_EQ(test::processesNamed(L"cmd.exe").size(), 1u);
}

// Only the exact lower-case names are matched. The stand-ins are copies of the adb.exe double
// that wait for ever, started under the names "CMD.EXE" and "Adb.exe".
TEST_F(LeftoverCleanup, SparesOtherLetterCaseAndEndsABridgeLeftBehind) {
    WorkerRig rig({.scenario = "server: running\nconnect stand-in: hang\nconnect: hang\n"});
    const test::TempFolder standIns(L"stand-ins");
    const auto standIn = [&](const wchar_t* name) {
        const std::filesystem::path copy = standIns.path() / name;
        std::filesystem::copy_file(test::FakeAdbScenario::adbExe(), copy);
        return std::make_unique<test::StartedProcess>(copy, L"connect stand-in");
    };
    const auto upperInterpreter = standIn(L"CMD.EXE");
    const auto mixedBridge = standIn(L"Adb.exe");
    const test::StartedProcess bridge(rig.programFolder.path() / L"adb.exe", L"connect leftover");
    ASSERT_TRUE(test::eventually([&] { return rig.scenario.calls().size() == 3; }));
    const std::vector<std::wstring> names = test::processNames();
    ASSERT_EQ(std::count(names.begin(), names.end(), L"CMD.EXE"), 1) << "Wine spells the name otherwise";
    ASSERT_EQ(std::count(names.begin(), names.end(), L"Adb.exe"), 1) << "Wine spells the name otherwise";

    rig.run(ACTION_CLOSE_LEFTOVERS);
    EXPECT_EQ(describe(rig.view.calls()), describe(cleanupCalls(1, 1)));
    EXPECT_TRUE(upperInterpreter->running());
    EXPECT_TRUE(mixedBridge->running());
    EXPECT_TRUE(test::WatchedProcess(bridge.id()).endsWithin(10s));
}

// A Connect cut short by a cleanup says so in the log; the cleanup's own box is the only one.
TEST_F(LeftoverCleanup, EndsAHangingConnectWhichSaysItWasCutShortAndLeavesTheNotConnectedState) {
    WorkerRig rig({.scenario = "server: running\nconnect: hang\n"});
    WorkerThread connect = rig.start(ACTION_CONNECT);
    ASSERT_TRUE(test::eventually([&] { return !rig.scenario.calls().empty(); }));
    WorkerThread cleanup = rig.start(ACTION_CLOSE_LEFTOVERS);
    EXPECT_TRUE(cleanup.endsWithin(20s));
    EXPECT_TRUE(connect.endsWithin(20s));

    const std::vector<ViewCall> calls = rig.view.calls();
    const auto shown = [&](const std::string& text) {
        return std::count_if(calls.begin(), calls.end(), [&](const ViewCall& c) { return c.message == text; });
    };
    EXPECT_EQ(shown(summary(1, 1)), 1) << ::testing::PrintToString(describe(calls));
    EXPECT_EQ(shown(std::string(kConnectFailedMessage)), 0);
    EXPECT_EQ(rig.view.logText(), fromUtf8(kInterruptedLine) + L"\r\n");
    EXPECT_EQ(rig.view.disabledStates(), kNotConnected);
    EXPECT_TRUE(test::processesNamed(L"adb.exe").empty());

    // Connect works again afterwards, on a new interpreter.
    rig.scenario.write("server: running\n");
    rig.view.clear();
    rig.run(ACTION_CONNECT);
    EXPECT_EQ(rig.view.logText(), L"connected to 10.0.0.2:5555\r\n");
}

// A removal waiting for its first answer loses its interpreter: that answer is logged as cut
// short, and nothing more is sent, so no new interpreter or adb server appears after the
// cleanup's box said all were closed.
TEST_F(LeftoverCleanup, EndsAHangingRemovalWhichSendsNothingMoreAndStartsNothing) {
    WorkerRig rig;
    rig.connectAndForget();
    rig.scenario.write("server: running\nuninstall com.miui.systemAdSolution: hang\nuninstall *: not-installed\n");
    WorkerThread bootAds = rig.start(ACTION_REMOVE_BOOT_ADS);
    ASSERT_TRUE(test::eventually([&] { return rig.scenario.calls().size() == 3; }));
    WorkerThread cleanup = rig.start(ACTION_CLOSE_LEFTOVERS);
    EXPECT_TRUE(cleanup.endsWithin(20s));
    EXPECT_TRUE(bootAds.endsWithin(20s));

    EXPECT_FALSE(contains(rig.scenario.calls(), test::kMitvAdvertise));
    EXPECT_EQ(rig.view.logText(), L"删除开机广告 -> " + fromUtf8(kInterruptedLine) + L"\r\n");
    // The cleanup's state stands: the removal does not enable its button again.
    EXPECT_EQ(rig.view.disabledStates(), kNotConnected);
    EXPECT_TRUE(test::processesNamed(L"cmd.exe").empty());
    EXPECT_TRUE(test::processesNamed(L"adb.exe").empty());
}

TEST_F(LeftoverCleanup, SnapshotListsNamesAndIdsInParallel) {
    std::vector<std::string> names{"stale"};
    std::vector<std::uint32_t> ids{7};
    const int listed = snapshotProcesses(names, true, ids, true);
    ASSERT_EQ(static_cast<std::size_t>(listed), names.size());
    ASSERT_EQ(names.size(), ids.size());
    const auto own = std::find(ids.begin(), ids.end(), ::GetCurrentProcessId());
    ASSERT_NE(own, ids.end());
    EXPECT_EQ(names[static_cast<std::size_t>(own - ids.begin())], "actions_tests.exe");

    std::vector<std::string> untouched{"kept"};
    EXPECT_EQ(static_cast<std::size_t>(snapshotProcesses(untouched, false, ids, false)), ids.size());
    EXPECT_EQ(untouched, std::vector<std::string>{"kept"});
    std::vector<std::uint32_t> keptIds{7};
    EXPECT_EQ(static_cast<std::size_t>(snapshotProcesses(names, true, keptIds, false)), names.size());
    EXPECT_EQ(keptIds, std::vector<std::uint32_t>{7});
}

// A cleanup clicked while an action holds the interpreter and others wait their turn: the one
// running is cut short and says so, the queued ones send nothing, no interpreter or adb is left
// or started afterwards, and a Connect clicked after the cleanup works on a new interpreter.
TEST_F(LeftoverCleanup, EndsWhatRunsAndWhatIsQueuedAndStartsNothingAfterwards) {
    const struct {
        const char* name;
        int running;
        const char* hangingRule;
        std::wstring logPrefix;
    } cases[] = {
        {"Connect waiting for a TV", ACTION_CONNECT, "connect: hang", L""},
        {"boot-ads removal", ACTION_REMOVE_BOOT_ADS, "uninstall com.miui.systemAdSolution: hang", L"删除开机广告 -> "},
        {"system-update removal", ACTION_REMOVE_SYSTEM_UPDATE, "uninstall com.xiaomi.mitv.upgrade: hang", L"删除系统更新 ->"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::endInterpretersAndBridges();
        WorkerRig rig;
        rig.connectAndForget();
        rig.scenario.write(std::string("server: running\n") + c.hangingRule + "\n");
        const std::size_t before = rig.scenario.calls().size();
        WorkerThread running = rig.start(c.running);
        WorkerThread queuedRemoval = rig.start(ACTION_REMOVE_SYSTEM_UPDATE);
        WorkerThread queuedConnect = rig.start(ACTION_CONNECT);
        ASSERT_TRUE(test::eventually([&] { return rig.scenario.calls().size() > before; }));
        WorkerThread cleanup = rig.start(ACTION_CLOSE_LEFTOVERS);
        for (WorkerThread* worker : {&cleanup, &running, &queuedRemoval, &queuedConnect})
            EXPECT_TRUE(worker->endsWithin(20s));

        EXPECT_EQ(rig.scenario.calls().size(), before + 1) << ::testing::PrintToString(rig.scenario.calls());
        EXPECT_EQ(rig.view.logText(), c.logPrefix + fromUtf8(kInterruptedLine) + L"\r\n");
        EXPECT_EQ(rig.view.disabledStates(), kNotConnected);
        ::Sleep(300);  // a late start would show by now
        EXPECT_TRUE(test::processesNamed(L"cmd.exe").empty());
        EXPECT_TRUE(test::processesNamed(L"adb.exe").empty());

        rig.scenario.write("server: running\n");
        rig.view.clear();
        rig.run(ACTION_CONNECT);
        EXPECT_EQ(rig.view.logText(), L"connected to 10.0.0.2:5555\r\n");
    }
}

}  // namespace
}  // namespace oz
