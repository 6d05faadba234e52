// Starting, restarting, stopping, cloning and releasing the interpreter behind ConsoleHost.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <thread>

#include "console_test_support.h"
#include "support/fake_adb_scenario.h"
#include "runtime/handles_win.h"
#include "runtime/process_list_win.h"
#include "runtime/system_info_win.h"

namespace oz {
namespace {

class ConsoleLifecycle : public ::testing::Test {
protected:
    void TearDown() override { host.stop(); }

    // The interpreter started by the last start() (none running before it).
    DWORD startOne() {
        const auto before = test::childInterpreters();
        EXPECT_EQ(host.start(), 0u);
        std::vector<DWORD> added;
        const auto after = test::childInterpreters();
        std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
        EXPECT_EQ(added.size(), 1u);
        return added.empty() ? 0 : added.front();
    }

    test::ScopedCurrentDirectory current{runDirectory()};
    const std::string home = runDirectoryBytes();
    ConsoleHost host;
};

TEST_F(ConsoleLifecycle, FirstDirectoryReadProbesThePromptFromTheWaitingBanner) {
    ASSERT_EQ(host.start(), 0u);
    test::waitForQuietOutput(host);
    EXPECT_GT(host.outputSize(), 0u);
    EXPECT_EQ(host.directory(), home + ">");
    EXPECT_EQ(host.outputSize(), 0u);
}

TEST_F(ConsoleLifecycle, CommandSentBeforeAnyPromptDropsTheWaitingOutputButItsLastLine) {
    ASSERT_EQ(host.start(), 0u);
    test::waitForQuietOutput(host);
    host.sendCommand("echo after");
    EXPECT_EQ(host.prompt(), home + ">");
    EXPECT_EQ(host.readOutput(), "after");
}

TEST_F(ConsoleLifecycle, IsRunningFollowsTheInterpreterAndDirectoryRestartsIt) {
    EXPECT_TRUE(host.isRunning());  // nothing started yet counts as running
    const DWORD first = startOne();
    host.readOutput();
    EXPECT_TRUE(host.isRunning());

    test::killChildInterpreters();
    EXPECT_FALSE(host.isRunning());
    EXPECT_EQ(host.directory(), home + ">");
    EXPECT_TRUE(host.isRunning());
    const auto now = test::childInterpreters();
    EXPECT_EQ(now.size(), 1u);
    EXPECT_EQ(now.count(first), 0u);
}

TEST_F(ConsoleLifecycle, StopTwiceIsHarmlessAndLeavesNothingToTalkTo) {
    ASSERT_EQ(host.start(), 0u);
    EXPECT_TRUE(host.stop());
    EXPECT_FALSE(host.stop());
    EXPECT_FALSE(host.isRunning());
    EXPECT_NE(host.sendCommand("echo nobody"), 0u);
    EXPECT_EQ(host.readOutput(), "");
}

// The adb.exe the interpreter runs when the window closes, if it waits for a TV that never
// answers, must not stay behind.
TEST_F(ConsoleLifecycle, StopAlsoEndsWhatTheInterpreterIsRunning) {
    test::FakeAdbScenario adb;
    adb.write("connect: hang\n");
    const DWORD interpreter = startOne();
    ASSERT_EQ(host.sendCommand("adb connect 10.0.0.1:5555"), 0u);
    UniqueHandle running;
    for (int tries = 0; tries < 400 && !running; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        forEachProcess([&](const PROCESSENTRY32W& entry) {
            if (entry.th32ParentProcessID == interpreter && std::wstring_view(entry.szExeFile) == L"adb.exe")
                running.reset(::OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
            return !running;
        });
    }
    ASSERT_TRUE(running) << "the interpreter never ran adb.exe";
    EXPECT_TRUE(host.stop());
    EXPECT_EQ(::WaitForSingleObject(running.get(), 10000), WAIT_OBJECT_0) << "adb.exe outlived the interpreter";
}

// The first interpreter ends by itself only once every write end of its input pipe is closed,
// so its end shows that the host let go of the first session's pipes.
TEST_F(ConsoleLifecycle, StartTwiceKeepsOnlyTheSecondInterpreter) {
    const DWORD first = startOne();
    const UniqueHandle firstProcess(::OpenProcess(SYNCHRONIZE, FALSE, first));
    ASSERT_TRUE(firstProcess);
    const DWORD second = startOne();
    EXPECT_NE(first, second);
    EXPECT_EQ(::WaitForSingleObject(firstProcess.get(), 10000), WAIT_OBJECT_0);

    host.readOutput();
    host.sendCommand("echo second");
    EXPECT_EQ(host.readOutput(), "second");
    EXPECT_EQ(test::childInterpreters(), std::set<DWORD>{second});
}

TEST_F(ConsoleLifecycle, CloneTalksToTheSameInterpreterWithItsOwnTexts) {
    const DWORD only = startOne();
    host.readOutput();
    ConsoleHost copy = host.clone();
    EXPECT_EQ(copy.prompt(), home + ">");

    copy.sendCommand("cd ..");
    EXPECT_EQ(copy.readOutput(), "");
    EXPECT_EQ(copy.prompt(), home.substr(0, home.find_last_of('\\')) + ">");
    EXPECT_EQ(host.prompt(), home + ">");
    EXPECT_EQ(host.lastCommand(), "");
    EXPECT_EQ(test::childInterpreters(), std::set<DWORD>{only});

    EXPECT_TRUE(host.stop());
    EXPECT_FALSE(copy.isRunning());
}

TEST_F(ConsoleLifecycle, DestroyForgetsTheTextsWithoutTerminatingTheInterpreter) {
    ASSERT_EQ(host.start(), 0u);
    host.readOutput();
    ConsoleHost copy = host.clone();
    host.sendCommand("echo first");
    host.readOutput();

    host.destroy();
    EXPECT_EQ(host.prompt(), "");
    EXPECT_EQ(host.lastCommand(), "");
    EXPECT_EQ(host.outputSize(), 0u);

    copy.sendCommand("echo still here");
    EXPECT_EQ(copy.readOutput(), "still here");
    copy.stop();
}

TEST_F(ConsoleLifecycle, HostWithoutInterpreterAnswersEveryQueryAtOnce) {
    EXPECT_EQ(host.outputSize(), 0u);
    EXPECT_FALSE(host.seekOutput(3, 0));
    EXPECT_EQ(host.outputPosition(), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(host.readOutputTimed(), "");
    EXPECT_EQ(host.readOutput(), "");
    EXPECT_EQ(host.directory(), "");
    EXPECT_EQ(ConsoleHost::stdOutputHandle(), ::GetStdHandle(STD_OUTPUT_HANDLE));
    EXPECT_EQ(ConsoleHost::stdInputHandle(), ::GetStdHandle(STD_INPUT_HANDLE));
    EXPECT_EQ(ConsoleHost::stdErrorHandle(), ::GetStdHandle(STD_ERROR_HANDLE));
}

// Our end of a pipe must not be inheritable (see createPipe), the interpreter's must be; bytes
// written at one end arrive at the other.
class CreatePipe : public ::testing::TestWithParam<OwnEnd> {};

DWORD inheritFlag(HANDLE handle) {
    DWORD flags = 0;
    EXPECT_TRUE(::GetHandleInformation(handle, &flags));
    return flags & HANDLE_FLAG_INHERIT;
}

TEST_P(CreatePipe, OnlyTheInterpretersEndIsInheritable) {
    PipeEnds ends;
    ASSERT_EQ(ConsoleHost::createPipe(ends, GetParam()), 0u);
    const bool ownRead = GetParam() == OwnEnd::read;
    EXPECT_EQ(inheritFlag(ends.readEnd.get()) != 0, !ownRead);
    EXPECT_EQ(inheritFlag(ends.writeEnd.get()) != 0, ownRead);

    const UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.get();
    DWORD written = 0;
    ::WriteFile(ends.writeEnd.get(), "abc", 3, nullptr, &overlapped);
    ASSERT_TRUE(::GetOverlappedResult(ends.writeEnd.get(), &overlapped, &written, TRUE));
    char seen[8] = {};
    DWORD available = 0;
    ASSERT_TRUE(::PeekNamedPipe(ends.readEnd.get(), seen, sizeof seen, nullptr, &available, nullptr));
    EXPECT_EQ(std::string(seen, available), "abc");
}

INSTANTIATE_TEST_SUITE_P(Ends, CreatePipe, ::testing::Values(OwnEnd::read, OwnEnd::write));

}  // namespace
}  // namespace oz
