#include "runtime/process_list_win.h"

#include <algorithm>
#include <string>

#include "runtime/text_win.h"

namespace oz {
namespace {

constexpr DWORD kOpenRights = PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE;

std::uint64_t now() {
    FILETIME time{};
    ::GetSystemTimeAsFileTime(&time);
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::uint32_t sessionOf(DWORD processId) {
    DWORD session = 0;
    return ::ProcessIdToSessionId(processId, &session) ? session : 0xFFFFFFFFu;
}

// The file name of the image the process runs, from its own handle.
std::string imageNameOf(HANDLE process) {
    std::wstring path(MAX_PATH * 2, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!::QueryFullProcessImageNameW(process, 0, path.data(), &size)) return {};
    path.resize(size);
    const std::size_t slash = path.find_last_of(L"\\/");
    return toUtf8(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

}  // namespace

void forEachProcess(const std::function<bool(const PROCESSENTRY32W&)>& visit) {
    const UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
        if (!visit(entry)) return;
}

std::uint64_t creationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

OpenedProcessList openProcesses() {
    OpenedProcessList list;
    list.scope.session = sessionOf(::GetCurrentProcessId());
    // Taken before the list: whatever was created after this moment holds a reused id.
    list.scope.listedAt = now();
    forEachProcess([&list](const PROCESSENTRY32W& entry) {
        UniqueHandle handle(::OpenProcess(kOpenRights, FALSE, entry.th32ProcessID));
        if (!handle) return true;
        ProcessFacts facts{entry.th32ProcessID, entry.th32ParentProcessID, toUtf8(entry.szExeFile),
                           imageNameOf(handle.get()), sessionOf(entry.th32ProcessID), creationTime(handle.get())};
        list.processes.push_back({std::move(facts), std::move(handle)});
        return true;
    });
    return list;
}

std::vector<ProcessFacts> factsOf(const OpenedProcessList& list) {
    std::vector<ProcessFacts> facts;
    for (const OpenedProcess& process : list.processes) facts.push_back(process.facts);
    return facts;
}

int terminateChosen(const OpenedProcessList& list, const std::vector<std::uint32_t>& chosen) {
    int ended = 0;
    for (const OpenedProcess& process : list.processes) {
        if (std::find(chosen.begin(), chosen.end(), process.facts.id) == chosen.end()) continue;
        // One that has ended meanwhile was not ended by us (Wine even reports success for it).
        const bool running = ::WaitForSingleObject(process.handle.get(), 0) == WAIT_TIMEOUT;
        if (running && ::TerminateProcess(process.handle.get(), 0)) ++ended;
    }
    return ended;
}

}  // namespace oz
