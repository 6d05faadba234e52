// Ozarith.exe's own CPU time, read from outside, as a share of one core over the same wall time:
//  - idle for 5 s with the main window open (target: about 0);
//  - while Connect waits 3 s for an answer (the fake adb.exe: "connect: delay 3000 connected");
//    target <= 1 %. For reference, the same Connect answered at once shows what the action's
//    own work costs (first prompt, change of folder, worker thread, log) without any wait.
// Each Connect runs in a fresh program (a connected program keeps Connect greyed), three of each
// kind in turn; medians. The program runs from the build's bin folder, next to the fake adb.exe.
// Only the button's state is polled from here: the system keeps it, so the program's thread does
// no work for the measurement.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "bench_support.h"
#include "runtime/system_info_win.h"
#include "support/fake_adb_scenario.h"

namespace {

using namespace oz::bench;

constexpr DWORD idleMs = 5000;
constexpr DWORD answerDelayMs = 3000;
constexpr DWORD settleMs = 1000;  // start-up work behind the first paint settles
constexpr int runs = 3;

struct CpuShare {
    double cpuMs = -1;
    double wallMs = 0;
    double percent() const { return 100.0 * cpuMs / wallMs; }
};

class Meter {
public:
    explicit Meter(const JobProcess& app) : app_(app), cpuBegan_(cpuMsOf(app.process(), app.id())) {}
    CpuShare stop() const { return {cpuMsOf(app_.process(), app_.id()) - cpuBegan_, nowMs() - wallBegan_}; }

private:
    const JobProcess& app_;
    double wallBegan_ = nowMs();
    double cpuBegan_;
};

bool enabled(HWND main, int id) { return ::IsWindowEnabled(::GetDlgItem(main, id)) != FALSE; }

// Types the address, clicks Connect and waits until the uninstall buttons are enabled, which
// the program does once adb has answered "connected to". Nothing (cpuMs -1) when it never was.
CpuShare connectOnce(const JobProcess& app, HWND main) {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(::GetDlgItem(main, oz::kIpBoxId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"127.0.0.1"),
                          SMTO_ABORTIFHUNG, 5000, &ignored);
    const Meter meter(app);
    ::PostMessageW(main, WM_COMMAND, MAKEWPARAM(oz::kConnectButtonId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(main, oz::kConnectButtonId)));
    const double giveUp = nowMs() + 30000;
    while (!enabled(main, oz::kRemoveBootAdsButtonId) && nowMs() < giveUp) ::Sleep(20);
    return enabled(main, oz::kRemoveBootAdsButtonId) ? meter.stop() : CpuShare{};
}

struct Run {
    CpuShare idle;
    CpuShare connect;
};

// A fresh program: optionally idle first, then one Connect answered after delayMs.
Run measureFreshProgram(const oz::test::FakeAdbScenario& adb, DWORD delayMs, bool idleFirst) {
    adb.write("server: running\nconnect: delay " + std::to_string(delayMs) + " connected\n");
    const JobProcess app(oz::runDirectory() + L"\\Ozarith.exe");
    HWND main = waitUntilUp(app, true);
    if (!main) return {};
    ::Sleep(settleMs);
    Run run;
    if (idleFirst) {
        const Meter idle(app);
        ::Sleep(idleMs);
        run.idle = idle.stop();
    }
    run.connect = connectOnce(app, main);
    return run;
}

CpuShare medianShare(const std::vector<CpuShare>& shares) {
    std::vector<double> cpu;
    std::vector<double> wall;
    for (const CpuShare& share : shares) {
        cpu.push_back(share.cpuMs);
        wall.push_back(share.wallMs);
    }
    return {median(cpu), median(wall)};
}

}  // namespace

int main() {
    std::printf("CPU time read through %s\n",
                underWine() ? "the system's process list (Wine's GetProcessTimes of another process is the caller's)"
                            : "GetProcessTimes");
    const oz::test::FakeAdbScenario adb(L"cpu bench");
    CpuShare idle;
    std::vector<CpuShare> slow;
    std::vector<CpuShare> instant;
    for (int i = 0; i < runs; ++i) {
        const Run waiting = measureFreshProgram(adb, answerDelayMs, i == 0);
        const Run atOnce = measureFreshProgram(adb, 0, false);
        if (waiting.connect.cpuMs < 0 || atOnce.connect.cpuMs < 0 || waiting.connect.wallMs < answerDelayMs) {
            std::puts("FAILED: Ozarith.exe did not come up or did not connect");
            return 1;
        }
        if (i == 0) idle = waiting.idle;
        slow.push_back(waiting.connect);
        instant.push_back(atOnce.connect);
    }
    const CpuShare slowMedian = medianShare(slow);
    const CpuShare instantMedian = medianShare(instant);
    std::printf("idle with the window open: %.0f ms CPU in %.0f ms, %.3f %% of one core (target about 0)\n",
                idle.cpuMs, idle.wallMs, idle.percent());
    std::printf("Connect answered after %u ms, median of %d: %.0f ms CPU in %.0f ms, %.3f %% of one core "
                "(target <= 1 %%)\n",
                static_cast<unsigned>(answerDelayMs), runs, slowMedian.cpuMs, slowMedian.wallMs,
                slowMedian.percent());
    std::printf("Connect answered at once, median of %d: %.0f ms CPU in %.0f ms\n", runs, instantMedian.cpuMs,
                instantMedian.wallMs);
    printFigure("idle_cpu_ms", idle.cpuMs);
    printFigure("idle_wall_ms", idle.wallMs);
    printFigure("idle_cpu_percent", idle.percent());
    printFigure("wait_cpu_ms", slowMedian.cpuMs);
    printFigure("wait_wall_ms", slowMedian.wallMs);
    printFigure("wait_cpu_percent", slowMedian.percent());
    printFigure("instant_cpu_ms", instantMedian.cpuMs);
    printFigure("instant_wall_ms", instantMedian.wallMs);
    return 0;
}
