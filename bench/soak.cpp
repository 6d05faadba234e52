// Reliability soak: many cycles of Connect, both removals and a cleanup through the real
// Ozarith.exe against the fake adb.exe, driven like a person would. Reports the program's
// handle count, private bytes and thread count after a warm-up and at the end, and checks
// that no worker was left waiting: the buttons end in the not-connected state, no box is up,
// and adb received every command of every cycle in order.
// One failure is Wine's, not the program's: cmd.exe now and then cannot start the adb.exe
// beside it (bench/wine_start_failure.h). Such a command is counted and reported, not failed,
// when the log says exactly that, adb.exe is there and the next command works; a Connect it
// hits is clicked again.
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
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/action_rules.h"
#include "runtime/text_win.h"
#include "support/app_driver.h"
#include "wine_start_failure.h"

namespace {

using namespace oz;
using namespace oz::test;
using oz::bench::notStartedCommand;

constexpr int kWarmUpCycles = 5;
constexpr int kReportEvery = 50;
const std::wstring kOnlyOwnInterpreter = L"一共关闭 1 个cmd.exe程序\r\n一共关闭 0 adb.exe程序\r\n";
const std::wstring kConnectFailed = fromUtf8(kConnectFailedMessage);

// One adb command of a cycle: its log line and what the double receives.
struct Command {
    std::wstring logPrefix;
    std::string call;
    std::wstring answer;
    std::string thenCall = {};  // what the program asks next, answered without a log line
};

// A Connect asks the TV's state after adb's answer; the removals go to the connected TV.
const Command kConnect{L"", "connect 127.0.0.1:5555", L"connected to 127.0.0.1:5555", "-s 127.0.0.1:5555 get-state"};
const Command kBootAds[] = {
    {L"删除开机广告 -> ", "-s 127.0.0.1:5555 shell pm uninstall --user 0 com.miui.systemAdSolution", L"Success"},
    {L"删除开机广告 -> ", "-s 127.0.0.1:5555 shell pm uninstall --user 0 com.xiaomi.mitv.advertise", L"Success"},
};
const Command kSystemUpdate[] = {
    {L"删除系统更新 ->", "-s 127.0.0.1:5555 shell pm uninstall --user 0 com.xiaomi.mitv.upgrade", L"Success"}};

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

// Follows the program through the cycles: what its log and the double must hold by now, and the
// commands Wine's cmd.exe could not start.
class Soak {
public:
    explicit Soak(const AppUnderTest& app) : app_(app) {}

    void runCycle(int cycle);
    bool lastCommandLost() const { return lastLost_; }
    void printLostStarts() const;
    bool endsClean() const;

private:
    void connect();
    void removal(int button, std::span<const Command> commands);
    void take(const Command& command);
    std::wstring fresh() const { return app_.logText().substr(std::min(log_.size(), app_.logText().size())); }
    std::size_t freshLines() const;
    void expect(bool reached, const std::string& step) const;

    const AppUnderTest& app_;
    int cycle_ = 0;
    std::wstring log_;
    std::vector<std::string> calls_;
    std::size_t adbStarts_ = 0;
    std::vector<std::string> lost_;
    bool lastLost_ = false;
};

// Says which step failed when its state does not come.
void Soak::expect(bool reached, const std::string& step) const {
    if (reached) return;
    throw std::runtime_error("cycle " + std::to_string(cycle_) + ": " + step + " did not happen\n" + app_.describe());
}

std::size_t Soak::freshLines() const {
    const std::wstring text = fresh();
    std::size_t lines = 0;
    for (std::size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at + 2)) ++lines;
    return lines;
}

// The log's next line is the command's answer, or Wine's cmd.exe saying it cannot start the
// adb.exe that is there, right after a command that worked; anything else ends the soak.
void Soak::take(const Command& command) {
    const std::wstring all = app_.logText();
    expect(all.starts_with(log_), "keeping the earlier log");
    const std::wstring text = fresh();
    const std::wstring line = text.substr(0, text.find(L"\r\n"));
    const std::wstring adbLine = L"adb " + fromUtf8(command.call);
    ++adbStarts_;
    if (line == command.logPrefix + command.answer) {
        calls_.push_back(command.call);
        if (!command.thenCall.empty()) calls_.push_back(command.thenCall);
        lastLost_ = false;
    } else if (!lastLost_ && line.starts_with(command.logPrefix) &&
               notStartedCommand(std::wstring_view(line).substr(command.logPrefix.size())) == adbLine &&
               std::filesystem::exists(app_.folder() / L"adb.exe")) {
        lost_.push_back("cycle " + std::to_string(cycle_) + ": " + toUtf8(adbLine));
        lastLost_ = true;
    } else {
        expect(false, "the answer to `" + toUtf8(adbLine) + "` (the log has `" + toUtf8(line) + "`)");
    }
    log_ += line + L"\r\n";
}

// Connect; clicked again when Wine could not start its adb.exe (the failure box is dismissed).
void Soak::connect() {
    app_.setIp(L"127.0.0.1");
    expect(app_.click(kConnectButtonId), "click on Connect");
    std::optional<MessageBoxSeen> failed;
    expect(waitFor([&] {
               failed = app_.findMessageBox(kConnectFailed);
               return failed || (freshLines() == 1 && app_.isEnabled(kRemoveBootAdsButtonId));
           }),
           "Connect");
    if (failed) {
        app_.pressOk(*failed);
        expect(waitFor([&] { return freshLines() == 1 && app_.isEnabled(kConnectButtonId); }), "the failed Connect's log line");
    }
    take(kConnect);
    expect(app_.adbCalls() == calls_, "every started command reaching adb, in order");
    if (failed) {
        expect(lastLost_, "a Connect that answered and failed");
        connect();
    }
}

void Soak::removal(int button, std::span<const Command> commands) {
    expect(app_.click(button), "a click on button " + std::to_string(button));
    expect(waitFor([&] { return freshLines() == commands.size() && app_.isEnabled(button); }),
           "the removal of button " + std::to_string(button));
    for (const Command& command : commands) take(command);
    expect(app_.adbCalls() == calls_, "every started command reaching adb, in order");
}

void Soak::runCycle(int cycle) {
    cycle_ = cycle;
    connect();
    removal(kRemoveBootAdsButtonId, kBootAds);
    removal(kRemoveSystemUpdateButtonId, kSystemUpdate);
    expect(app_.click(kCloseLeftoversButtonId), "click on close leftovers");
    const auto box = app_.waitForMessageBox(L"一共关闭");
    expect(box.has_value() && box->text == kOnlyOwnInterpreter, "the cleanup summary");
    app_.pressOk(*box);
    expect(waitFor([&] { return app_.isEnabled(kConnectButtonId) && !app_.isEnabled(kRemoveBootAdsButtonId); }),
           "the not-connected state after the cleanup");
}

// scripts/reliability.sh reads this line.
void Soak::printLostStarts() const {
    std::printf("adb starts Wine's cmd.exe failed: %zu of %zu", lost_.size(), adbStarts_);
    for (std::size_t i = 0; i < lost_.size(); ++i) std::printf("%s%s", i ? "; " : " (", lost_[i].c_str());
    std::printf("%s\n", lost_.empty() ? "" : "), each followed by a command that worked");
}

// What the program shows and adb received after all cycles: nothing missing, nothing extra.
bool Soak::endsClean() const {
    const bool buttons = app_.isEnabled(kConnectButtonId) && app_.isEnabled(kCloseLeftoversButtonId) &&
                         !app_.isEnabled(kRemoveBootAdsButtonId) && !app_.isEnabled(kRemoveSystemUpdateButtonId);
    const bool noBox = !app_.findMessageBox().has_value();
    const bool logComplete = app_.logText() == log_;
    const bool callsComplete = app_.adbCalls() == calls_;
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
    Soak run(app);
    const auto began = std::chrono::steady_clock::now();
    Usage start;
    // A last command Wine could not start gets a cycle more, to show that the next one works.
    for (int cycle = 0; cycle < cycles || run.lastCommandLost(); ++cycle) {
        if (cycle == kWarmUpCycles) print("start", cycle, start = usageOf(app), app.logText().size());
        if (cycle > kWarmUpCycles && cycle % kReportEvery == 0) print("", cycle, usageOf(app), app.logText().size());
        run.runCycle(cycle);
    }
    const Usage end = usageOf(app);
    print("end", cycles, end, app.logText().size());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("%d cycles in %.1f s (%.2f s a cycle)\n", cycles, seconds, seconds / cycles);
    std::printf("growth from cycle %d to %d: handles %+.1f %% (%s), private bytes %+.1f %% (%s), threads %+.1f %%\n",
                kWarmUpCycles, cycles, growthPercent(start.handleFigure(), end.handleFigure()),
                start.handles ? "GetProcessHandleCount" : "counted", growthPercent(start.memoryFigure(), end.memoryFigure()),
                start.privateBytes ? "PrivateUsage" : "PagefileUsage", growthPercent(start.threads, end.threads));
    run.printLostStarts();
    return run.endsClean() ? 0 : 1;
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
