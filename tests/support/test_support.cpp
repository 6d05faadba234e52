#include "support/test_support.h"

#include <atomic>
#include <string>
#include <system_error>

#include "runtime/handles_win.h"

namespace oz::test {

namespace fs = std::filesystem;

namespace {

std::optional<std::wstring> environmentValue(const std::wstring& name) {
    const DWORD size = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size == 0) return std::nullopt;
    std::wstring value(size, L'\0');
    value.resize(::GetEnvironmentVariableW(name.c_str(), value.data(), size));
    return value;
}

// Reads only what is there, so a pipe kept open by a grandchild never blocks the caller.
void drain(HANDLE pipe, std::string& out) {
    DWORD available = 0;
    while (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        std::string chunk(available, '\0');
        DWORD read = 0;
        if (!::ReadFile(pipe, chunk.data(), available, &read, nullptr)) return;
        out.append(chunk, 0, read);
    }
}

}  // namespace

TempFolder::TempFolder(std::wstring_view namePart) {
    static std::atomic<unsigned> serial{0};
    const fs::path base = fs::temp_directory_path();
    const std::wstring stem = L"oz-" + std::wstring(namePart) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-";
    do {
        path_ = base / (stem + std::to_wstring(serial++));
    } while (!fs::create_directory(path_));
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

ScopedEnvironment::ScopedEnvironment(std::wstring name, std::optional<std::wstring> value)
    : name_(std::move(name)), previous_(environmentValue(name_)) {
    set(value);
}

ScopedEnvironment::~ScopedEnvironment() { set(previous_); }

void ScopedEnvironment::set(const std::optional<std::wstring>& value) const {
    ::SetEnvironmentVariableW(name_.c_str(), value ? value->c_str() : nullptr);
}

fs::path buildBinDir() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size()) return fs::path(buffer.substr(0, n)).parent_path();
        buffer.resize(buffer.size() * 2);
    }
}

ProgramRun runProgram(const fs::path& program, std::wstring_view arguments, std::chrono::milliseconds timeout,
                      const std::function<bool(const std::string&)>& stopWhen) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    UniqueHandle readEnd;
    UniqueHandle writeEnd;
    ::CreatePipe(readEnd.put(), writeEnd.put(), &inherited, 0);
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    const UniqueFileHandle nul(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                             OPEN_EXISTING, 0, nullptr));

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul.get();
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    std::wstring commandLine = L"\"" + program.wstring() + L"\" " + std::wstring(arguments);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &started)) {
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "CreateProcessW");
    }
    const UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
    writeEnd.reset();  // the child's copy is the only writer left

    ProgramRun run;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        drain(readEnd.get(), run.output);
        if (::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) break;
        if (std::chrono::steady_clock::now() >= deadline || (stopWhen && stopWhen(run.output))) {
            run.killed = true;
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), 10000);
            break;
        }
        ::WaitForSingleObject(process.get(), 10);
    }
    drain(readEnd.get(), run.output);
    ::GetExitCodeProcess(process.get(), &run.exitCode);
    return run;
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::filesystem::path& directory) {
    previous_.resize(::GetCurrentDirectoryW(0, nullptr));
    previous_.resize(::GetCurrentDirectoryW(static_cast<DWORD>(previous_.size()), previous_.data()));
    if (!::SetCurrentDirectoryW(directory.c_str()))
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "SetCurrentDirectoryW");
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() { ::SetCurrentDirectoryW(previous_.c_str()); }

}  // namespace oz::test
