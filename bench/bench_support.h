#pragma once
// What the benchmark programs share: a clock, medians, figure lines for scripts/bench.sh, the CPU
// time of another process, and a program started inside a job so that nothing outlives a run.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <optional>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/handles_win.h"
#include "runtime/process_list_win.h"

namespace oz::bench {

inline double nowMs() {
    LARGE_INTEGER count;
    LARGE_INTEGER frequency;
    ::QueryPerformanceCounter(&count);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// "FIGURE name value": the lines scripts/bench.sh reads; everything else is for people.
inline void printFigure(const char* name, double value) {
    std::printf("FIGURE %s %.10g\n", name, value);
    std::fflush(stdout);
}

inline bool underWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

inline double filetimeMs(FILETIME time) {
    return static_cast<double>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000.0;
}

// The leading fields of an entry of NtQuerySystemInformation(SystemProcessInformation), as
// documented for NT; the SDK's own declaration hides the times.
struct ProcessEntry {
    ULONG nextEntryOffset;
    ULONG numberOfThreads;
    LARGE_INTEGER workingSetPrivateSize;
    ULONG hardFaultCount;
    ULONG numberOfThreadsHighWatermark;
    ULONGLONG cycleTime;
    LARGE_INTEGER createTime;
    LARGE_INTEGER userTime;
    LARGE_INTEGER kernelTime;
    struct {
        USHORT length;
        USHORT maximumLength;
        PWSTR buffer;
    } imageName;
    LONG basePriority;
    HANDLE uniqueProcessId;
};

// What the system's process list says of one process: its CPU time and when it was created.
struct ListedTimes {
    double cpuMs;      // kernel plus user
    double createdMs;  // system time, in the clock of systemNowMs
};

// One process's entry in the system's process list; nullopt when not listed.
inline std::optional<ListedTimes> listedTimes(DWORD processId) {
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    constexpr ULONG systemProcessInformation = 5;
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<unsigned char> buffer(1 << 16);
    ULONG needed = 0;
    LONG status = 0;
    while ((status = query(systemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           static_cast<LONG>(0xC0000004))  // STATUS_INFO_LENGTH_MISMATCH
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 4096));
    if (status != 0) return std::nullopt;
    for (std::size_t offset = 0;;) {
        const auto* entry = reinterpret_cast<const ProcessEntry*>(buffer.data() + offset);
        if (reinterpret_cast<ULONG_PTR>(entry->uniqueProcessId) == processId)
            return ListedTimes{static_cast<double>(entry->userTime.QuadPart + entry->kernelTime.QuadPart) / 10000.0,
                               static_cast<double>(entry->createTime.QuadPart) / 10000.0};
        if (entry->nextEntryOffset == 0) return std::nullopt;
        offset += entry->nextEntryOffset;
    }
}

// Kernel plus user time of one process from the system's process list; -1 when not listed.
inline double listedCpuMs(DWORD processId) {
    const auto times = listedTimes(processId);
    return times ? times->cpuMs : -1;
}

// The system time in ms, in the clock of the process list's creation times.
inline double systemNowMs() {
    FILETIME now;
    ::GetSystemTimePreciseAsFileTime(&now);
    return filetimeMs(now);
}

// Kernel plus user time of another process, in ms. GetProcessTimes through a handle with
// PROCESS_QUERY_LIMITED_INFORMATION on Windows. Wine 8 answers GetProcessTimes for another
// process with the caller's own times, so under Wine the system's process list is read
// instead: Wine fills it from /proc, in clock ticks of 10 ms.
inline double cpuMsOf(HANDLE process, DWORD processId) {
    if (underWine()) return listedCpuMs(processId);
    FILETIME created;
    FILETIME exited;
    FILETIME kernel;
    FILETIME user;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    return filetimeMs(kernel) + filetimeMs(user);
}

// The id of a running process named exeName whose parent is parentId; 0 when there is none.
inline DWORD childNamed(DWORD parentId, std::wstring_view exeName) {
    DWORD found = 0;
    forEachProcess([&](const PROCESSENTRY32W& entry) {
        if (entry.th32ParentProcessID == parentId && ::lstrcmpiW(entry.szExeFile, std::wstring(exeName).c_str()) == 0)
            found = entry.th32ProcessID;
        return found == 0;
    });
    return found;
}

// Whether some running process named exeName has parentId as its parent.
inline bool hasChildNamed(DWORD parentId, std::wstring_view exeName) { return childNamed(parentId, exeName) != 0; }

// The process's visible top-level window that nobody owns: its main window. Null if none yet.
inline HWND shownMainWindowOf(DWORD processId) {
    struct Search {
        DWORD processId;
        HWND found;
    } search{processId, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& wanted = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner != wanted.processId || !::IsWindowVisible(window) || ::GetWindow(window, GW_OWNER)) return TRUE;
            wanted.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The window's thread takes messages: a WM_NULL sent to it comes back.
inline bool answers(HWND window) {
    DWORD_PTR ignored = 0;
    return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
}

// A program started inside a job that is terminated at the end, with whatever it started.
// startedMs is taken just before CreateProcessW.
class JobProcess {
public:
    explicit JobProcess(const std::wstring& program, const std::wstring& arguments = {})
        : job_(::CreateJobObjectW(nullptr, nullptr)) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
        std::wstring commandLine = L"\"" + program + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        startedMs_ = nowMs();
        // Suspended until it is in the job, so that the job holds everything it starts.
        if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                              nullptr, &startup, &started))
            return;
        process_.reset(started.hProcess);
        const UniqueHandle thread(started.hThread);
        processId_ = started.dwProcessId;
        ::AssignProcessToJobObject(job_.get(), process_.get());
        ::ResumeThread(thread.get());
    }
    ~JobProcess() {
        ::TerminateJobObject(job_.get(), 1);
        ::WaitForSingleObject(process_.get(), 10000);
        // The next run starts only once nothing of this one runs any more.
        for (int i = 0; i < 500 && activeProcesses() > 0; ++i) ::Sleep(20);
    }
    JobProcess(const JobProcess&) = delete;
    JobProcess& operator=(const JobProcess&) = delete;

    bool started() const { return static_cast<bool>(process_); }
    bool exited() const { return ::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; }
    HANDLE process() const { return process_.get(); }
    DWORD id() const { return processId_; }
    double startedMs() const { return startedMs_; }

private:
    DWORD activeProcesses() const {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
        if (!::QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &accounting,
                                         sizeof accounting, nullptr))
            return 0;
        return accounting.ActiveProcesses;
    }

    UniqueHandle job_;
    UniqueHandle process_;
    DWORD processId_ = 0;
    double startedMs_ = 0;
};

// Polls every millisecond until the program's main window is visible and its thread answers,
// and, when startsInterpreter, a cmd.exe whose parent is the program runs. The main window, or
// null when the program ended first or did not get there within 30 s.
inline HWND waitUntilUp(const JobProcess& started, bool startsInterpreter) {
    for (;;) {
        HWND window = shownMainWindowOf(started.id());
        if (window && answers(window) && (!startsInterpreter || hasChildNamed(started.id(), L"cmd.exe")))
            return window;
        if (!started.started() || started.exited() || nowMs() - started.startedMs() > 30000) return nullptr;
        ::Sleep(1);
    }
}

}  // namespace oz::bench
