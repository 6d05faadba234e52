#include "runtime/waits_win.h"

#include <iterator>
#include <limits>

#include "runtime/handles_win.h"

namespace oz {

void processPendingEvents() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void pumpPendingInput() {
    if (::GetInputState()) processPendingEvents();
}

std::int64_t pacedDueTime(std::uint32_t amount, std::uint32_t unit) {
    constexpr double multipliers[] = {1.0, 1000.0, 60000.0, 3600000.0};
    const double multiplier = unit < std::size(multipliers) ? multipliers[unit] : 1.0;
    const double due = static_cast<double>(amount) * multiplier * -10000.0;
    // Hours beyond what 64 bits hold cannot be converted; the longest wait there is will do.
    constexpr auto longest = std::numeric_limits<std::int64_t>::min();
    return due <= static_cast<double>(longest) ? longest : static_cast<std::int64_t>(due);
}

bool pacedWait(std::uint32_t amount, std::uint32_t unit) {
    const UniqueHandle timer(::CreateWaitableTimerW(nullptr, FALSE, nullptr));
    LARGE_INTEGER due;
    due.QuadPart = pacedDueTime(amount, unit);
    if (timer && ::SetWaitableTimer(timer.get(), &due, 0, nullptr, nullptr, FALSE)) {
        const HANDLE handle = timer.get();
        waitForAny({&handle, 1}, INFINITE);
    }
    return true;
}

namespace {

DWORD timeLeft(DWORD timeoutMs, ULONGLONG since) {
    if (timeoutMs == INFINITE) return INFINITE;
    const ULONGLONG spent = ::GetTickCount64() - since;
    return spent >= timeoutMs ? 0 : static_cast<DWORD>(timeoutMs - spent);
}

}  // namespace

WaitResult waitForAny(std::span<const HANDLE> handles, DWORD timeoutMs) {
    const auto count = static_cast<DWORD>(handles.size());
    const ULONGLONG since = ::GetTickCount64();
    for (;;) {
        // MWMO_INPUTAVAILABLE: messages already queued (but seen by an earlier peek) also wake us.
        const DWORD result = ::MsgWaitForMultipleObjectsEx(count, handles.data(), timeLeft(timeoutMs, since),
                                                           QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (result < WAIT_OBJECT_0 + count) return {WaitResult::Kind::signalled, result - WAIT_OBJECT_0};
        if (result == WAIT_TIMEOUT) return {WaitResult::Kind::timedOut, 0};
        if (result != WAIT_OBJECT_0 + count) return {WaitResult::Kind::failed, 0};
        processPendingEvents();
    }
}

}  // namespace oz
