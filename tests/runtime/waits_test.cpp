// Message-aware waits: they wait as long as asked and keep the thread's messages flowing.
#include <gtest/gtest.h>

#include <limits>

#include "support/message_target.h"
#include "runtime/handles_win.h"
#include "runtime/waits_win.h"

namespace oz {
namespace {

struct DueTimeCase {
    std::uint32_t amount;
    std::uint32_t unit;
    std::int64_t due;
};

class PacedDueTime : public ::testing::TestWithParam<DueTimeCase> {};

TEST_P(PacedDueTime, CountsHundredsOfNanosecondsBackwards) {
    EXPECT_EQ(pacedDueTime(GetParam().amount, GetParam().unit), GetParam().due);
}

INSTANTIATE_TEST_SUITE_P(
    Units, PacedDueTime,
    ::testing::Values(DueTimeCase{1, 0, -10'000}, DueTimeCase{1, 1, -10'000'000}, DueTimeCase{2, 2, -1'200'000'000},
                      DueTimeCase{1, 3, -36'000'000'000}, DueTimeCase{7, 9, -70'000}, DueTimeCase{0, 1, 0},
                      DueTimeCase{0xFFFFFFFFu, 3, std::numeric_limits<std::int64_t>::min()}));

TEST(PacedWait, WaitsTheTimeAskedWhileDispatchingTheThreadsMessages) {
    test::MessageTarget target({});
    ::PostMessageW(target.window(), WM_APP, 0, 0);
    const ULONGLONG began = ::GetTickCount64();
    EXPECT_TRUE(pacedWait(1, 1));
    // A lower bound only; the tick counter may trail the timer by one tick.
    EXPECT_GE(::GetTickCount64() - began, 950u);
    EXPECT_EQ(target.received(), 1);
}

TEST(WaitForAny, NamesTheFirstSignalledHandle) {
    const UniqueHandle first(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const UniqueHandle second(::CreateEventW(nullptr, TRUE, TRUE, nullptr));
    const HANDLE both[] = {first.get(), second.get()};
    WaitResult woke = waitForAny(both, INFINITE);
    EXPECT_EQ(woke.kind, WaitResult::Kind::signalled);
    EXPECT_EQ(woke.index, 1u);

    ::SetEvent(first.get());
    woke = waitForAny(both, INFINITE);
    EXPECT_EQ(woke.kind, WaitResult::Kind::signalled);
    EXPECT_EQ(woke.index, 0u);
}

TEST(WaitForAny, TimesOutWhileDispatchingMessages) {
    const UniqueHandle never(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    test::MessageTarget target({});
    ::PostMessageW(target.window(), WM_APP, 0, 0);
    const HANDLE one = never.get();
    EXPECT_EQ(waitForAny({&one, 1}, 50).kind, WaitResult::Kind::timedOut);
    EXPECT_EQ(target.received(), 1);
}

TEST(WaitForAny, ReportsAFailedWaitInsteadOfWaitingForEver) {
    const HANDLE invalid = nullptr;
    EXPECT_EQ(waitForAny({&invalid, 1}, INFINITE).kind, WaitResult::Kind::failed);
}

TEST(ProcessPendingEvents, LeavesAQuitRequestForTheThreadsOwnLoop) {
    test::MessageTarget target({});
    ::PostMessageW(target.window(), WM_APP, 0, 0);
    ::PostQuitMessage(7);
    processPendingEvents();
    EXPECT_EQ(target.received(), 1);
    MSG message;
    ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 7u);
}

}  // namespace
}  // namespace oz
