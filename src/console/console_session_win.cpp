#include "console/console_session_win.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <vector>

#include "core/interpreter_environment.h"

#include "runtime/inherited_handles_win.h"
#include "runtime/process_tree_win.h"
#include "runtime/text_win.h"
#include "runtime/waits_win.h"

namespace oz {

namespace {

// Room in each pipe. The interpreter blocks in a write when ours is full, as with CreatePipe.
constexpr DWORD pipeBuffer = 64 * 1024;
// What one read asks for when nothing is waiting yet: any amount the interpreter writes ends it.
constexpr DWORD readChunk = 4096;

std::wstring uniquePipeName() {
    static std::atomic<unsigned> serial{0};
    return L"\\\\.\\pipe\\Ozarith.console." + std::to_wstring(::GetCurrentProcessId()) + L"." +
           std::to_wstring(serial.fetch_add(1)) + L"." + std::to_wstring(::GetTickCount64());
}

// Zero bytes are dropped: no text holds one, and what follows one still counts.
void appendChunk(std::string& into, const std::string& buffer, DWORD count) {
    for (const char c : std::string_view(buffer.data(), count))
        if (c != '\0') into += c;
}

}  // namespace

std::wstring interpreterEnvironmentBlock() {
    std::vector<std::string> entries;
    const UniqueEnvironmentStrings current(::GetEnvironmentStringsW());
    for (const wchar_t* entry = current.get(); entry && *entry; entry += std::wcslen(entry) + 1)
        entries.push_back(toUtf8(entry));
    std::wstring block;
    for (const std::string& entry : interpreterEnvironment(entries)) block += fromUtf8(entry) + L'\0';
    return block + L'\0';
}

namespace {

// Starts commandLine hidden, with stdin and stdout/stderr on the two ends given, which are the
// only handles it inherits: a handle this program inherited or another thread just made must not
// reach adb's server, which outlives everything.
DWORD startHidden(std::wstring_view commandLine, const HANDLE (&theirs)[2], PROCESS_INFORMATION& info) {
    const InheritedHandles inherited(theirs);
    if (!inherited.get()) return ::GetLastError();
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = theirs[0];
    startup.StartupInfo.hStdOutput = theirs[1];
    startup.StartupInfo.hStdError = theirs[1];
    startup.lpAttributeList = inherited.get();
    std::wstring line(commandLine);  // CreateProcessW may write into it
    std::wstring environment = interpreterEnvironmentBlock();
    const DWORD flags = EXTENDED_STARTUPINFO_PRESENT | CREATE_UNICODE_ENVIRONMENT;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, environment.data(), nullptr,
                          &startup.StartupInfo, &info))
        return ::GetLastError();
    return 0;
}

}  // namespace

struct ConsoleSession::Transfer {
    DWORD bytes = 0;
    DWORD error = ERROR_SUCCESS;
    ReadOutcome outcome = ReadOutcome::data;
};

DWORD ConsoleSession::createPipe(PipeEnds& ends, OwnEnd own) {
    const std::wstring name = uniquePipeName();
    const bool ownRead = own == OwnEnd::read;
    const HANDLE ours = ::CreateNamedPipeW(
        name.c_str(), (ownRead ? PIPE_ACCESS_INBOUND : PIPE_ACCESS_OUTBOUND) | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, pipeBuffer, pipeBuffer, 0, nullptr);
    if (ours == INVALID_HANDLE_VALUE) return ::GetLastError();
    UniqueHandle ownEnd(ours);

    // Only the interpreter's end is inheritable. The interpreter is started with inheritance on
    // and passes what it holds on to what it runs (adb, and the adb server that outlives it);
    // were our ends among them, the interpreter's input would never reach its end when we let
    // go, and a stray copy of our read end could take output meant for us.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const DWORD access = ownRead ? GENERIC_WRITE | FILE_READ_ATTRIBUTES : GENERIC_READ | FILE_WRITE_ATTRIBUTES;
    const HANDLE theirs = ::CreateFileW(name.c_str(), access, 0, &inheritable, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (theirs == INVALID_HANDLE_VALUE) return ::GetLastError();
    UniqueHandle theirEnd(theirs);

    ends.readEnd = ownRead ? std::move(ownEnd) : std::move(theirEnd);
    ends.writeEnd = ownRead ? std::move(theirEnd) : std::move(ownEnd);
    return 0;
}

DWORD ConsoleSession::launch(std::wstring_view commandLine, std::shared_ptr<ConsoleSession>& session) {
    PipeEnds input;
    PipeEnds output;
    if (const DWORD error = createPipe(input, OwnEnd::write)) return error;
    if (const DWORD error = createPipe(output, OwnEnd::read)) return error;
    auto fresh = std::make_shared<ConsoleSession>();
    fresh->stopped_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!fresh->stopped_) return ::GetLastError();
    PROCESS_INFORMATION info{};
    const HANDLE theirs[] = {input.readEnd.get(), output.writeEnd.get()};
    if (const DWORD error = startHidden(commandLine, theirs, info)) return error;
    fresh->process_.reset(info.hProcess);
    const UniqueHandle mainThread(info.hThread);  // not needed: closes at once
    // The interpreter's ends close here, when input and output go: from now on only the
    // interpreter and what it starts hold them, so a write fails and a read reports a broken
    // pipe once they have all gone, instead of waiting on a pipe nobody can write to.
    fresh->input_ = std::move(input.writeEnd);
    fresh->output_ = std::move(output.readEnd);
    session = std::move(fresh);
    return 0;
}

bool ConsoleSession::running() const { return ::WaitForSingleObject(process_.get(), 0) != WAIT_OBJECT_0; }

DWORD ConsoleSession::pendingBytes() const {
    DWORD available = 0;
    return ::PeekNamedPipe(output_.get(), nullptr, 0, nullptr, &available, nullptr) ? available : 0;
}

ConsoleSession::Transfer ConsoleSession::transfer(bool reading, void* buffer, DWORD size, DWORD timeoutMs) const {
    Transfer result;
    const UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done) {
        result.error = ::GetLastError();
        return result;
    }
    const HANDLE pipe = reading ? output_.get() : input_.get();
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.get();
    const BOOL started = reading ? ::ReadFile(pipe, buffer, size, nullptr, &overlapped)
                                 : ::WriteFile(pipe, buffer, size, nullptr, &overlapped);
    const DWORD startError = started ? ERROR_SUCCESS : ::GetLastError();
    if (startError != ERROR_SUCCESS && startError != ERROR_IO_PENDING) {
        result.error = startError;
        result.outcome = ReadOutcome::ended;
        return result;
    }
    if (startError == ERROR_IO_PENDING) {
        // The completion comes first: when data and the end arrive together, the data wins.
        const HANDLE watched[] = {done.get(), stopped_.get(), process_.get()};
        const WaitResult woke = waitForAny(watched, timeoutMs);
        if (woke.kind != WaitResult::Kind::signalled || woke.index != 0) {
            result.outcome = woke.kind == WaitResult::Kind::timedOut ? ReadOutcome::timedOut
                             : woke.kind == WaitResult::Kind::signalled && woke.index == 1 ? ReadOutcome::stopped
                                                                                           : ReadOutcome::ended;
            ::CancelIoEx(pipe, &overlapped);
        }
    }
    // Waits for a cancelled transfer to finish; what it moved before the cancel still counts.
    if (!::GetOverlappedResult(pipe, &overlapped, &result.bytes, TRUE)) {
        result.error = ::GetLastError();
        if (result.outcome == ReadOutcome::data) result.outcome = ReadOutcome::ended;
    }
    return result;
}

void ConsoleSession::readWaiting(std::string& into, DWORD limit) const {
    if (limit == 0) return;
    std::string buffer(limit, '\0');
    const Transfer read = transfer(true, buffer.data(), limit, 0);
    appendChunk(into, buffer, read.bytes);
}

void ConsoleSession::drain(std::string& into) const { readWaiting(into, std::max(pendingBytes(), pipeBuffer)); }

ReadOutcome ConsoleSession::readNext(std::string& into, DWORD timeoutMs) const {
    const DWORD size = std::max(pendingBytes(), readChunk);
    std::string buffer(size, '\0');
    const Transfer read = transfer(true, buffer.data(), size, timeoutMs);
    appendChunk(into, buffer, read.bytes);
    return read.bytes > 0 ? ReadOutcome::data : read.outcome;
}

DWORD ConsoleSession::write(std::string_view bytes) const {
    std::string buffer(bytes);
    const Transfer written = transfer(false, buffer.data(), static_cast<DWORD>(buffer.size()), INFINITE);
    if (written.error != ERROR_SUCCESS) return written.error;
    return written.bytes == buffer.size() ? 0 : static_cast<DWORD>(ERROR_WRITE_FAULT);
}

// What the interpreter was running (an adb waiting for a TV, say) goes with it: terminating
// cmd.exe alone would leave its children behind.
bool ConsoleSession::stop() const {
    abandon();
    terminateDescendants(process_.get());
    const bool ended = ::TerminateProcess(process_.get(), 0) != FALSE;
    // A program the interpreter was starting while the first list was taken shows only now.
    ::WaitForSingleObject(process_.get(), 1000);
    terminateDescendants(process_.get());
    return ended;
}

void ConsoleSession::abandon() const { ::SetEvent(stopped_.get()); }

}  // namespace oz
