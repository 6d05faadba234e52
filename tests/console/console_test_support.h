#pragma once
// Helpers for the tests that drive a real cmd.exe through ConsoleHost.
#include <windows.h>

#include <chrono>
#include <functional>
#include <set>
#include <string>

#include "console/console_host_win.h"
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

// A message-only window of the creating thread that runs onMessage for every WM_APP it gets.
class MessageTarget {
public:
    explicit MessageTarget(std::function<void()> onMessage);
    ~MessageTarget();
    MessageTarget(const MessageTarget&) = delete;
    MessageTarget& operator=(const MessageTarget&) = delete;

    HWND window() const { return window_; }
    int received() const { return received_; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::function<void()> onMessage_;
    int received_ = 0;
    HWND window_ = nullptr;
};

}  // namespace oz::test
