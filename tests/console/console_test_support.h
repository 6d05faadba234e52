#pragma once
// Helpers for the tests that drive a real cmd.exe through ConsoleHost.
#include <windows.h>

#include <chrono>
#include <functional>
#include <set>
#include <string>

#include "console/console_host_win.h"
#include "support/message_target.h"
#include "support/test_support.h"

namespace oz::test {

using namespace std::chrono_literals;

// Ids of the cmd.exe processes this process has started and that still exist.
std::set<DWORD> childInterpreters();

// Terminates every cmd.exe this process has started and waits until they have gone.
void killChildInterpreters();

// Waits (at most 10 s) until the interpreter has written something and then gone quiet for a
// moment, so that a banner or an answer is in the pipe in full.
void waitForQuietOutput(const ConsoleHost& host);

// Runs work on a thread of its own, meanwhile() on this one, and tells whether work ended within
// limit. When it did not, rescue() must make it end; should even that fail, the program exits,
// since the thread still uses the test's objects.
bool endsWithin(std::chrono::milliseconds limit, const std::function<void()>& work,
                const std::function<void()>& meanwhile, const std::function<void()>& rescue);

}  // namespace oz::test
