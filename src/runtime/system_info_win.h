#pragma once
// What the program asks of the system about itself and the machine it runs on.
#include <windows.h>

#include <cstdint>
#include <string>

#include "core/byte_text.h"

namespace oz {

// Platform type: 1 Win32s, 2 Windows 95 family, 3 NT family, 0 anything else.
int osType();

// Milliseconds since the system started, as GetTickCount counts them (wraps after 49.7 days).
std::uint32_t uptime();

// The system folder (C:\Windows\System32), without a trailing backslash.
std::wstring systemDirectory();

// The folder of the program file, without a trailing backslash.
std::wstring runDirectory();
// The same in a code page: the console's (OEM) one by default, as the interpreter prints paths.
std::string runDirectoryBytes(UINT codePage = CP_OEMCP);

// The bytes that begin a two-byte character in codePage.
LeadBytes leadBytesOf(UINT codePage);
// Those of the console (OEM) code page, in which the interpreter writes to its pipe.
LeadBytes consoleLeadBytes();

}  // namespace oz
