#pragma once
// Whether an adb.exe is there for the interpreter to run; without one the built-in client
// talks to the TV itself.
#include <string>

namespace oz {

// adb.exe in runDirectory (the program's folder) or in a folder of PATH, in that order.
bool adbExeAvailable(const std::wstring& runDirectory);

}  // namespace oz
