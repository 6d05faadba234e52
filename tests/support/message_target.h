#pragma once
// A message-only window for the tests of message-aware waits.
#include <windows.h>

#include <functional>

#include "runtime/handles_win.h"

namespace oz::test {

// A message-only window of the creating thread that runs onMessage for every WM_APP it gets.
class MessageTarget {
public:
    explicit MessageTarget(std::function<void()> onMessage);
    ~MessageTarget();
    MessageTarget(const MessageTarget&) = delete;
    MessageTarget& operator=(const MessageTarget&) = delete;

    HWND window() const { return window_.get(); }
    int received() const { return received_; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::function<void()> onMessage_;
    int received_ = 0;
    UniqueWindow window_;
};

}  // namespace oz::test
