// Connect and the two removals against a real cmd.exe and the adb.exe double: what reaches the
// buttons, the log and the message boxes, in which order, and what the double was asked.
#include <gtest/gtest.h>

#include "action_test_support.h"
#include "runtime/text_win.h"

namespace oz {
namespace {

using namespace std::chrono_literals;
using test::buttonCall;
using test::describe;
using test::logCall;
using test::messageCall;
using test::ViewCall;
using test::WorkerRig;

constexpr wchar_t kBootAdsGone[] = L"删除开机广告 -> 删除失败,该服务未安装,有可能已经删除了\r\n";
constexpr wchar_t kSystemUpdateGone[] = L"删除系统更新 -> 删除失败,该服务未安装,有可能已经删除了\r\n";

std::vector<ViewCall> connectSucceededCalls(std::wstring answer) {
    return {buttonCall(ACTION_CONNECT, true), buttonCall(ACTION_REMOVE_SYSTEM_UPDATE, false),
            buttonCall(ACTION_REMOVE_BOOT_ADS, false), logCall(std::move(answer) + L"\r\n")};
}

std::vector<ViewCall> connectFailedCalls(std::wstring answer) {
    return {buttonCall(ACTION_CONNECT, true), messageCall(kConnectFailedMessage, 0, false),
            buttonCall(ACTION_CONNECT, false), logCall(std::move(answer) + L"\r\n")};
}

std::vector<std::string> newCalls(const test::FakeAdbScenario& scenario, std::size_t before) {
    const std::vector<std::string> all = scenario.calls();
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(before, all.size())), all.end()};
}

struct ConnectCase {
    const char* rule;
    bool succeeds;
    const wchar_t* answer;
};

TEST(ActionWorkerConnect, SucceedsExactlyWhenTheAnswerHoldsTheMarkerInLowerCase) {
    const ConnectCase cases[] = {
        {"connect: connected", true, L"connected to 10.0.0.2:5555"},
        {"connect: already", true, L"already connected to 10.0.0.2:5555"},
        {"connect: text reconnected to {arg}", true, L"reconnected to 10.0.0.2:5555"},
        {"connect: capital", false, L"Connected to 10.0.0.2:5555"},
        {"connect: text CONNECTED TO {arg}", false, L"CONNECTED TO 10.0.0.2:5555"},
        {"connect: text connected  to {arg}", false, L"connected  to 10.0.0.2:5555"},
        {"connect: refused", false, L"failed to connect to '10.0.0.2:5555': Connection refused"},
        {"connect: text 已连接 {arg}", false, L"已连接 10.0.0.2:5555"},
    };
    WorkerRig rig;
    for (const ConnectCase& c : cases) {
        SCOPED_TRACE(c.rule);
        rig.scenario.write(std::string("server: running\n") + c.rule + "\n");
        rig.view.clear();
        const std::size_t before = rig.scenario.calls().size();
        rig.run(ACTION_CONNECT);
        EXPECT_EQ(describe(rig.view.calls()),
                  describe(c.succeeds ? connectSucceededCalls(c.answer) : connectFailedCalls(c.answer)));
        EXPECT_EQ(newCalls(rig.scenario, before), c.succeeds ? test::kConnectCalls : std::vector{test::kConnectCall});
    }
}

TEST(ActionWorkerConnect, FailureShowsTheBoxBeforeLoggingAndEnablesConnectOnlyOnceItIsDismissed) {
    WorkerRig rig({.scenario = "server: running\nconnect: refused\n"});
    rig.view.holdMessages();
    test::WorkerThread worker = rig.start(ACTION_CONNECT);
    ASSERT_TRUE(rig.view.waitForMessages(1));
    EXPECT_EQ(describe(rig.view.calls()),
              describe({buttonCall(ACTION_CONNECT, true), messageCall(kConnectFailedMessage, 0, false)}));
    rig.view.releaseMessages();
    ASSERT_TRUE(worker.endsWithin(20s));
    EXPECT_EQ(describe(rig.view.calls()),
              describe(connectFailedCalls(L"failed to connect to '10.0.0.2:5555': Connection refused")));
}

// An empty box is not refused: it makes "adb connect :5555", which fails like any bad address.
TEST(ActionWorkerConnect, EmptyAddressIsSentAndFails) {
    WorkerRig rig({.scenario = "server: running\nconnect :5555: text failed to resolve host: ''\n"});
    rig.run(ACTION_CONNECT, L"");
    EXPECT_EQ(describe(rig.view.calls()), describe(connectFailedCalls(L"failed to resolve host: ''")));
    EXPECT_EQ(rig.scenario.calls(), std::vector<std::string>{"connect :5555"});
}

// adb's lines end in a bare LF (through Wine as well), its server lines come on stderr first.
TEST(ActionWorkerConnect, LogShowsOneLinePerAnswerLineWhateverTheLineEnds) {
    const std::wstring expected =
        L"* daemon not running; starting now at tcp:5037\r\n* daemon started successfully\r\n"
        L"connected to 10.0.0.2:5555\r\n";
    for (const char* lineEnds : {"lf", "crlf"}) {
        SCOPED_TRACE(lineEnds);
        WorkerRig rig({.scenario = std::string("server: starting\ndefaults: ") + lineEnds + "\n"});
        rig.run(ACTION_CONNECT);
        EXPECT_EQ(rig.view.logText(), expected);
    }
    WorkerRig mixed({.scenario = "server: running\nconnect: text connected to {arg}\\r\\nsecond\\nthird\n"});
    mixed.run(ACTION_CONNECT);
    EXPECT_EQ(mixed.view.logText(), L"connected to 10.0.0.2:5555\r\nsecond\r\nthird\r\n");
}

// adb's output may hold a line ending in '>' (a name, a progress line), on its bare LF or at the
// very end: only the interpreter's own prompt ends an answer, so no later action reads the one
// before it.
TEST(ActionWorkerUninstall, AnAnswerEndingInGreaterThanIsWholeAndTheNextOneItsOwn) {
    WorkerRig rig({.scenario = "server: running\n"
                               "uninstall com.xiaomi.mitv.upgrade: raw working x>\n"
                               "uninstall com.miui.systemAdSolution: text step 1>\\nstep 2>\n"
                               "uninstall com.xiaomi.mitv.advertise: text Success\n"});
    rig.connectAndForget();
    rig.run(ACTION_REMOVE_SYSTEM_UPDATE);
    rig.run(ACTION_REMOVE_BOOT_ADS);
    EXPECT_EQ(rig.view.logText(), L"删除系统更新 ->working x>\r\n删除开机广告 -> step 1>\r\nstep 2>\r\n删除开机广告 -> Success\r\n");
}

struct UninstallCase {
    const char* rules;
    int code;
    std::vector<std::wstring> logs;
};

TEST(ActionWorkerUninstall, LogsOneLinePerCommandAndEnablesItsButtonAgain) {
    const std::wstring unauthorized =
        L"删除开机广告 -> error: device unauthorized.\r\nThis adb server's $ADB_VENDOR_KEYS is not set\r\n"
        L"Try 'adb kill-server' if that seems wrong.\r\nOtherwise check for a confirmation dialog on your "
        L"device.\r\n";
    const std::wstring gone = kBootAdsGone;
    const UninstallCase cases[] = {
        {"uninstall *: not-installed", ACTION_REMOVE_BOOT_ADS, {gone, gone + L"\r\n"}},
        {"uninstall *: success", ACTION_REMOVE_BOOT_ADS, {L"删除开机广告 -> Success\r\n", L"删除开机广告 -> Success\r\n"}},
        {"uninstall com.miui.systemAdSolution: not-installed\nuninstall *: success",
         ACTION_REMOVE_BOOT_ADS,
         {kBootAdsGone, L"删除开机广告 -> Success\r\n"}},
        {"uninstall com.miui.systemAdSolution: unauthorized\nuninstall *: more-than-one",
         ACTION_REMOVE_BOOT_ADS,
         {unauthorized, L"删除开机广告 -> error: more than one device/emulator\r\n"}},
        {"uninstall *: success", ACTION_REMOVE_SYSTEM_UPDATE, {L"删除系统更新 ->Success\r\n"}},
        {"uninstall *: not-installed", ACTION_REMOVE_SYSTEM_UPDATE, {kSystemUpdateGone}},
        {"uninstall *: offline", ACTION_REMOVE_SYSTEM_UPDATE, {L"删除系统更新 ->error: device offline\r\n"}},
        {"uninstall *: text Failure [NOT INSTALLED FOR 0]",
         ACTION_REMOVE_SYSTEM_UPDATE,
         {L"删除系统更新 ->Failure [NOT INSTALLED FOR 0]\r\n"}},
    };
    WorkerRig rig;
    rig.connectAndForget();
    for (const UninstallCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + " " + c.rules);
        rig.scenario.write(std::string("server: running\n") + c.rules + "\n");
        rig.view.clear();
        const std::size_t before = rig.scenario.calls().size();
        rig.run(c.code);

        const auto button = static_cast<ActionCode>(c.code);
        std::vector<ViewCall> expected{buttonCall(button, true)};
        for (const std::wstring& line : c.logs) expected.push_back(logCall(line));
        expected.push_back(buttonCall(button, false));
        EXPECT_EQ(describe(rig.view.calls()), describe(expected));
        const std::vector<std::string> asked = c.code == ACTION_REMOVE_BOOT_ADS
                                                   ? std::vector<std::string>{test::kSystemAdSolution, test::kMitvAdvertise}
                                                   : std::vector<std::string>{test::kMitvUpgrade};
        EXPECT_EQ(newCalls(rig.scenario, before), asked);
    }
}

TEST(ActionWorker, OtherCodesDoNothingAndHoldUpNobody) {
    WorkerRig rig;
    for (const int code : {0, 3, 5, 6, 64, -1, 1024}) rig.run(code);
    EXPECT_TRUE(rig.view.calls().empty());
    EXPECT_TRUE(rig.scenario.calls().empty());
    test::WorkerThread connect = rig.start(ACTION_CONNECT);
    EXPECT_TRUE(connect.endsWithin(20s));
    EXPECT_EQ(rig.scenario.calls(), test::kConnectCalls);
}

// "adb" resolves to the program folder's copy only where the interpreter works in that folder,
// and only the prompt tells the worker where that is. A second host on the same interpreter
// moves it elsewhere behind the first one's back, so the first one's prompt is out of date: the
// worker then sends "cd /d" exactly when that prompt differs from the program folder + ">". The
// out-of-date prompt must not keep the answer waiting either: any folder's prompt ends it.
TEST(ActionWorkerConnect, ChangesDirectoryOnlyWhenThePromptDiffersInAnyByte) {
    WorkerRig rig({.startInProgramFolder = true});
    const std::wstring program = rig.programFolder.path().wstring();
    const std::string programBytes = toConsoleCodePage(program);
    ASSERT_EQ(rig.console->directory(), programBytes + ">");
    ConsoleHost behindItsBack = rig.console->clone();
    behindItsBack.sendCommand("cd /d \"" + toConsoleCodePage(rig.otherFolder.path().wstring()) + "\"");
    behindItsBack.readOutput();
    ASSERT_EQ(rig.console->prompt(), programBytes + ">");

    rig.run(ACTION_CONNECT);
    EXPECT_TRUE(rig.scenario.calls().empty()) << "no cd was due, so adb.exe is not found elsewhere";
    EXPECT_EQ(rig.view.calls().at(1).kind, ViewCall::Kind::message);

    // The same folder with its drive letter in the other case is not the same text.
    std::wstring otherCase = program;
    otherCase[0] = static_cast<wchar_t>(::iswupper(otherCase[0]) ? ::towlower(otherCase[0]) : ::towupper(otherCase[0]));
    test::RecordingView view;
    ActionWorker worker(rig.console, view, otherCase);
    worker.runAction(worker.request(ACTION_CONNECT, "10.0.0.2"));
    EXPECT_EQ(rig.scenario.calls(), test::kConnectCalls);
    EXPECT_EQ(describe(view.calls()), describe(connectSucceededCalls(L"connected to 10.0.0.2:5555")));
}

// The window starts its interpreter as it is created; a click may come before the interpreter
// has written its banner and first prompt.
TEST(ActionWorkerConnect, ClickedTheMomentTheInterpreterStartsGetsItsOwnAnswer) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        WorkerRig rig({.waitForBanner = false});
        rig.run(ACTION_CONNECT);
        rig.run(ACTION_REMOVE_SYSTEM_UPDATE);
        EXPECT_EQ(rig.view.logText(), L"connected to 10.0.0.2:5555\r\n删除系统更新 ->Success\r\n");
        EXPECT_EQ(rig.scenario.calls(), (std::vector<std::string>{test::kConnectCall, test::kStateCall, test::kMitvUpgrade}));
    }
}

TEST(ActionWorkerConnect, ChangesToTheProgramFolderFromElsewhere) {
    WorkerRig rig;
    const std::string programBytes = toConsoleCodePage(rig.programFolder.path().wstring());
    ASSERT_NE(rig.console->directory(), programBytes + ">");
    rig.run(ACTION_CONNECT);
    EXPECT_EQ(rig.console->prompt(), programBytes + ">");
    EXPECT_EQ(rig.scenario.calls(), test::kConnectCalls);
    EXPECT_EQ(describe(rig.view.calls()), describe(connectSucceededCalls(L"connected to 10.0.0.2:5555")));
}

}  // namespace
}  // namespace oz
