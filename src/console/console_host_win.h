#pragma once
// The hidden command interpreter behind two pipes that every device-bridge command goes
// through: start it, send it a line, collect its answer up to the next prompt.
//
// Threads: one thread exchanges commands at a time (the action layer serialises its workers).
// stop() and start() may come from another thread at any moment, e.g. the GUI thread closing
// the window while a worker waits in readOutput(): the wait then ends and no handle is used
// after it was closed, because a read holds its own reference to the interpreter's session.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "console/console_session_win.h"
#include "core/byte_text.h"

namespace oz {

class ConsoleHost {
public:
    // Millisecond counter that bounds readOutputTimed; GetTickCount unless a test says otherwise.
    using TickSource = std::function<std::uint32_t()>;

    // How long a new interpreter may take to show its first prompt.
    static constexpr std::uint32_t kFirstPromptLimitMs = 8000;

    // Nothing is started yet.
    explicit ConsoleHost(TickSource ticks = {});
    ConsoleHost(const ConsoleHost&) = delete;
    ConsoleHost& operator=(const ConsoleHost&) = delete;
    ~ConsoleHost() = default;

    // Forgets the texts and lets go of the interpreter without terminating it (it ends by
    // itself once nobody holds its input any more). The host is then as new.
    void destroy();
    // A host that talks to the same interpreter (shared, not duplicated), with its own texts.
    ConsoleHost clone() const;
    // Starts a new interpreter in the current directory (the system folder's cmd.exe on the NT
    // family, else command.com), replacing the one held before, which ends once its input
    // closes. It runs no AutoRun commands and prompts with its folder and '>' (PROMPT=$P$G),
    // whatever the user has set up. 0 or the system's error code.
    DWORD start();
    static DWORD createPipe(PipeEnds& ends, OwnEnd own);
    // Ends every read in progress and terminates the interpreter. True when the termination
    // succeeded; false also when there was none to stop (so a second stop is harmless).
    bool stop();

    // Writes command and CR LF. While no prompt is known, first takes the last line of what is
    // waiting as the prompt and drops the rest. 0 or the system's error code.
    DWORD sendCommand(std::string_view command);
    // The cleaned answer up to the next prompt, or what came within about one second.
    std::string readOutputTimed();
    // Waits at most limitMs for the interpreter's first prompt; true once it is known.
    bool awaitPrompt(std::uint32_t limitMs);
    // Whether the last read ended at a prompt, rather than by the interpreter's end, a stop or
    // its time limit: an answer cut short.
    bool lastAnswerComplete() const;
    // The cleaned answer up to the next prompt; ends early, with what came, when the
    // interpreter ends, its pipe fails or the host is stopped.
    std::string readOutput();

    // False once the interpreter has ended or was stopped; true before the first start.
    bool isRunning() const;
    static HANDLE stdOutputHandle();
    static HANDLE stdInputHandle();
    static HANDLE stdErrorHandle();
    // SetFilePointer on our read end: origin 3 current, 2 end, else beginning.
    bool seekOutput(int origin, LONG distance);
    DWORD outputPosition() const;
    // Bytes the interpreter has written and nobody has read yet (0 without an interpreter).
    DWORD outputSize() const;
    // Restarts an ended interpreter first. Read mode (change false): the prompt, probed from
    // what is waiting while none is known yet. Set mode: "cd /d " + newDirectory, then the new
    // prompt if it changed, else the interpreter's reply.
    std::string directory(std::string_view newDirectory = {}, bool change = false);
    // Sends a command that changes the folder ("cd /d ...", "pushd ...") and reads up to the
    // prompt it leads to: the new prompt if it changed, else the interpreter's reply.
    std::string moveTo(std::string_view command);

    std::string prompt() const;
    std::string lastCommand() const;

    // When the interpreter has ended: starts a new one and reads its banner up to the first
    // prompt. Called before every exchange.
    void restartIfEnded();

private:
    ConsoleHost(std::shared_ptr<ConsoleSession> session, bool started, std::string prompt, std::string lastCommand,
                TickSource ticks);

    std::shared_ptr<ConsoleSession> session() const;
    void setPrompt(std::string prompt);
    void probePrompt(const ConsoleSession& session);
    std::string collect(std::optional<std::uint32_t> limitMs);

    const LeadBytes rule_;
    const TickSource ticks_;
    mutable std::mutex mutex_;  // guards the members below
    std::shared_ptr<ConsoleSession> session_;
    bool started_ = false;  // a start was tried since construction or destroy
    std::string prompt_;
    std::string lastCommand_;
    bool lastAnswerComplete_ = true;
};

}  // namespace oz
