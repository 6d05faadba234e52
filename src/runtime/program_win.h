#pragma once
// The program's life around its entry: routines run at program end, in registration order.
#include <functional>

namespace oz {

void registerExitRoutine(std::function<void()> routine);
void runExitRoutines();

}  // namespace oz
