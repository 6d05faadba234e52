// Reliability soak: many cycles of Connect, both removals and a cleanup through the real
// Ozarith.exe against the fake adb.exe, driven like a person would. Reports the program's
// handle count, private bytes and thread count after a warm-up and at the end, and checks
// that no worker was left waiting: the buttons end in the not-connected state, no box is up,
// and adb received every command of every cycle in order.
//
// Usage: soak [--cycles N]   (default 300)
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "support/app_driver.h"

namespace {

using namespace oz;
using namespace oz::test;

constexpr int kWarmUpCycles = 5;
constexpr int kReportEvery = 50;
const std::wstring kOnlyOwnInterpreter = L"一共关闭 1 个cmd.exe程序\r\n一共关闭 0 adb.exe程序\r\n";
const std::wstring kCycleLog =
    L"connected to 127.0.0.1:5555\r\n删除开机广告 -> Success\r\n删除开机广告 -> Success\r\n删除系统更新 ->Success\r\n";
const std::vector<std::string> kCycleCalls = {
    "connect 127.0.0.1:5555",
    "shell pm uninstall --user 0 com.miui.systemAdSolution",
    "shell pm uninstall --user 0 com.xiaomi.mitv.advertise",
    "shell pm uninstall --user 0 com.xiaomi.mitv.upgrade",
};

// Handle count and private bytes as the system reports them, and the same measured another
// way: Wine 8 answers GetProcessHandleCount with 0 and leaves PrivateUsage at 0.
struct Usage {
    DWORD handles = 0;          // GetProcessHandleCount
    DWORD handlesCounted = 0;   // handle values that can be duplicated out of the process
    SIZE_T privateBytes = 0;    // PROCESS_MEMORY_COUNTERS_EX.PrivateUsage
    SIZE_T pagefileBytes = 0;   // PagefileUsage: the same commit charge on Windows, anonymous memory on Wine
    DWORD threads = 0;

    double handleFigure() const { return handles ? handles : handlesCounted; }
    double memoryFigure() const { return static_cast<double>(privateBytes ? privateBytes : pagefileBytes); }
};

DWORD threadCount(DWORD processId) {
    const UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return 0;
    DWORD count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more; more = ::Thread32Next(snapshot.get(), &entry))
        if (entry.th32OwnerProcessID == processId) ++count;
    return count;
}

// Handle values are multiples of 4 and handed out lowest first, so the program's handles lie
// far below this bound.
DWORD countHandlesByDuplicating(HANDLE process) {
    constexpr ULONG_PTR kHighestValue = 4 * 16384;
    DWORD count = 0;
    for (ULONG_PTR value = 4; value < kHighestValue; value += 4) {
        UniqueHandle copy;
        if (::DuplicateHandle(process, reinterpret_cast<HANDLE>(value), ::GetCurrentProcess(), copy.put(), 0, FALSE,
                              DUPLICATE_SAME_ACCESS))
            ++count;
    }
    return count;
}

Usage usageOf(const AppUnderTest& app) {
    Usage usage;
    const UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE, FALSE, app.processId()));
    ::GetProcessHandleCount(process.get(), &usage.handles);
    usage.handlesCounted = countHandlesByDuplicating(process.get());
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        usage.privateBytes = memory.PrivateUsage;
        usage.pagefileBytes = memory.PagefileUsage;
    }
    usage.threads = threadCount(app.processId());
    return usage;
}

void print(const char* when, int cycle, const Usage& usage, std::size_t logChars) {
    std::printf("%-6s cycle %4d: handles %4lu (counted %4lu), private bytes %9llu (pagefile usage %9llu), "
                "threads %2lu, log %6zu characters\n",
                when, cycle, static_cast<unsigned long>(usage.handles), static_cast<unsigned long>(usage.handlesCounted),
                static_cast<unsigned long long>(usage.privateBytes), static_cast<unsigned long long>(usage.pagefileBytes),
                static_cast<unsigned long>(usage.threads), logChars);
    std::fflush(stdout);
}

double growthPercent(double before, double after) { return before > 0 ? 100.0 * (after - before) / before : 0; }

// Waits for the state and says which step failed when it does not come.
void expect(bool reached, const AppUnderTest& app, int cycle, const char* step) {
    if (reached) return;
    throw std::runtime_error("cycle " + std::to_string(cycle) + ": " + step + " did not happen\n" + app.describe());
}

void runCycle(const AppUnderTest& app, int cycle) {
    const std::size_t callsBefore = static_cast<std::size_t>(cycle) * kCycleCalls.size();
    const auto callsAre = [&](std::size_t more) { return app.adbCalls().size() == callsBefore + more; };
    expect(app.connect(L"127.0.0.1"), app, cycle, "Connect");
    expect(app.click(kRemoveBootAdsButtonId), app, cycle, "click on remove boot ads");
    expect(waitFor([&] { return callsAre(3) && app.isEnabled(kRemoveBootAdsButtonId); }), app, cycle,
           "remove boot ads");
    expect(app.click(kRemoveSystemUpdateButtonId), app, cycle, "click on remove system update");
    expect(waitFor([&] { return callsAre(4) && app.isEnabled(kRemoveSystemUpdateButtonId); }), app, cycle,
           "remove system update");
    expect(app.click(kCloseLeftoversButtonId), app, cycle, "click on close leftovers");
    const auto box = app.waitForMessageBox(L"一共关闭");
    expect(box.has_value() && box->text == kOnlyOwnInterpreter, app, cycle, "the cleanup summary");
    app.pressOk(*box);
    expect(waitFor([&] { return app.isEnabled(kConnectButtonId) && !app.isEnabled(kRemoveBootAdsButtonId); }), app,
           cycle, "the not-connected state after the cleanup");
}

// What the program shows and adb received after all cycles: nothing missing, nothing extra.
bool endsClean(const AppUnderTest& app, int cycles) {
    std::wstring log;
    std::vector<std::string> calls;
    for (int i = 0; i < cycles; ++i) {
        log += kCycleLog;
        calls.insert(calls.end(), kCycleCalls.begin(), kCycleCalls.end());
    }
    const bool buttons = app.isEnabled(kConnectButtonId) && app.isEnabled(kCloseLeftoversButtonId) &&
                         !app.isEnabled(kRemoveBootAdsButtonId) && !app.isEnabled(kRemoveSystemUpdateButtonId);
    const bool noBox = !app.findMessageBox().has_value();
    const bool logComplete = app.logText() == log;
    const bool callsComplete = app.adbCalls() == calls;
    std::printf("end state: buttons %s, message box %s, log %s, adb calls %s\n", buttons ? "not connected" : "WRONG",
                noBox ? "none" : "STILL UP", logComplete ? "complete" : "WRONG", callsComplete ? "complete" : "WRONG");
    return buttons && noBox && logComplete && callsComplete;
}

int parseCycles(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--cycles") == 0) return std::max(kWarmUpCycles + 1, std::atoi(argv[i + 1]));
    return 300;
}

int soak(int cycles) {
    if (countProcesses(L"cmd.exe") != 0 || countProcesses(L"adb.exe") != 0) {
        std::printf("other cmd.exe or adb.exe processes run: the cleanup would count them; stop them first\n");
        return 2;
    }
    const AppUnderTest app("server: running");
    const auto began = std::chrono::steady_clock::now();
    Usage start;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        if (cycle == kWarmUpCycles) print("start", cycle, start = usageOf(app), app.logText().size());
        if (cycle > kWarmUpCycles && cycle % kReportEvery == 0) print("", cycle, usageOf(app), app.logText().size());
        runCycle(app, cycle);
    }
    const Usage end = usageOf(app);
    print("end", cycles, end, app.logText().size());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("%d cycles in %.1f s (%.2f s a cycle)\n", cycles, seconds, seconds / cycles);
    std::printf("growth from cycle %d to %d: handles %+.1f %% (%s), private bytes %+.1f %% (%s), threads %+.1f %%\n",
                kWarmUpCycles, cycles, growthPercent(start.handleFigure(), end.handleFigure()),
                start.handles ? "GetProcessHandleCount" : "counted", growthPercent(start.memoryFigure(), end.memoryFigure()),
                start.privateBytes ? "PrivateUsage" : "PagefileUsage", growthPercent(start.threads, end.threads));
    return endsClean(app, cycles) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return soak(parseCycles(argc, argv));
    } catch (const std::exception& failure) {
        std::printf("soak failed: %s\n", failure.what());
        return 1;
    }
}
