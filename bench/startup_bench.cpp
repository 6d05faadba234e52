// Cold start of Ozarith.exe against a minimal Win32 program that opens one plain window
// (minimal_window.exe), started in turn in one run; medians; target ratio <= 1.5.
// A third contender, the same minimal program loading Ozarith.exe's imported DLLs before its
// window, splits the difference into the DLLs' loading and the program's own start-up work.
//
// A start ends, seen from outside, when the program's main window is visible and its thread
// answers a WM_NULL; for Ozarith.exe also when its interpreter (a cmd.exe whose parent is the
// program) is in the process list. The program reads the interpreter's first prompt only at the
// first Connect, so the interpreter's own start-up runs beside it and is not part of the figure.
#include <windows.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "pe_image.h"
#include "runtime/system_info_win.h"

namespace {

using namespace oz::bench;

constexpr int warmUps = 2;
constexpr int runs = 10;

struct Contender {
    const char* name;
    std::wstring program;
    std::wstring arguments;
    bool startsInterpreter;
    std::vector<double> times;
};

// Milliseconds from just before process creation to up; -1 when it never got there.
double startUpMs(const Contender& contender) {
    const JobProcess started(contender.program, contender.arguments);
    if (!waitUntilUp(started, contender.startsInterpreter)) return -1;
    return nowMs() - started.startedMs();
}

std::wstring importsOf(const std::wstring& program) {
    std::wstring names;
    if (const auto image = readPeImage(program))
        for (const std::string& dll : image->importedDlls) names += std::wstring(dll.begin(), dll.end()) + L" ";
    return names;
}

}  // namespace

int main() {
    const std::wstring bin = oz::runDirectory();
    const std::wstring program = bin + L"\\Ozarith.exe";
    const std::wstring minimal = bin + L"\\minimal_window.exe";
    std::array<Contender, 3> contenders{{{"Ozarith.exe", program, L"", true, {}},
                                         {"minimal window", minimal, L"", false, {}},
                                         {"minimal window + Ozarith.exe's DLLs", minimal, importsOf(program), false, {}}}};
    for (int round = 0; round < warmUps + runs; ++round) {
        // Each round starts with the next one, so that none always follows the same clean-up.
        for (std::size_t turn = 0; turn < contenders.size(); ++turn) {
            Contender& contender = contenders[(round + turn) % contenders.size()];
            const double took = startUpMs(contender);
            if (took < 0) {
                std::printf("%s did not come up\n", contender.name);
                return 1;
            }
            if (round >= warmUps) contender.times.push_back(took);
        }
    }
    const double programMs = median(contenders[0].times);
    const double minimalMs = median(contenders[1].times);
    const double withDllsMs = median(contenders[2].times);
    std::printf("cold start, median of %d runs each, in turn:\n", runs);
    for (const Contender& contender : contenders)
        std::printf("  %-38s %7.1f ms\n", contender.name, median(contender.times));
    std::printf("  ratio Ozarith.exe / minimal window: %.3f (target <= 1.5)\n", programMs / minimalMs);
    std::printf("  of which the DLLs alone: %.3f; Ozarith.exe / minimal window with its DLLs: %.3f\n",
                withDllsMs / minimalMs, programMs / withDllsMs);
    printFigure("startup_program_ms", programMs);
    printFigure("startup_baseline_ms", minimalMs);
    printFigure("startup_baseline_dlls_ms", withDllsMs);
    printFigure("startup_ratio", programMs / minimalMs);
    printFigure("startup_dlls_ratio", withDllsMs / minimalMs);
    printFigure("startup_own_ratio", programMs / withDllsMs);
    return 0;
}
