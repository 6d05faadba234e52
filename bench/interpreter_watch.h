#pragma once
// Watches, from outside, a process start its interpreter (a cmd.exe child) and that interpreter
// print its first prompt. The prompt is seen in the parent's own read end of the interpreter's
// output pipe, duplicated and peeked, which leaves the bytes where they are for the parent to read
// later. The interpreter's creation time comes from the system's process list, so the figure is
// the interpreter's own start-up, from its creation to its prompt, whoever created it and however
// busy that process was.
#include <windows.h>

#include "bench_support.h"
#include "runtime/handles_win.h"

namespace oz::bench {

class InterpreterWatch {
public:
    // parent: a handle with PROCESS_DUP_HANDLE access (the current process for itself).
    InterpreterWatch(HANDLE parent, DWORD parentId) : parent_(parent), parentId_(parentId) {}

    // One look; true once the prompt has been seen.
    bool poll() {
        if (promptSeen()) return true;
        if (createdMs_ < 0 && !findInterpreter()) return false;
        if (!endsWithPrompt()) return false;
        promptSystemMs_ = systemNowMs();
        promptMs_ = nowMs();
        return true;
    }

    bool interpreterSeen() const { return createdMs_ >= 0; }
    bool promptSeen() const { return promptMs_ >= 0; }
    // In nowMs's clock: when the interpreter was first seen, and when its prompt was.
    double seenMs() const { return seenMs_; }
    double promptMs() const { return promptMs_; }
    // The interpreter's creation to its prompt.
    double startUpMs() const { return promptSystemMs_ - createdMs_; }

private:
    bool findInterpreter() {
        const DWORD child = childNamed(parentId_, L"cmd.exe");
        if (child == 0) return false;
        const auto times = listedTimes(child);
        if (!times) return false;
        seenMs_ = nowMs();
        createdMs_ = times->createdMs;
        // The pipes were made before the interpreter was started, so they are there now. Each
        // look costs a round trip to the system (Wine's server), so the search stops at the first
        // pipe end that can be peeked: the program's read end (its write end cannot be peeked).
        for (ULONG_PTR value = 4; value <= kLastHandleValue && !pipe_; value += 4) {
            UniqueHandle copy;
            if (!::DuplicateHandle(parent_, reinterpret_cast<HANDLE>(value), ::GetCurrentProcess(), copy.put(), 0, FALSE,
                                   DUPLICATE_SAME_ACCESS))
                continue;
            DWORD available = 0;
            if (::GetFileType(copy.get()) == FILE_TYPE_PIPE &&
                ::PeekNamedPipe(copy.get(), nullptr, 0, nullptr, &available, nullptr))
                pipe_ = std::move(copy);
        }
        return true;
    }

    // Whether what waits in the pipe ends with a prompt ("C:\\folder>").
    bool endsWithPrompt() const {
        char buffer[8192];
        DWORD got = 0;
        DWORD available = 0;
        return pipe_ && ::PeekNamedPipe(pipe_.get(), buffer, sizeof buffer, &got, &available, nullptr) && got > 0 &&
               got == available && buffer[got - 1] == '>';
    }

    // Handle values of a young process are small (the pipe end was under 0x100 when measured).
    static constexpr ULONG_PTR kLastHandleValue = 0x1000;

    HANDLE parent_;
    DWORD parentId_;
    UniqueHandle pipe_;
    double createdMs_ = -1;
    double seenMs_ = -1;
    double promptSystemMs_ = -1;
    double promptMs_ = -1;
};

}  // namespace oz::bench
