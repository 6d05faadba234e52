// The adb.exe double itself, run directly: later tests trust what it answers and logs.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
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
    const std::string unauthorized =
        "error: device unauthorized.\nThis adb server's $ADB_VENDOR_KEYS is not set\n"
        "Try 'adb kill-server' if that seems wrong.\nOtherwise check for a confirmation dialog on your device.\n";
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
        {"uninstall: success", kUninstallAds, "Success\n", 0},
        {"uninstall: not-installed", kUninstallAds, "Failure [not installed for 0]\n", 1},
        {"uninstall: unauthorized", kUninstallAds, unauthorized, 1},
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

TEST(FakeAdb, DefaultScenarioLetsEverythingSucceed) {
    ASSERT_FALSE(fs::exists(buildBinDir() / L"adb-scenario.txt"));
    const FakeAdbScenario scenario;
    expectRuns({
        {kConnectTv, kServerLines + "connected to " + kTv + "\n", 0},
        {L"shell pm uninstall --user 0 com.miui.systemAdSolution", "Success\n", 0},
        {kUninstallAds, "Success\n", 0},
        {kUninstallUpgrade, "Success\n", 0},
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
                                     L"shell echo \"电视 & co\"", L"devices", L"bogus"}) {
        adb(arguments);
    }
    const std::vector<std::string> expected = {
        "connect " + kTv, "shell pm uninstall --user 0 com.xiaomi.mitv.advertise", "connect 10.0.0.1:5555", "",
        "shell echo 电视 & co", "devices", "bogus",
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
