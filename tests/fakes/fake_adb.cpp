// adb.exe for tests: answers like the real client talking to a TV, as a scenario says.
//
// Scenario: the file named by OZ_FAKE_ADB_SCENARIO, else adb-scenario.txt next to this exe, else
// the built-in default (everything succeeds). UTF-8, one rule a line, '#' starts a comment line:
//   server: auto | running | starting       start lines once per state folder / never / every run
//   android: new | old | unsupported        which install-existing forms the TV knows
//   attached: SERIAL [STATE], ...           the devices "-s" may name; untargeted needs exactly one
//   defaults: OPTIONS                       options for every answer
//   COMMAND [ARGUMENT | *]: [OPTIONS] REPLY  an exact ARGUMENT beats '*' or none
// Commands, replies and options: README.md. Every command line is appended to OZ_FAKE_ADB_LOG
// (else adb-calls.log next to this exe); the server marker and the time of the first get-state
// live in OZ_FAKE_ADB_STATE (else next to this exe).
#include <windows.h>
#include <shellapi.h>

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "adb_scenario.h"
#include "runtime/handles_win.h"

namespace fs = std::filesystem;
using namespace oz::fakeadb;

namespace {

// Not an exit code the real client uses, so a test sees a broken scenario as such.
constexpr int kScenarioBroken = 99;

std::string utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), size, nullptr, nullptr);
    return out;
}

// From the raw command line, so arguments in any script survive (the narrow argv would not).
std::vector<std::string> arguments() {
    int count = 0;
    const oz::UniqueLocalMemory block(::CommandLineToArgvW(::GetCommandLineW(), &count));
    const auto* argv = static_cast<const LPWSTR*>(block.get());
    std::vector<std::string> out;
    for (int i = 1; argv && i < count; ++i) out.push_back(utf8(argv[i]));
    return out;
}

fs::path exePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size()) return buffer.substr(0, n);
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<fs::path> pathFromEnvironment(const wchar_t* name) {
    std::wstring value(::GetEnvironmentVariableW(name, nullptr, 0), L'\0');
    value.resize(::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
    if (value.empty()) return std::nullopt;
    return fs::path(value);
}

// One open, one write, one close per line: enough for the one adb at a time that cmd.exe runs.
void appendLine(const fs::path& file, const std::string& line) {
    const oz::UniqueFileHandle log(::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::string bytes = line + "\n";
    DWORD written = 0;
    if (log) ::WriteFile(log.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::optional<std::string> readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Straight to the handle, no C run-time buffer: what is written is in the pipe at once.
void write(Stream stream, const std::string& bytes) {
    DWORD written = 0;
    const HANDLE out = ::GetStdHandle(stream == Stream::err ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (!bytes.empty()) ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

struct LoadedScenario {
    Scenario scenario;
    std::string problem;
};

LoadedScenario loadScenario(const fs::path& exeFolder) {
    const std::optional<fs::path> named = pathFromEnvironment(L"OZ_FAKE_ADB_SCENARIO");
    const fs::path file = named.value_or(exeFolder / L"adb-scenario.txt");
    const std::optional<std::string> text = readFile(file);
    if (!text) return {{}, named ? "cannot read scenario " + utf8(file.wstring()) : ""};
    ParsedScenario parsed = parseScenario(*text);
    if (!parsed.error) return {std::move(parsed.scenario), ""};
    return {{}, utf8(file.wstring()) + " line " + std::to_string(parsed.error->line) + ": " + parsed.error->message};
}

// The real client starts its server (and says so on stderr) when none answers on tcp:5037.
void keepServerState(ServerMode mode, const Answer& reply, const fs::path& marker) {
    std::error_code ignored;
    if (reply.stopsServer) fs::remove(marker, ignored);
    if (!reply.startsServer || mode == ServerMode::running) return;
    if (mode == ServerMode::automatic && fs::exists(marker, ignored)) return;
    write(Stream::err, serverStartLines(reply.lineEnd));
    std::ofstream created(marker);
}

std::uint64_t nowMs() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    return ((std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime) / 10000;
}

// Separate runs share the clock through a file: the first get-state writes its time there.
std::uint64_t sinceFirstGetStateMs(const fs::path& file) {
    const std::uint64_t now = nowMs();
    std::uint64_t first = 0;
    const std::optional<std::string> text = readFile(file);
    if (text && std::from_chars(text->data(), text->data() + text->size(), first).ec == std::errc()) {
        return now > first ? now - first : 0;
    }
    std::ofstream(file, std::ios::binary | std::ios::trunc) << now;
    return 0;
}

}  // namespace

int main() {
    const fs::path exe = exePath();
    const fs::path folder = exe.parent_path();
    const std::vector<std::string> args = arguments();
    appendLine(pathFromEnvironment(L"OZ_FAKE_ADB_LOG").value_or(folder / L"adb-calls.log"), joined(args));

    const LoadedScenario loaded = loadScenario(folder);
    if (!loaded.problem.empty()) {
        write(Stream::err, "fake adb: " + loaded.problem + "\n");
        return kScenarioBroken;
    }
    const fs::path state = pathFromEnvironment(L"OZ_FAKE_ADB_STATE").value_or(folder);
    const Request request = classify(args, utf8(exe.wstring()));
    const bool getState = request.command == "get-state";
    const Answer reply =
        answer(loaded.scenario, request, getState ? sinceFirstGetStateMs(state / L"adb-get-state.first") : 0);
    keepServerState(loaded.scenario.server, reply, state / L"adb-server.started");
    ::Sleep(reply.delayMs);
    while (reply.hang) ::Sleep(INFINITE);
    write(reply.stream, reply.bytes);
    return reply.exitCode;
}
