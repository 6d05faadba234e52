#pragma once
// Deadlines on the tick counter, for waits made of several shorter ones.
#include <windows.h>

namespace oz {

inline ULONGLONG deadlineAfter(DWORD limitMs) { return ::GetTickCount64() + limitMs; }

// 0 once the deadline has passed; never INFINITE, so a wait given it always ends.
inline DWORD remainingMs(ULONGLONG deadline) {
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return 0;
    return deadline - now >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(deadline - now);
}

}  // namespace oz
