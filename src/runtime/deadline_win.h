#pragma once
// Deadlines on the tick counter, for waits made of several shorter ones.
#include <windows.h>

namespace oz {

inline ULONGLONG deadlineAfter(DWORD limitMs) { return ::GetTickCount64() + limitMs; }

// 0 once the deadline has passed.
inline DWORD remainingMs(ULONGLONG deadline) {
    const ULONGLONG now = ::GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

}  // namespace oz
