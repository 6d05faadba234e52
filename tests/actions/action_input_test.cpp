// What the user types and where the program lives both end up in command lines for cmd.exe:
// hostile IP texts must never reach it, and any program folder name must.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "action_test_support.h"
#include "runtime/text_win.h"

namespace oz {
namespace {

using namespace std::chrono_literals;
using test::ViewCall;
using test::WorkerRig;

std::set<std::wstring> filesIn(const std::filesystem::path& folder) {
    std::set<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

// "adb connect " + IP + ":5555" is then as long as cmd.exe takes a line (8190 characters under Wine).
constexpr std::size_t kLongestAddress = 8190 - 12 - 5;

struct HostileCase {
    const char* what;
    std::wstring ip;
};

// Each of these could end the command line early, start a second command, redirect, pipe or
// expand a variable once inside "adb connect IP:5555".
std::vector<HostileCase> refusedAddresses() {
    return {
        {"CR", L"1.2.3.4\r"},
        {"LF", L"1.2.3.4\n"},
        {"CR LF and a second command", L"1.2.3.4\r\necho x > pwned.txt"},
        {"TAB", L"1.2.3.4\t5"},
        {"SOH", L"1.2.3.4\x01"},
        {"ESC", L"\x1b[2J1.2.3.4"},
        {"DEL", L"1.2.3.4\x7f"},
        {"ampersand", L"1.2.3.4&"},
        {"bar", L"1.2.3.4|"},
        {"less", L"<1.2.3.4"},
        {"greater", L"1.2.3.4>"},
        {"caret", L"1.2.3.4^"},
        {"percent", L"1.2.3.4%"},
        {"quote", L"\"1.2.3.4"},
        {"second command", L"1.2.3.4 & echo x > pwned.txt"},
        {"pipe into a file", L"1.2.3.4 | echo x > pwned.txt"},
        {"variable", L"%COMSPEC%"},
        {"escaped ampersand", L"1.2.3.4 ^& echo x > pwned.txt"},
        {"conditional command", L"1.2.3.4 && echo x>pwned.txt"},
        // A full-width form is read as the character it stands for, metacharacters too.
        {"fullwidth metacharacters", L"1.2.3.4 \xFF06 echo x \xFF1E pwned.txt"},
        {"fullwidth percent", L"\xFF05" L"COMSPEC\xFF05"},
        // cmd.exe runs what is past its longest line as a command of its own.
        {"command past the line's end", std::wstring(8170, L'7') + std::wstring(20, L' ') + L"mkdir pwned x"},
        {"one character more than a line holds", std::wstring(kLongestAddress + 1, L'7')},
        {"10000 digits", std::wstring(10000, L'7')},
    };
}

TEST(ActionWorkerAddress, RefusedTextsSendNothingShowTheRefusalAndEnableConnect) {
    WorkerRig rig({.scenario = "server: running\nconnect: refused\n"});
    const auto programFiles = filesIn(rig.programFolder.path());
    for (const HostileCase& c : refusedAddresses()) {
        SCOPED_TRACE(c.what);
        rig.view.clear();
        rig.run(ACTION_CONNECT, c.ip);
        const std::vector<ViewCall> calls = rig.view.calls();
        ASSERT_EQ(calls.size(), 3u) << ::testing::PrintToString(test::describe(calls));
        EXPECT_EQ(test::describe({calls[0], calls[2]}),
                  test::describe({test::buttonCall(ACTION_CONNECT, true), test::buttonCall(ACTION_CONNECT, false)}));
        EXPECT_EQ(calls[1].kind, ViewCall::Kind::message);
        EXPECT_EQ(calls[1].message, kUnsafeIpMessage);
        EXPECT_FALSE(calls[1].owned);
        EXPECT_TRUE(rig.scenario.calls().empty());
    }
    EXPECT_EQ(filesIn(rig.programFolder.path()), programFiles);
    EXPECT_TRUE(filesIn(rig.otherFolder.path()).empty());

    // The interpreter was never disturbed: the next honest address is answered as usual.
    rig.scenario.write("server: running\n");
    rig.view.clear();
    rig.run(ACTION_CONNECT, L"10.0.0.7");
    EXPECT_EQ(rig.view.logText(), L"connected to 10.0.0.7:5555\r\n");
}

// Allowed, though no address: they are sent and fail like any unreachable one. Characters the
// console's code page cannot spell must not turn into look-alike metacharacters on the way.
TEST(ActionWorkerAddress, OddButHarmlessTextsAreSentAndFailNormally) {
    const HostileCase cases[] = {
        {"Chinese", L"电视.local"},
        {"blank inside", L"10.0.0 .2"},
        {"as long as a line may be", std::wstring(kLongestAddress, L'7')},
    };
    WorkerRig rig({.scenario = "server: running\nconnect: refused\n"});
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.what);
        rig.view.clear();
        const std::size_t before = rig.scenario.calls().size();
        test::WorkerThread connect = rig.start(ACTION_CONNECT, c.ip);
        ASSERT_TRUE(connect.endsWithin(30s));
        const std::vector<ViewCall> calls = rig.view.calls();
        ASSERT_EQ(calls.size(), 4u) << ::testing::PrintToString(test::describe(calls));
        EXPECT_EQ(calls[1].message, kConnectFailedMessage);
        EXPECT_EQ(rig.view.disabledStates().at(ACTION_CONNECT), false);
        const std::vector<std::string> sent = rig.scenario.calls();
        ASSERT_EQ(sent.size(), before + 1);
        EXPECT_TRUE(sent.back().starts_with("connect ")) << sent.back();
        EXPECT_EQ(sent.back().find_first_of("&|<>^%\""), std::string::npos) << sent.back();
        if (c.ip.size() == kLongestAddress) {
            EXPECT_EQ(sent.back(), "connect " + toUtf8(c.ip) + ":5555");
        }
    }
    EXPECT_TRUE(filesIn(rig.otherFolder.path()).empty());

    // The longest line did not spill over into the next exchange.
    rig.view.clear();
    rig.run(ACTION_REMOVE_SYSTEM_UPDATE);
    EXPECT_EQ(rig.view.logText(), L"删除系统更新 ->Success\r\n");
}

// What a Chinese input method types in full-width mode, blanks around it, and an address that
// names its port (wireless debugging on Android 11 and later) reach adb as the address meant.
TEST(ActionWorkerAddress, TypedTheWayPeopleTypeItConnectsToTheAddressMeant) {
    const struct {
        const char* what;
        std::wstring typed;
        std::string target;
        std::string remembered;  // what the next start puts in the box
    } cases[] = {
        {"full-width digits and stops", L"\xFF11\xFF10\xFF0E\xFF10\xFF0E\xFF10\xFF0E\xFF12", "10.0.0.2:5555", "10.0.0.2"},
        {"ideographic full stops", L"10\x3002" L"0\x3002" L"0\x3002" L"2", "10.0.0.2:5555", "10.0.0.2"},
        {"blanks around it", L" \x3000 10.0.0.2\t ", "10.0.0.2:5555", "10.0.0.2"},
        {"with its own port", L"10.0.0.2:5556", "10.0.0.2:5556", "10.0.0.2:5556"},
        {"bracketed IPv6 with a port", L"[fe80::1]:5555", "[fe80::1]:5555", "[fe80::1]:5555"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WorkerRig rig;
        rig.run(ACTION_CONNECT, c.typed);
        EXPECT_EQ(rig.scenario.calls(), (std::vector<std::string>{"connect " + c.target, "-s " + c.target + " get-state"}));
        EXPECT_EQ(rig.view.logText(), L"connected to " + fromUtf8(c.target) + L"\r\n");
        EXPECT_EQ(rig.view.rememberedAddress(), c.remembered);
    }
}

struct FolderCase {
    const wchar_t* name;
    bool startInProgramFolder;
};

// The worker changes to the program folder with "cd /d". cmd.exe would expand a variable's name
// between two '%' even inside the quotes.
TEST(ActionWorkerFolder, ConnectFindsAdbInAProgramFolderWithBlanksAmpersandsAndChinese) {
    const FolderCase cases[] = {
        {L"Ozarith run", false},
        {L"Ozarith & co", false},
        {L"Ozarith;run,=x ^ !", false},
        {L"Ozarith 测试 & co", false},
        {L"Ozarith 测试 & co", true},
        {L"Ozarith %OS% 100%", false},
        {L"%PATH%%OS%", false},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(toUtf8(c.name) + (c.startInProgramFolder ? " (started there)" : " (started elsewhere)"));
        WorkerRig rig({.programFolderName = c.name, .startInProgramFolder = c.startInProgramFolder});
        rig.run(ACTION_CONNECT);
        EXPECT_EQ(rig.scenario.calls(), test::kConnectCalls);
        EXPECT_EQ(rig.view.logText(), L"connected to 10.0.0.2:5555\r\n");
        rig.run(ACTION_REMOVE_SYSTEM_UPDATE);
        EXPECT_EQ(rig.view.logText(), L"connected to 10.0.0.2:5555\r\n删除系统更新 ->Success\r\n");
    }
}

// A folder that code page 437 cannot spell comes out with '?' for each Chinese character, and
// cmd.exe's cd takes '?' as a wildcard: a sibling matching the same pattern could be entered
// instead. The short name names the folder itself.
TEST(ActionWorkerFolder, FolderTheCodePageCannotSpellIsEnteredByItsShortName) {
    WorkerRig rig({.programFolderName = L"Ozarith 测试 & co"});
    if (toConsoleText(rig.programFolder.path().wstring()).lossless) GTEST_SKIP() << "the code page spells it";
    std::wstring decoyName = rig.programFolder.path().filename().wstring();
    decoyName.replace(decoyName.find(L"测试"), 2, L"xx");
    const std::filesystem::path decoy = rig.programFolder.path().parent_path() / decoyName;
    std::filesystem::create_directory(decoy);
    rig.run(ACTION_CONNECT);
    EXPECT_EQ(rig.scenario.calls(), test::kConnectCalls);
    EXPECT_EQ(rig.view.logText(), L"connected to 10.0.0.2:5555\r\n");
    test::endInterpretersAndBridges();  // had it gone there, the interpreter would hold the decoy
    std::error_code ignored;
    std::filesystem::remove(decoy, ignored);
}

// A folder the code page spells (测试 in 936) is entered by that spelling. Seen through a decoy
// named like the folder's short name: a cd by short name would enter the decoy, which has no adb.
TEST(ActionWorkerFolder, FolderTheCodePageSpellsIsEnteredByThatSpelling) {
    WorkerRig rig({.programFolderName = L"Ozarith 测试 & co"});
    const std::filesystem::path folder = rig.programFolder.path();
    if (!toConsoleText(folder.wstring()).lossless) GTEST_SKIP() << "code page " << ::GetOEMCP() << " cannot spell it";
    std::wstring shortPath(MAX_PATH, L'\0');
    shortPath.resize(::GetShortPathNameW(folder.c_str(), shortPath.data(), MAX_PATH));
    const std::filesystem::path decoy = folder.parent_path() / std::filesystem::path(shortPath).filename();
    ASSERT_NE(decoy.filename(), folder.filename());
    // The short name is taken while the folder exists: it steps aside for the decoy to be made.
    const std::filesystem::path aside = folder.parent_path() / (folder.filename().wstring() + L" aside");
    std::filesystem::rename(folder, aside);
    const bool decoyMade = std::filesystem::create_directory(decoy);
    std::filesystem::rename(aside, folder);
    ASSERT_TRUE(decoyMade);
    rig.run(ACTION_CONNECT);
    EXPECT_EQ(rig.scenario.calls(), test::kConnectCalls);
    EXPECT_EQ(rig.view.logText(), L"connected to 10.0.0.2:5555\r\n");
    test::endInterpretersAndBridges();
    std::error_code ignored;
    std::filesystem::remove(decoy, ignored);
}

}  // namespace
}  // namespace oz
