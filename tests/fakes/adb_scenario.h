#pragma once
// The fake adb's brain without the platform: reading a scenario, telling what a command line
// asks for, and composing the answer. fake_adb.cpp does the Win32 side around it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oz::fakeadb {

enum class Stream { out, err };

// auto: the start lines once per state folder; running: never; starting: on every run.
enum class ServerMode { automatic, running, starting };

// Settings a rule or the defaults line may give; unset ones fall through to the next level.
struct Options {
    std::optional<unsigned> delayMs;
    std::optional<Stream> stream;
    std::optional<bool> crlf;
    std::optional<int> exitCode;
};

struct Rule {
    std::string command;   // connect, uninstall, devices, ...
    std::string selector;  // the argument it answers; empty answers every argument
    Options options;
    std::string reply;     // a canned reply's name, "text", "raw", "hang" or "unauthorized-for"
    std::string literal;   // for text and raw, escapes already resolved
    unsigned forMs = 0;    // for unauthorized-for
};

// What the TV's Android knows of install-existing: both forms, only pm's, or neither.
enum class Android { modern, old, unsupported };

struct Device {
    std::string serial;
    std::string state;  // as "devices" lists it
};

struct Scenario {
    ServerMode server = ServerMode::automatic;
    Options defaults;
    std::vector<Rule> rules;
    Android android = Android::modern;
    // Declared devices: commands on a device then need exactly one, or -s naming one of them.
    // Without the declaration any -s is taken and untargeted commands find their device.
    std::optional<std::vector<Device>> attached;
};

struct ScenarioError {
    std::size_t line = 0;  // 1-based
    std::string message;
};

struct ParsedScenario {
    Scenario scenario;
    std::optional<ScenarioError> error;
};

ParsedScenario parseScenario(std::string_view text);

// What a command line asks for: a command name from the table in adb_scenario.cpp and its
// argument (the connect target, the package, ...).
struct Request {
    std::string command;
    std::string argument;
    std::optional<std::string> serial;  // from the global option -s
};

// args: the arguments after the program name, UTF-8. exePath fills "Installed as" of version.
Request classify(const std::vector<std::string>& args, std::string_view exePath);

// The arguments from index `from` on, joined by single blanks (as the command log records them).
std::string joined(const std::vector<std::string>& args, std::size_t from = 0);

struct Answer {
    std::string bytes;
    Stream stream = Stream::out;
    int exitCode = 0;
    unsigned delayMs = 0;
    bool hang = false;
    bool startsServer = false;  // the real client makes sure its server runs first
    bool stopsServer = false;
    std::string lineEnd;
};

// sinceFirstGetStateMs: how long ago this state folder saw its first get-state (unauthorized-for).
Answer answer(const Scenario& scenario, const Request& request, std::uint64_t sinceFirstGetStateMs = 0);

// What the client writes (to stderr) when it had to start its server.
std::string serverStartLines(std::string_view lineEnd);

}  // namespace oz::fakeadb
