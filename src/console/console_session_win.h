#pragma once
// One hidden interpreter process and the two pipes it talks through.
//
// A session is shared (std::shared_ptr) between the host and whichever thread is reading or
// writing at the moment, so that stop() on the GUI thread never closes a handle that a worker
// is still waiting on: the handles close when the last holder lets go.
//
// Waiting for output is event-driven: our end of each pipe is a named pipe opened for
// overlapped I/O (CreatePipe builds its anonymous pipes the same way, minus the overlapped
// flag), so a read can wait on its completion event together with the process handle and the
// session's stop event, with the thread's messages dispatched meanwhile. Data, the
// interpreter's end and a stop are all noticed at once, and an idle wait costs no CPU. A
// reader thread per session would do the same, but would need its own shutdown and a buffer
// between it and the pipe, which the pending-byte queries would then have to look into.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "runtime/handles_win.h"

namespace oz {

struct PipeEnds {
    UniqueHandle writeEnd;
    UniqueHandle readEnd;
};

// Which end of a new pipe stays with the program; the other one goes to the interpreter.
enum class OwnEnd { read, write };

// How a read ended.
enum class ReadOutcome { data, timedOut, ended, stopped };

// The program's environment with the interpreter's known prompt, as a CreateProcessW block.
std::wstring interpreterEnvironmentBlock();

class ConsoleSession {
public:
    // Fills ends with a new pipe. Our end is overlapped and not inheritable; the interpreter's
    // end is synchronous (the interpreter reads and writes it plainly) and inheritable.
    static DWORD createPipe(PipeEnds& ends, OwnEnd own);

    // Starts commandLine hidden, in the current directory, behind two new pipes. 0 or the
    // system's error code; session is set only on success.
    static DWORD launch(std::wstring_view commandLine, std::shared_ptr<ConsoleSession>& session);

    bool running() const;
    HANDLE outputReadEnd() const { return output_.get(); }

    // Bytes written by the interpreter and not read yet; 0 when that cannot be told.
    DWORD pendingBytes() const;

    // Appends at most limit bytes of what is waiting now, without waiting for more.
    void readWaiting(std::string& into, DWORD limit) const;
    // Appends all that is left in the pipe, without waiting for more; also after the
    // interpreter has gone, when the pipe reports broken once it is empty.
    void drain(std::string& into) const;

    // Appends the next bytes the interpreter writes, waiting at most timeoutMs (INFINITE allowed)
    // for them. Any other outcome than data means no more is to be waited for in this call.
    ReadOutcome readNext(std::string& into, DWORD timeoutMs) const;

    // Writes all of bytes to the interpreter's input. 0 or the system's error code.
    DWORD write(std::string_view bytes) const;

    // Marks the session stopped, which ends every read and write in progress, and terminates
    // the interpreter. True when the termination succeeded.
    bool stop() const;
    // Marks it stopped only: the interpreter is left to end by itself once its input closes.
    void abandon() const;

private:
    struct Transfer;
    Transfer transfer(bool reading, void* buffer, DWORD size, DWORD timeoutMs) const;

    UniqueHandle input_;   // our write end of the interpreter's standard input
    UniqueHandle output_;  // our read end of its standard output and error
    UniqueHandle process_;
    UniqueHandle stopped_;  // manual-reset
};

}  // namespace oz
