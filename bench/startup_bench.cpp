// Cold start of Ozarith.exe in three figures, each against its own baseline, started in turn in
// one run; medians:
//  (a) window: the main window visible and its thread answering a WM_NULL, against a minimal
//      program that loads the same DLLs the same way (comctl32 v6 through the same manifest,
//      the other imports loaded before its window) and opens one plain window
//      (minimal_window_v6.exe): what is left is the program's own work before its first frame;
//  (b) interpreter: the program's cmd.exe from its creation to its first prompt, against a bare
//      cmd.exe started through a console host's pipes by this program: what running beside the
//      program's start-up costs the interpreter;
//  (c) total, as before: window up and the interpreter created, against a minimal program that
//      opens one plain window (minimal_window.exe) and loads nothing more.
// The interpreter's prompt is seen from outside (interpreter_watch.h); so is everything else.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "console/console_host_win.h"
#include "interpreter_watch.h"
#include "pe_image.h"
#include "runtime/system_info_win.h"

namespace {

using namespace oz::bench;

constexpr int warmUps = 2;
constexpr int runs = 10;
constexpr double giveUpMs = 30000;

struct ProgramStart {
    double windowMs = -1;       // (a): visible and answering, from just before CreateProcessW
    double totalMs = -1;        // (c): that and the interpreter created
    double interpreterMs = -1;  // (b): the interpreter's creation to its prompt
    double readyMs = -1;        // the prompt, from just before CreateProcessW
};

bool late(double startedMs) { return nowMs() - startedMs > giveUpMs; }

// Ozarith.exe, watched until its window is up and its interpreter has printed its prompt.
ProgramStart startProgram(const std::wstring& program) {
    const JobProcess started(program);
    InterpreterWatch interpreter(started.process(), started.id());
    ProgramStart times;
    while (times.windowMs < 0 || !interpreter.promptSeen()) {
        if (!started.started() || started.exited() || late(started.startedMs())) return {};
        if (times.windowMs < 0) {
            HWND window = shownMainWindowOf(started.id());
            if (window && answers(window)) times.windowMs = nowMs() - started.startedMs();
        }
        interpreter.poll();
        if (times.windowMs < 0 || !interpreter.promptSeen()) ::Sleep(1);
    }
    times.totalMs = std::max(times.windowMs, interpreter.seenMs() - started.startedMs());
    times.interpreterMs = interpreter.startUpMs();
    times.readyMs = interpreter.promptMs() - started.startedMs();
    return times;
}

// A minimal program until its window is up; -1 when it never got there.
double startMinimal(const std::wstring& program, const std::wstring& arguments) {
    const JobProcess started(program, arguments);
    if (!waitUntilUp(started, false)) return -1;
    return nowMs() - started.startedMs();
}

// A bare interpreter started by a console host here, from its creation to its prompt.
double startBareInterpreter() {
    oz::ConsoleHost host;
    const double began = nowMs();
    if (host.start() != 0) return -1;
    InterpreterWatch interpreter(::GetCurrentProcess(), ::GetCurrentProcessId());
    while (!interpreter.poll()) {
        if (late(began)) return -1;
        ::Sleep(1);
    }
    host.stop();
    // The next start must not find this one still listed.
    for (int i = 0; i < 500 && childNamed(::GetCurrentProcessId(), L"cmd.exe") != 0; ++i) ::Sleep(10);
    return interpreter.startUpMs();
}

std::wstring importsOf(const std::wstring& program) {
    std::wstring names;
    if (const auto image = readPeImage(program))
        for (const std::string& dll : image->importedDlls) names += std::wstring(dll.begin(), dll.end()) + L" ";
    return names;
}

struct Samples {
    std::vector<double> window, total, interpreter, ready, minimal, minimalWithDlls, bare;
};

// One start of one contender; false when it did not come up.
bool runContender(int which, const std::wstring& bin, const std::wstring& dlls, Samples& into, bool keep) {
    auto add = [&](std::vector<double>& samples, double ms) {
        if (keep) samples.push_back(ms);
        return ms >= 0;
    };
    switch (which) {
    case 0: {
        const ProgramStart started = startProgram(bin + L"\\Ozarith.exe");
        return add(into.window, started.windowMs) && add(into.total, started.totalMs) &&
               add(into.interpreter, started.interpreterMs) && add(into.ready, started.readyMs);
    }
    case 1: return add(into.minimal, startMinimal(bin + L"\\minimal_window.exe", L""));
    case 2: return add(into.minimalWithDlls, startMinimal(bin + L"\\minimal_window_v6.exe", dlls));
    default: return add(into.bare, startBareInterpreter());
    }
}

void report(const Samples& samples) {
    const double window = median(samples.window);
    const double total = median(samples.total);
    const double interpreter = median(samples.interpreter);
    const double minimal = median(samples.minimal);
    const double withDlls = median(samples.minimalWithDlls);
    const double bare = median(samples.bare);
    std::printf("cold start, median of %d runs each, in turn:\n", runs);
    std::printf("  (a) window up %.1f ms / minimal window with the same DLLs and manifest %.1f ms = %.3f (target <= 1.15)\n",
                window, withDlls, window / withDlls);
    std::printf("  (b) interpreter, creation to prompt %.1f ms / bare cmd.exe %.1f ms = %.3f (target <= 1.10)\n",
                interpreter, bare, interpreter / bare);
    std::printf("  (c) window up and interpreter created %.1f ms / minimal window %.1f ms = %.3f (target <= 1.5)\n", total,
                minimal, total / minimal);
    std::printf("  interpreter ready, from the program's start: %.1f ms\n", median(samples.ready));
    printFigure("startup_window_ms", window);
    printFigure("startup_baseline_dlls_ms", withDlls);
    printFigure("startup_window_ratio", window / withDlls);
    printFigure("startup_interpreter_ms", interpreter);
    printFigure("startup_bare_interpreter_ms", bare);
    printFigure("startup_interpreter_ratio", interpreter / bare);
    printFigure("startup_program_ms", total);
    printFigure("startup_baseline_ms", minimal);
    printFigure("startup_ratio", total / minimal);
    printFigure("startup_ready_ms", median(samples.ready));
    printFigure("startup_dlls_ratio", withDlls / minimal);
}

}  // namespace

int main() {
    const std::wstring bin = oz::runDirectory();
    const std::wstring dlls = importsOf(bin + L"\\Ozarith.exe");
    constexpr int contenders = 4;
    Samples samples;
    for (int round = 0; round < warmUps + runs; ++round) {
        // Each round starts with the next one, so that none always follows the same clean-up.
        for (int turn = 0; turn < contenders; ++turn) {
            const int which = (round + turn) % contenders;
            if (!runContender(which, bin, dlls, samples, round >= warmUps)) {
                std::printf("contender %d did not come up\n", which);
                return 1;
            }
        }
    }
    report(samples);
    return 0;
}
