#pragma once
// A message-only window for the tests of message-aware waits.
#include <windows.h>

#include <functional>

namespace oz::test {

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
