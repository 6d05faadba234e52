// The adb.exe double itself, run directly: later tests trust what it answers and logs.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/fake_adb_scenario.h"
#include "support/test_support.h"

namespace oz::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kServerLines = "* daemon not running; starting now at tcp:5037\n* daemon started successfully\n";
const std::string kTv = "192.168.1.5:5555";
const wchar_t kConnectTv[] = L"connect 192.168.1.5:5555";
const wchar_t kUninstallAds[] = L"shell pm uninstall --user 0 com.xiaomi.mitv.advertise";
const wchar_t kUninstallUpgrade[] = L"shell pm uninstall --user 0 com.xiaomi.mitv.upgrade";
const wchar_t kCmdRestore[] =
    L"-s 192.168.1.5:5555 shell cmd package install-existing --user 0 com.xiaomi.mitv.upgrade";
const wchar_t kPmRestore[] = L"-s 192.168.1.5:5555 shell pm install-existing --user 0 com.xiaomi.mitv.upgrade";
const std::string kRestored = "Package com.xiaomi.mitv.upgrade installed for user: 0\n";
const std::string kUnauthorized =
    "error: device unauthorized.\nThis adb server's $ADB_VENDOR_KEYS is not set\n"
    "Try 'adb kill-server' if that seems wrong.\nOtherwise check for a confirmation dialog on your device.\n";

std::string shown(std::wstring_view text) {
    const std::u8string bytes = fs::path(text).u8string();
    return std::string(bytes.begin(), bytes.end());
}

ProgramRun adb(std::wstring_view arguments) { return runProgram(FakeAdbScenario::adbExe(), arguments); }

struct Expected {
    std::wstring arguments;
    std::string output;
    DWORD exitCode;
};

void expectRuns(const std::vector<Expected>& runs) {
    for (const Expected& run : runs) {
        const ProgramRun seen = adb(run.arguments);
        EXPECT_FALSE(seen.killed) << "adb " << shown(run.arguments);
        EXPECT_EQ(seen.output, run.output) << "adb " << shown(run.arguments);
        EXPECT_EQ(seen.exitCode, run.exitCode) << "adb " << shown(run.arguments);
    }
}

struct ReplyCase {
    std::string rules;
    std::wstring arguments;
    std::string output;
    DWORD exitCode;
};

TEST(FakeAdb, EveryReplyAnswersWithItsTextAndExitCode) {
    const ReplyCase cases[] = {
        {"connect: connected", kConnectTv, "connected to " + kTv + "\n", 0},
        {"connect: already", kConnectTv, "already connected to " + kTv + "\n", 0},
        {"connect: capital", kConnectTv, "Connected to " + kTv + "\n", 0},
        {"connect: refused", kConnectTv, "failed to connect to '" + kTv + "': Connection refused\n", 1},
        {"connect: timeout", kConnectTv,
         "cannot connect to " + kTv +
             ": A connection attempt failed because the connected party did not properly respond after a period "
             "of time, or established connection failed because connected host has failed to respond. (10060)\n",
         1},
        {"connect: no-device", kConnectTv, "adb: no devices/emulators found\n", 1},
        {"connect: auth-failed", kConnectTv, "failed to authenticate to " + kTv + "\n", 1},
        {"get-state: device", L"get-state", "device\n", 0},
        {"get-state: unauthorized", L"-s 192.168.1.5:5555 get-state", kUnauthorized, 1},
        {"get-state: offline", L"get-state", "error: device offline\n", 1},
        {"get-state 192.168.1.5:5555: text bootloader", L"-s 192.168.1.5:5555 get-state", "bootloader\n", 0},
        {"cmd-install-existing: cmd-not-found", kCmdRestore, "/system/bin/sh: cmd: not found\n", 127},
        {"pm-install-existing: pm-unknown", kPmRestore, "Error: unknown command 'install-existing'\n", 1},
        {"pm-install-existing: installed", kPmRestore, kRestored, 0},
        {"uninstall: success", kUninstallAds, "Success\n", 0},
        {"uninstall: not-installed", kUninstallAds, "Failure [not installed for 0]\n", 1},
        {"uninstall: unauthorized", kUninstallAds, kUnauthorized, 1},
        {"uninstall: more-than-one", kUninstallAds, "error: more than one device/emulator\n", 1},
        {"uninstall: offline", kUninstallAds, "error: device offline\n", 1},
        // Line ends, exit codes and literals.
        {"uninstall: crlf not-installed", kUninstallAds, "Failure [not installed for 0]\r\n", 1},
        {"defaults: crlf\nuninstall: unauthorized", kUninstallAds,
         "error: device unauthorized.\r\nThis adb server's $ADB_VENDOR_KEYS is not set\r\n"
         "Try 'adb kill-server' if that seems wrong.\r\nOtherwise check for a confirmation dialog on your device.\r\n",
         1},
        {"defaults: crlf exit 5\nconnect: lf already", kConnectTv, "already connected to " + kTv + "\n", 5},
        {"connect: exit 0 refused", kConnectTv, "failed to connect to '" + kTv + "': Connection refused\n", 0},
        {"connect: text done {arg}\\t\\\\ 电视 ", kConnectTv, "done " + kTv + "\t\\ 电视 \n", 0},
        {"connect: text", kConnectTv, "\n", 0},
        {"connect: raw C:\\Work\\ozarith>", kConnectTv, "C:\\Work\\ozarith>", 0},
        {"connect: raw a\\r\\nb", kConnectTv, "a\r\nb", 0},
        {"connect: raw a\\0b\\r\\n\\0", kConnectTv, std::string("a\0b\r\n\0", 6), 0},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.rules);
        const FakeAdbScenario scenario;
        scenario.write("server: running\n" + c.rules + "\n");
        expectRuns({{c.arguments, c.output, c.exitCode}});
    }
}

TEST(FakeAdb, RulesChooseTheAnswerPerCommandAndArgument) {
    const FakeAdbScenario scenario;
    scenario.write(
        "# the TV refuses one address only\n"
        "server: running\n"
        "connect 10.0.0.9:5555: refused\n"
        "connect: already\n"
        "\n"
        "uninstall com.xiaomi.mitv.advertise: not-installed\n"
        "uninstall *: success\n"
        "shell: text shell ran {arg}\r\n");
    expectRuns({
        {L"connect 10.0.0.9:5555", "failed to connect to '10.0.0.9:5555': Connection refused\n", 1},
        {L"connect 10.0.0.9", "already connected to 10.0.0.9\n", 0},
        {kConnectTv, "already connected to " + kTv + "\n", 0},
        {kUninstallAds, "Failure [not installed for 0]\n", 1},
        {kUninstallUpgrade, "Success\n", 0},
        {L"shell pm uninstall com.xiaomi.mitv.advertise", "shell ran pm uninstall com.xiaomi.mitv.advertise\n", 0},
        {L"devices", "List of devices attached\n\n", 0},
    });
}

TEST(FakeAdb, AndroidLineDecidesWhichRestoreFormTheTvKnows) {
    const std::string cmdMissing = "/system/bin/sh: cmd: not found\n";
    const std::string pmUnknown = "Error: unknown command 'install-existing'\n";
    const struct {
        std::string rules;
        Expected cmd;
        Expected pm;
    } cases[] = {
        {"", {kCmdRestore, kRestored, 0}, {kPmRestore, kRestored, 0}},
        {"android: new", {kCmdRestore, kRestored, 0}, {kPmRestore, kRestored, 0}},
        {"android: old", {kCmdRestore, cmdMissing, 127}, {kPmRestore, kRestored, 0}},
        {"android: unsupported", {kCmdRestore, cmdMissing, 127}, {kPmRestore, pmUnknown, 1}},
        // A rule still beats what the kind of TV would answer.
        {"android: unsupported\npm-install-existing: installed", {kCmdRestore, cmdMissing, 127},
         {kPmRestore, kRestored, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rules);
        const FakeAdbScenario scenario;
        scenario.write("server: running\n" + c.rules + "\n");
        expectRuns({c.cmd, c.pm});
    }
}

TEST(FakeAdb, DeclaredDevicesDecideWhereCommandsGo) {
    const FakeAdbScenario scenario;
    scenario.write("server: running\nattached: 127.0.0.1:5555 device, emulator-5554\n");
    const std::string moreThanOne = "error: more than one device/emulator\n";
    expectRuns({
        {L"-s 127.0.0.1:5555 shell pm uninstall --user 0 com.x", "Success\n", 0},
        {L"-s emulator-5554 get-state", "device\n", 0},
        {L"-s 10.0.0.9:5555 shell pm uninstall --user 0 com.x", "error: device '10.0.0.9:5555' not found\n", 1},
        {L"-s 127.0.0.1 get-state", "error: device '127.0.0.1' not found\n", 1},
        {L"shell pm uninstall --user 0 com.x", moreThanOne, 1},
        {L"shell cmd package install-existing --user 0 com.x", moreThanOne, 1},
        {L"get-state", moreThanOne, 1},
        {L"shell ls", moreThanOne, 1},
        {L"-s 127.0.0.1:5555 shell cmd package install-existing --user 0 com.x",
         "Package com.x installed for user: 0\n", 0},
        {L"devices", "List of devices attached\n127.0.0.1:5555\tdevice\nemulator-5554\tdevice\n\n", 0},
        {L"-s emulator-5554 connect 10.0.0.9:5555", "connected to 10.0.0.9:5555\n", 0},
    });
}

TEST(FakeAdb, OneDeviceServesUntargetedCommandsAndNoneRefusesThem) {
    const wchar_t* const uninstall = L"shell pm uninstall --user 0 com.x";
    const ReplyCase cases[] = {
        {"attached: 127.0.0.1:5555", uninstall, "Success\n", 0},
        {"attached: 127.0.0.1:5555", L"-s 127.0.0.1:5555 get-state", "device\n", 0},
        {"attached: 127.0.0.1:5555 unauthorized", L"devices",
         "List of devices attached\n127.0.0.1:5555\tunauthorized\n\n", 0},
        {"attached:", uninstall, "adb: no devices/emulators found\n", 1},
        {"attached:", L"-s 127.0.0.1:5555 get-state", "error: device '127.0.0.1:5555' not found\n", 1},
        {"attached:", L"devices", "List of devices attached\n\n", 0},
        // Undeclared: any serial is taken, and rules still answer per serial.
        {"", L"-s anything shell pm uninstall --user 0 com.x", "Success\n", 0},
        {"get-state tv:5555: offline", L"-s tv:5555 get-state", "error: device offline\n", 1},
        {"get-state tv:5555: offline", L"-s tv:5556 get-state", "device\n", 0},
        // A refusal is the client's: rules for the command do not change it.
        {"attached: a, b\nuninstall: not-installed", uninstall, "error: more than one device/emulator\n", 1},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.rules + " / " + shown(c.arguments));
        const FakeAdbScenario scenario;
        scenario.write("server: running\n" + c.rules + "\n");
        expectRuns({{c.arguments, c.output, c.exitCode}});
    }
}

// The owner accepts on the TV some time after the first get-state, and separate runs agree on when.
TEST(FakeAdb, GetStateTurnsToDeviceOnceTheWindowAfterTheFirstGetStatePasses) {
    constexpr auto window = 2000ms;
    const FakeAdbScenario scenario;
    scenario.write("server: running\nget-state 127.0.0.1:5555: unauthorized-for 2000\n");
    const wchar_t* const getState = L"-s 127.0.0.1:5555 get-state";
    // Other commands and time before the first get-state do not count.
    expectRuns({{L"connect 127.0.0.1:5555", "connected to 127.0.0.1:5555\n", 0}});
    std::this_thread::sleep_for(window + 200ms);
    const auto firstCall = std::chrono::steady_clock::now();
    expectRuns({{getState, kUnauthorized, 1}});
    std::optional<std::chrono::steady_clock::duration> accepted;
    while (!accepted && std::chrono::steady_clock::now() - firstCall < 60s) {
        const ProgramRun seen = adb(getState);
        if (seen.output == "device\n") accepted = std::chrono::steady_clock::now() - firstCall;
        else EXPECT_EQ(seen.output, kUnauthorized);
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(accepted) << "still unauthorized a minute after the first get-state";
    EXPECT_GE(*accepted, window);
    expectRuns({{getState, "device\n", 0}, {L"-s 127.0.0.1:5556 get-state", "device\n", 0}});
}

TEST(FakeAdb, DefaultScenarioLetsEverythingSucceed) {
    ASSERT_FALSE(fs::exists(buildBinDir() / L"adb-scenario.txt"));
    const FakeAdbScenario scenario;
    expectRuns({
        {kConnectTv, kServerLines + "connected to " + kTv + "\n", 0},
        {L"shell pm uninstall --user 0 com.miui.systemAdSolution", "Success\n", 0},
        {kUninstallAds, "Success\n", 0},
        {kUninstallUpgrade, "Success\n", 0},
        {L"-s 192.168.1.5:5555 get-state", "device\n", 0},
        {L"-s 192.168.1.5:5555 shell pm uninstall --user 0 com.xiaomi.mitv.upgrade", "Success\n", 0},
        {kCmdRestore, kRestored, 0},
        {kPmRestore, kRestored, 0},
        {L"disconnect", "disconnected everything\n", 0},
    });
}

TEST(FakeAdb, ServerStartLinesComeOnlyWhenNoServerRuns) {
    const FakeAdbScenario scenario;
    const ProgramRun version = adb(L"version");
    EXPECT_EQ(version.output.rfind("Android Debug Bridge version 1.0.41\n", 0), 0u) << version.output;
    expectRuns({
        {kConnectTv, kServerLines + "connected to " + kTv + "\n", 0},
        {kConnectTv, "connected to " + kTv + "\n", 0},
        {L"kill-server", "", 0},
        {L"kill-server", "", 0},
        {L"devices", kServerLines + "List of devices attached\n\n", 0},
        {kUninstallAds, "Success\n", 0},
    });
}

TEST(FakeAdb, ServerModeDecidesTheStartLines) {
    const struct {
        std::string mode;
        std::string first;
        std::string second;
    } cases[] = {
        {"auto", kServerLines, ""},
        {"running", "", ""},
        {"starting", kServerLines, kServerLines},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const FakeAdbScenario scenario;
        scenario.write("server: " + c.mode + "\n");
        expectRuns({{kUninstallAds, c.first + "Success\n", 0}, {kUninstallAds, c.second + "Success\n", 0}});
    }
}

TEST(FakeAdb, StartLinesGoToStderrAndAnswersToTheirOwnStream) {
    const struct {
        std::string rules;
        const wchar_t* redirect;
        std::string output;
    } cases[] = {
        {"server: starting\nconnect: refused", L"2>NUL", "failed to connect to '" + kTv + "': Connection refused\n"},
        {"server: starting\nconnect: refused", L"1>NUL", kServerLines},
        {"server: running\nuninstall: offline", L"2>NUL", ""},
        {"server: running\nuninstall: offline", L"1>NUL", "error: device offline\n"},
        {"server: running\nuninstall: stderr success", L"2>NUL", ""},
        {"server: running\nuninstall: stdout unauthorized", L"1>NUL", ""},
    };
    const std::wstring uninstall = L"shell pm uninstall --user 0 com.x";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rules + " " + shown(c.redirect));
        const FakeAdbScenario scenario;
        scenario.write(c.rules + "\n");
        const std::wstring command = c.rules.find("connect") != std::string::npos ? kConnectTv : uninstall;
        // cmd /c strips the outer quotes and keeps the quoted path inside.
        const ProgramRun seen = runProgram(L"C:\\windows\\system32\\cmd.exe",
                                           L"/c \"\"" + FakeAdbScenario::adbExe().wstring() + L"\" " + command + L" " +
                                               c.redirect + L"\"");
        EXPECT_EQ(seen.output, c.output);
    }
}

TEST(FakeAdb, CommandLogHoldsEveryCommandLineExactly) {
    const FakeAdbScenario scenario;
    scenario.write("server: running\nconnect: refused\nshell: raw\n");
    for (const wchar_t* arguments : {kConnectTv, kUninstallAds, L"connect    10.0.0.1:5555", L"",
                                     L"shell echo \"电视 & co\"", L"devices", L"bogus", kCmdRestore, L"-s"}) {
        adb(arguments);
    }
    const std::vector<std::string> expected = {
        "connect " + kTv, "shell pm uninstall --user 0 com.xiaomi.mitv.advertise", "connect 10.0.0.1:5555", "",
        "shell echo 电视 & co", "devices", "bogus",
        "-s 192.168.1.5:5555 shell cmd package install-existing --user 0 com.xiaomi.mitv.upgrade", "-s",
    };
    EXPECT_EQ(scenario.calls(), expected);
}

TEST(FakeAdb, HangEndsOnlyWhenKilled) {
    const struct {
        std::string rules;
        std::string output;  // what came before the silence, and before every answer
    } cases[] = {
        {"server: running\nconnect: hang", ""},
        {"server: starting\nconnect: hang", kServerLines},
        {"server: running\nconnect: delay 600000 connected", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rules);
        const FakeAdbScenario scenario;
        scenario.write(c.rules + "\n");
        // Killed once it has logged the command, written what comes first and stayed alive a while.
        std::optional<std::chrono::steady_clock::time_point> reached;
        const auto silentAWhile = [&](const std::string& output) {
            if (output != c.output || scenario.calls().empty()) return false;
            if (!reached) reached = std::chrono::steady_clock::now();
            return std::chrono::steady_clock::now() - *reached > 1s;
        };
        const ProgramRun hung = runProgram(FakeAdbScenario::adbExe(), kConnectTv, 120s, silentAWhile);
        EXPECT_TRUE(hung.killed);
        EXPECT_EQ(hung.output, c.output);
        // The killed run leaves nothing behind that stops the next one.
        expectRuns({{kUninstallAds, c.output + "Success\n", 0}});
        const std::vector<std::string> logged = {"connect " + kTv,
                                                 "shell pm uninstall --user 0 com.xiaomi.mitv.advertise"};
        EXPECT_EQ(scenario.calls(), logged);
    }
}

TEST(FakeAdb, CommandLinesTheClientRefusesGetUsageErrors) {
    const FakeAdbScenario scenario;
    scenario.write("server: running\nconnect: already\n");
    expectRuns({
        {L"bogus", "adb: unknown command bogus\n", 1},
        {L"connect", "adb: usage: adb connect HOST[:PORT]\n", 1},
        {L"connect 1.2.3.4 5555", "adb: usage: adb connect HOST[:PORT]\n", 1},
        {L"-s", "adb: -s requires an argument\n", 1},
        {L"-s 1.2.3.4:5555 -s", "adb: -s requires an argument\n", 1},
        {L"-s 1.2.3.4:5555 bogus", "adb: unknown command bogus\n", 1},
    });
    const ProgramRun help = adb(L"");
    EXPECT_EQ(help.exitCode, 1u);
    EXPECT_EQ(help.output.rfind("Android Debug Bridge version", 0), 0u) << help.output;
}

TEST(FakeAdb, BrokenScenarioSaysWhereAndExits99) {
    const struct {
        std::string rules;
        std::string message;
    } cases[] = {
        {"connect refused", "line 1: expected 'command [argument]: reply'"},
        {"# comment\n\ntelnet: connected", "line 3: unknown command 'telnet'"},
        {"connect: maybe", "line 1: unknown reply 'maybe'"},
        {"connect: delay soon connected", "line 1: delay needs milliseconds"},
        {"connect: crlf", "line 1: the reply is missing"},
        {"connect: success now", "line 1: text after the reply 'success'"},
        {"defaults: loud", "line 1: unknown option 'loud'"},
        {"server: later", "line 1: server is auto, running or starting"},
        {"connect *: refused\nconnect: connected", "line 2: a second rule for the same command and argument"},
        {"android: ancient", "line 1: android is new, old or unsupported"},
        {"attached: a device x", "line 1: attached is 'SERIAL [STATE], ...'"},
        {"attached: a,,b", "line 1: attached is 'SERIAL [STATE], ...'"},
        {"attached: a\nattached: b", "line 2: a second attached line"},
        {"get-state: unauthorized-for soon", "line 1: unauthorized-for needs milliseconds"},
        {"get-state: unauthorized-for 100 x", "line 1: text after the reply 'unauthorized-for'"},
        {"uninstall: unauthorized-for 100", "line 1: unauthorized-for answers get-state only"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rules);
        const FakeAdbScenario scenario;
        scenario.write(c.rules + "\n");
        const ProgramRun seen = adb(kConnectTv);
        EXPECT_EQ(seen.exitCode, 99u);
        EXPECT_NE(seen.output.find(c.message), std::string::npos) << seen.output;
        EXPECT_EQ(seen.output.rfind("fake adb: ", 0), 0u) << seen.output;
    }
}

TEST(FakeAdb, MissingNamedScenarioIsAnError) {
    const FakeAdbScenario scenario;
    const ScopedEnvironment missing(L"OZ_FAKE_ADB_SCENARIO", (scenario.folder() / L"none.txt").wstring());
    const ProgramRun seen = adb(kConnectTv);
    EXPECT_EQ(seen.exitCode, 99u);
    EXPECT_NE(seen.output.find("cannot read scenario"), std::string::npos) << seen.output;
}

// Without the variables everything lives next to adb.exe, here in a folder with an awkward name.
TEST(FakeAdb, FilesNextToTheExeServeWhenNoVariablesAreSet) {
    const TempFolder folder(L"adb 电视 & co");
    const fs::path exe = folder.path() / L"adb.exe";
    fs::copy_file(FakeAdbScenario::adbExe(), exe);
    std::ofstream(folder.path() / L"adb-scenario.txt", std::ios::binary) << "uninstall: not-installed\n";
    const ScopedEnvironment scenario(L"OZ_FAKE_ADB_SCENARIO", std::nullopt);
    const ScopedEnvironment log(L"OZ_FAKE_ADB_LOG", std::nullopt);
    const ScopedEnvironment state(L"OZ_FAKE_ADB_STATE", std::nullopt);

    EXPECT_EQ(runProgram(exe, kUninstallAds).output, kServerLines + "Failure [not installed for 0]\n");
    EXPECT_EQ(runProgram(exe, kConnectTv).output, "connected to " + kTv + "\n");
    EXPECT_TRUE(fs::exists(folder.path() / L"adb-server.started"));
    std::ifstream calls(folder.path() / L"adb-calls.log", std::ios::binary);
    const std::string logged((std::istreambuf_iterator<char>(calls)), std::istreambuf_iterator<char>());
    EXPECT_EQ(logged, "shell pm uninstall --user 0 com.xiaomi.mitv.advertise\nconnect " + kTv + "\n");
}

}  // namespace
}  // namespace oz::test
