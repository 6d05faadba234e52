#include "actions/leftover_cleanup_win.h"

#include <windows.h>
#include <tlhelp32.h>

#include "core/action_rules.h"
#include "runtime/handles_win.h"
#include "runtime/text_win.h"

namespace oz {
namespace {

// Terminates every process of that exact name; returns how many there were, whether or not
// each could be opened and terminated (no rights, already gone).
int terminateAllNamed(std::string_view exeName) {
    std::vector<std::string> names;
    std::vector<std::uint32_t> ids;
    const int listed = snapshotProcesses(names, true, ids, true);
    int count = 0;
    for (int i = 0; i < listed; ++i) {
        if (names[static_cast<std::size_t>(i)] != exeName) continue;
        ++count;
        UniqueHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, ids[static_cast<std::size_t>(i)]));
        if (process) ::TerminateProcess(process.get(), 0);
    }
    return count;
}

}  // namespace

int snapshotProcesses(std::vector<std::string>& names, bool wantNames, std::vector<std::uint32_t>& ids,
                      bool wantIds) {
    UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    const bool fillIds = !wantNames || wantIds;
    if (wantNames) names.clear();
    if (fillIds) ids.clear();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (wantNames) names.push_back(toUtf8(entry.szExeFile));
        if (fillIds) ids.push_back(entry.th32ProcessID);
    }
    return static_cast<int>(wantNames ? names.size() : ids.size());
}

std::string closeLeftoverPrograms() {
    // The bridge's server may have been started by one of the interpreters: it is still listed
    // by the second snapshot, taken after the first pass.
    const int interpreters = terminateAllNamed(kInterpreterExeName);
    const int bridges = terminateAllNamed(kBridgeExeName);
    return cleanupSummary(interpreters, bridges);
}

}  // namespace oz
