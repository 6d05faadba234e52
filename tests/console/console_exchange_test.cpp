// Command exchanges with a real cmd.exe: answers, prompts, and reads that must end.
#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "console_test_support.h"
#include "runtime/system_info_win.h"
#include "runtime/text_win.h"

namespace oz {
namespace {

using test::endsWithin;
using namespace std::chrono_literals;

// set /p with no question prints nothing and waits for a line that never comes.
constexpr std::string_view waitForever = "set /p ozwait=";

class ConsoleExchange : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(host.start(), 0u);
        host.readOutput();  // the banner, up to the first prompt
        ASSERT_EQ(host.prompt(), home + ">");
    }
    void TearDown() override { host.stop(); }

    std::string exchange(std::string_view command) {
        host.sendCommand(command);
        return host.readOutput();
    }

    test::ScopedCurrentDirectory current{runDirectory()};
    const std::string home = runDirectoryBytes();
    ConsoleHost host;
};

TEST_F(ConsoleExchange, AnswerComesBackWithoutEchoPromptAndBlankLines) {
    EXPECT_EQ(exchange("echo hello"), "hello");
    EXPECT_EQ(exchange("echo one& echo.& echo two"), "one\r\n\r\ntwo");
}

TEST_F(ConsoleExchange, StandardErrorArrivesInTheSameStream) {
    EXPECT_EQ(exchange("echo to-stderr 1>&2").rfind("to-stderr", 0), 0u);
}

TEST_F(ConsoleExchange, ChangingDirectoryAnswersWithTheNewPromptOrTheError) {
    const std::string missing = home + "\\no such folder here";
    const std::string error = host.directory(missing, true);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('>'), std::string::npos) << error;
    EXPECT_EQ(host.prompt(), home + ">");

    EXPECT_EQ(host.directory(home, true), "");

    std::wstring windows(MAX_PATH, L'\0');
    windows.resize(::GetWindowsDirectoryW(windows.data(), MAX_PATH));
    const std::string other = narrow(windows, CP_OEMCP);
    EXPECT_EQ(host.directory(other, true), other + ">");
    EXPECT_EQ(host.prompt(), other + ">");
    EXPECT_EQ(host.directory(), other + ">");
}

TEST_F(ConsoleExchange, TimedReadWithNothingToReadEndsEmptyAndKeepsMessagesFlowing) {
    test::MessageTarget target({});
    ::PostMessageW(target.window(), WM_APP, 0, 0);
    const ULONGLONG began = ::GetTickCount64();
    EXPECT_EQ(host.readOutputTimed(), "");
    EXPECT_GE(::GetTickCount64() - began, 1000u);
    EXPECT_EQ(target.received(), 1);
}

TEST_F(ConsoleExchange, OutputWaitingWhenTheInterpreterDiedIsStillCollected) {
    host.sendCommand("echo pending-data& " + std::string(waitForever));
    test::waitForQuietOutput(host);
    test::killChildInterpreters();
    std::string answer;
    EXPECT_TRUE(endsWithin(10s, [&] { answer = host.readOutput(); }, [] {}, [&] { host.stop(); }));
    EXPECT_EQ(answer, "pending-data");
    EXPECT_FALSE(host.isRunning());
}

TEST_F(ConsoleExchange, KillingTheInterpreterEndsAWaitingRead) {
    host.sendCommand(waitForever);
    const auto kill = [] {
        ::Sleep(300);
        test::killChildInterpreters();
    };
    EXPECT_TRUE(endsWithin(10s, [&] { host.readOutput(); }, kill, [&] { host.stop(); }));
    EXPECT_FALSE(host.isRunning());
}

TEST_F(ConsoleExchange, StopFromAnotherThreadEndsAWaitingRead) {
    host.sendCommand(waitForever);
    const auto stop = [&] {
        ::Sleep(300);
        EXPECT_TRUE(host.stop());
    };
    EXPECT_TRUE(endsWithin(10s, [&] { host.readOutput(); }, stop, test::killChildInterpreters));
    EXPECT_FALSE(host.isRunning());
}

// The reading thread's own messages are dispatched while it waits: here the message handler is
// what stops the host (as the window's close does), so only a dispatch during the wait ends it.
TEST_F(ConsoleExchange, MessagesOfTheReadingThreadAreDispatchedDuringTheWait) {
    host.sendCommand(waitForever);
    std::promise<HWND> window;
    int received = 0;
    const auto read = [&] {
        test::MessageTarget target([&] { host.stop(); });
        window.set_value(target.window());
        host.readOutput();
        received = target.received();
    };
    const auto post = [&] { ::PostMessageW(window.get_future().get(), WM_APP, 0, 0); };
    EXPECT_TRUE(endsWithin(10s, read, post, test::killChildInterpreters));
    EXPECT_EQ(received, 1);
}

// The timed read's one-second limit across the wrap of the 32-bit millisecond counter, both as
// unsigned (0xFFFFFFFF -> 0) and as signed (0x7FFFFFFF -> 0x80000000) numbers.
class TimedReadAcrossCounterWrap : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(TimedReadAcrossCounterWrap, StillEndsAfterTheLimit) {
    std::atomic<std::uint32_t> offset{0};
    test::ScopedCurrentDirectory current{runDirectory()};
    ConsoleHost host([&offset] { return static_cast<std::uint32_t>(::GetTickCount() + offset.load()); });
    ASSERT_EQ(host.start(), 0u);
    host.readOutput();
    ULONGLONG took = 0;
    const auto read = [&] {
        // The counter passes the wrap about 400 ms into the read.
        offset = GetParam() - ::GetTickCount();
        const ULONGLONG began = ::GetTickCount64();
        EXPECT_EQ(host.readOutputTimed(), "");
        took = ::GetTickCount64() - began;
    };
    EXPECT_TRUE(endsWithin(10s, read, [] {}, [&] { host.stop(); }));
    EXPECT_GE(took, 1000u);
    host.stop();
}

INSTANTIATE_TEST_SUITE_P(Counter, TimedReadAcrossCounterWrap, ::testing::Values(0xFFFFFFFFu - 400u, 0x7FFFFFFFu - 400u));

}  // namespace
}  // namespace oz
