// What the interpreter is and what it gets: the system's own cmd.exe, a known prompt whatever the
// user has set up, only the two pipe ends among its handles, and answers whose lines ending in
// '>' do not end the answer early.
#include <gtest/gtest.h>

#include "console_test_support.h"
#include "runtime/system_info_win.h"
#include "runtime/text_win.h"
#include "support/fake_adb_scenario.h"

namespace oz {
namespace {

using test::endsWithin;
using namespace std::chrono_literals;

class ConsoleInterpreter : public ::testing::Test {
protected:
    void TearDown() override { host.stop(); }

    void start() {
        ASSERT_EQ(host.start(), 0u);
        ASSERT_TRUE(host.awaitPrompt(ConsoleHost::kFirstPromptLimitMs));
    }
    std::string exchange(std::string_view command) {
        host.sendCommand(command);
        return host.readOutput();
    }

    test::ScopedCurrentDirectory current{runDirectory()};
    ConsoleHost host;
};

std::vector<std::wstring> entriesOf(const std::wstring& block) {
    std::vector<std::wstring> entries;
    for (std::size_t pos = 0; pos < block.size() && block[pos] != L'\0'; pos = block.find(L'\0', pos) + 1)
        entries.push_back(block.substr(pos, block.find(L'\0', pos) - pos));
    return entries;
}

// Windows' cmd.exe honours PROMPT from its environment (Wine's always prompts $P$G): a user's own
// prompt must not reach it, and the rest of the environment must.
TEST_F(ConsoleInterpreter, GetsTheKnownPromptAndTheRestOfTheEnvironment) {
    const test::ScopedEnvironment prompt(L"PROMPT", L"$P$G$S$T");
    const test::ScopedEnvironment other(L"OZ_SOMETHING", L"kept as it is");
    const std::vector<std::wstring> entries = entriesOf(interpreterEnvironmentBlock());
    EXPECT_EQ(std::count(entries.begin(), entries.end(), L"PROMPT=$P$G"), 1);
    EXPECT_EQ(std::count(entries.begin(), entries.end(), L"PROMPT=$P$G$S$T"), 0);
    EXPECT_EQ(std::count(entries.begin(), entries.end(), L"OZ_SOMETHING=kept as it is"), 1);
    start();
    EXPECT_EQ(exchange("set PROMPT"), "PROMPT=$P$G");
    EXPECT_EQ(exchange("echo %OZ_SOMETHING%"), "kept as it is");
}

// A cmd.exe in the current folder (the program's folder, often Downloads) is not the one started.
TEST_F(ConsoleInterpreter, IsTheSystemsCmdExeNotOneInTheCurrentFolder) {
    const test::TempFolder decoyFolder(L"decoy");
    std::filesystem::copy_file(test::FakeAdbScenario::adbExe(), decoyFolder.path() / L"cmd.exe");
    const test::ScopedCurrentDirectory inDecoy(decoyFolder.path());
    start();
    EXPECT_EQ(exchange("echo real"), "real");  // the fake answers "adb: unknown command" to anything
    host.stop();
}

// Only the two pipe ends are inherited: a handle this process holds, inheritable or not, never
// reaches the interpreter and through it adb's long-lived server.
TEST_F(ConsoleInterpreter, InheritsNoOtherHandleOfThisProcess) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const UniqueHandle mine(::CreateEventW(&inheritable, TRUE, FALSE, nullptr));
    ASSERT_TRUE(mine);
    start();
    const std::set<DWORD> interpreters = test::childInterpreters();
    ASSERT_EQ(interpreters.size(), 1u);
    const UniqueHandle child(::OpenProcess(PROCESS_DUP_HANDLE, FALSE, *interpreters.begin()));
    ASSERT_TRUE(child);
    // Inherited handles keep their value: whatever the child holds there must be something else.
    HANDLE copy = nullptr;
    if (::DuplicateHandle(child.get(), mine.get(), ::GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        const UniqueHandle held(copy);
        ::SetEvent(held.get());
    }
    EXPECT_EQ(::WaitForSingleObject(mine.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

// A program's question ending in '>' (adb's LF-ended lines alike) is not the interpreter's
// prompt: the answer goes on until the real one.
TEST_F(ConsoleInterpreter, ALineEndingInGreaterThanDoesNotEndTheAnswer) {
    start();
    host.sendCommand("echo.& set /p ozanswer=out x^>");
    EXPECT_EQ(host.readOutputTimed(), "out x>");
    EXPECT_FALSE(host.lastAnswerComplete());
    host.sendCommand("y");
    host.readOutput();
    EXPECT_TRUE(host.lastAnswerComplete());
    EXPECT_EQ(exchange("echo %ozanswer%"), "y");
}

TEST_F(ConsoleInterpreter, AnAnswerCutShortByAStopSaysSo) {
    start();
    EXPECT_EQ(exchange("echo done"), "done");
    EXPECT_TRUE(host.lastAnswerComplete());
    host.sendCommand("echo partial& set /p ozwait=");
    const auto stop = [&] {
        ::Sleep(300);
        host.stop();
    };
    std::string answer;
    EXPECT_TRUE(endsWithin(10s, [&] { answer = host.readOutput(); }, stop, test::killChildInterpreters));
    EXPECT_EQ(answer, "partial");
    EXPECT_FALSE(host.lastAnswerComplete());
}

// adb may write a zero byte (Wine's own `type` stops at one): it is dropped, and what follows it
// on the same line and the next is kept; the next command gets its own answer.
TEST_F(ConsoleInterpreter, AZeroByteInAnAnswerIsDroppedAndWhatFollowsKept) {
    const test::FakeAdbScenario adb;
    adb.write("server: running\nuninstall *: raw before\\0after\\r\\n\\0more\n");
    start();
    EXPECT_EQ(exchange("adb shell pm uninstall --user 0 x"), "beforeafter\r\nmore");
    EXPECT_EQ(exchange("echo next"), "next");
}

// adb writes UTF-8; cmd.exe's own messages come in the console's code page. One answer may hold
// both: each line is decoded on its own.
TEST(DecodeAnswer, EachLineInItsOwnEncoding) {
    const std::wstring sample = ::GetOEMCP() == 936 ? L"电视" : L"\u00e9t\u00e9";
    const std::string consoleLine = narrow(sample, CP_OEMCP);
    ASSERT_FALSE(isValidUtf8(consoleLine));
    const std::string utf8Line = toUtf8(L"连接 ok");
    EXPECT_EQ(decodeAnswer(utf8Line + "\n" + consoleLine + "\r\n" + utf8Line), toUtf8(L"连接 ok\n" + sample + L"\r\n连接 ok"));
    EXPECT_EQ(decodeAnswer(consoleLine), toUtf8(sample));
    EXPECT_EQ(decodeAnswer(""), "");
    EXPECT_EQ(decodeAnswer("\n\n"), "\n\n");
}

}  // namespace
}  // namespace oz
