#pragma once
// Terminates every leftover interpreter and bridge process on the machine, by exact name.
#include <cstdint>
#include <string>
#include <vector>

namespace oz {

// The running processes as two parallel lists, in snapshot order. Only the chosen lists are
// emptied and refilled; wantNames false fills the ids alone. Returns the number listed.
int snapshotProcesses(std::vector<std::string>& names, bool wantNames, std::vector<std::uint32_t>& ids, bool wantIds);

// Every "cmd.exe", then every "adb.exe" (names compared exactly) of this session is terminated.
// Returns the summary for the message box, with how many of each were actually ended.
std::string closeLeftoverPrograms();

}  // namespace oz
