#pragma once
// Message-aware waits. A thread that waits here still dispatches the window messages sent or
// posted to it, so windows it owns stay responsive while it waits for the interpreter.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <span>

namespace oz {

// Dispatches every message waiting for the calling thread. A WM_QUIT met on the way is posted
// again, so that the thread's own message loop still sees it.
void processPendingEvents();

// Dispatches the waiting messages when keyboard or mouse input is queued for the calling thread.
void pumpPendingInput();

// Relative due time of a wait, in 100 ns units (negative, as SetWaitableTimer takes it), for
// amount units of: 0 milliseconds, 1 seconds, 2 minutes, 3 hours (any other unit: milliseconds).
std::int64_t pacedDueTime(std::uint32_t amount, std::uint32_t unit);

// Waits on a waitable timer, dispatching messages meanwhile. Returns at once when no timer can
// be armed. Always true.
bool pacedWait(std::uint32_t amount, std::uint32_t unit = 0);

struct WaitResult {
    enum class Kind { signalled, timedOut, failed };
    Kind kind = Kind::failed;
    std::size_t index = 0;  // which handle, when signalled
};

// Waits until one of handles (at most MAXIMUM_WAIT_OBJECTS - 1) is signalled or timeoutMs
// (INFINITE allowed) has passed, dispatching messages meanwhile. When several are signalled,
// the first of them wins.
WaitResult waitForAny(std::span<const HANDLE> handles, DWORD timeoutMs);

}  // namespace oz
