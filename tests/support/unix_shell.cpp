#include "support/unix_shell.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "runtime/handles_win.h"
#include "runtime/text_win.h"

namespace oz::test {
namespace {

namespace fs = std::filesystem;

using WineUnixName = char*(__cdecl*)(const wchar_t*);
using WineDosName = wchar_t*(__cdecl*)(const char*);

template <typename Function>
Function wineFunction(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name)));
}

// Wine allocates the names it hands back on the process heap.
struct WineStringTraits {
    using Value = void*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value p) noexcept { ::HeapFree(::GetProcessHeap(), 0, p); }
};
using WineString = Owned<WineStringTraits>;

std::optional<std::wstring> dosPathOf(const char* unixPath) {
    const auto dosName = wineFunction<WineDosName>("wine_get_dos_file_name");
    if (dosName == nullptr) return std::nullopt;
    const WineString name(dosName(unixPath));
    if (!name) return std::nullopt;
    return std::wstring(static_cast<const wchar_t*>(name.get()));
}

bool writeFile(const fs::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out.flush());
}

}  // namespace

std::optional<std::string> unixPathOf(const fs::path& path) {
    const auto unixName = wineFunction<WineUnixName>("wine_get_unix_file_name");
    if (unixName == nullptr) return std::nullopt;
    const WineString name(unixName(path.c_str()));
    if (!name) return std::nullopt;
    return std::string(static_cast<const char*>(name.get()));
}

std::string shellQuoted(std::string_view text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool startUnixScript(const fs::path& folder, std::string_view script) {
    static std::atomic<unsigned> serial{0};
    const fs::path file = folder / ("script-" + std::to_string(serial++) + ".sh");
    const std::optional<std::string> unixFolder = unixPathOf(folder);
    const std::optional<std::string> unixFile = unixPathOf(file);
    const std::optional<std::wstring> shell = dosPathOf("/bin/sh");
    if (!unixFolder || !unixFile || !shell) return false;
    const std::string text = "PATH=/usr/bin:/bin; export PATH; cd " + shellQuoted(*unixFolder) + " || exit 1\n" +
                             std::string(script) + "\n";
    if (!writeFile(file, text)) return false;
    std::wstring commandLine = L"sh \"" + fromUtf8(*unixFile) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const bool started = ::CreateProcessW(shell->c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                          nullptr, &startup, &process) != 0;
    // Wine gives no handles for a Unix process; should a later Wine give some, they are let go.
    const UniqueHandle thread(process.hThread);
    const UniqueHandle handle(process.hProcess);
    return started;
}

std::optional<UnixRun> runUnixScript(const fs::path& folder, std::string_view script,
                                     std::chrono::milliseconds timeout) {
    static std::atomic<unsigned> serial{0};
    const std::string name = "run-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(serial++);
    const std::string wrapped = "( " + std::string(script) + "\n) >" + name + ".out 2>&1 </dev/null; echo $? >" +
                                name + ".part && mv " + name + ".part " + name + ".status";
    if (!startUnixScript(folder, wrapped) || !waitForFile(folder / (name + ".status"), timeout)) return std::nullopt;
    UnixRun run;
    run.output = readWholeFile(folder / (name + ".out"));
    std::istringstream(readWholeFile(folder / (name + ".status"))) >> run.exitCode;
    return run;
}

std::string readWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool waitForFile(const fs::path& path, std::chrono::milliseconds timeout) {
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
    for (;;) {
        if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(20);
    }
}

}  // namespace oz::test
