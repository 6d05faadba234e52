#include "runtime/program_win.h"

#include <vector>

namespace oz {
namespace {

// GUI thread only: registered and run there.
std::vector<std::function<void()>>& exitRoutines() {
    static std::vector<std::function<void()>> routines;
    return routines;
}

}  // namespace

void registerExitRoutine(std::function<void()> routine) {
    exitRoutines().push_back(std::move(routine));
}

void runExitRoutines() {
    auto routines = std::move(exitRoutines());
    for (auto& routine : routines) routine();
}

}  // namespace oz
