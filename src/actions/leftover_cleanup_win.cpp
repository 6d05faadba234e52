#include "actions/leftover_cleanup_win.h"

#include "core/action_rules.h"
#include "runtime/process_list_win.h"
#include "runtime/text_win.h"

namespace oz {
namespace {

// Ends every process of exactly that name that this program may end; returns how many ended.
// A process that could not be opened or terminated (elevated, another session's, already
// gone) is not counted.
int terminateAllNamed(std::string_view exeName) {
    const OpenedProcessList list = openProcesses();
    return terminateChosen(list, processesNamed(factsOf(list), exeName, list.scope));
}

}  // namespace

int snapshotProcesses(std::vector<std::string>& names, bool wantNames, std::vector<std::uint32_t>& ids,
                      bool wantIds) {
    const bool fillIds = !wantNames || wantIds;
    if (wantNames) names.clear();
    if (fillIds) ids.clear();
    forEachProcess([&](const PROCESSENTRY32W& entry) {
        if (wantNames) names.push_back(toUtf8(entry.szExeFile));
        if (fillIds) ids.push_back(entry.th32ProcessID);
        return true;
    });
    return static_cast<int>(wantNames ? names.size() : ids.size());
}

std::string closeLeftoverPrograms() {
    // The bridge's server may have been started by one of the interpreters: it is still listed
    // by the second list, taken after the first pass.
    const int interpreters = terminateAllNamed(kInterpreterExeName);
    const int bridges = terminateAllNamed(kBridgeExeName);
    return cleanupSummary(interpreters, bridges);
}

}  // namespace oz
