#include "runtime/process_tree_win.h"

#include <tlhelp32.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "runtime/handles_win.h"

namespace oz {
namespace {

std::vector<std::pair<DWORD, DWORD>> processesWithParents() {
    std::vector<std::pair<DWORD, DWORD>> list;  // (process, parent)
    UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return list;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
        list.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
    return list;
}

ULONGLONG creationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

void terminateDescendants(HANDLE root) {
    const DWORD rootId = ::GetProcessId(root);
    if (rootId == 0) return;
    const ULONGLONG rootCreated = creationTime(root);
    const auto list = processesWithParents();
    std::vector<DWORD> found{rootId};
    for (std::size_t next = 0; next < found.size(); ++next) {
        for (const auto& [process, parent] : list) {
            if (parent != found[next] || std::find(found.begin(), found.end(), process) != found.end()) continue;
            UniqueHandle child(::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
            if (!child || creationTime(child.get()) < rootCreated) continue;
            found.push_back(process);
            ::TerminateProcess(child.get(), 0);
        }
    }
}

}  // namespace oz
