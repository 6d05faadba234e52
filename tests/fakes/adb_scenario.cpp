#include "adb_scenario.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace oz::fakeadb {
namespace {

struct CannedReply {
    std::string_view name;
    std::string_view text;  // "{arg}" stands for the request's argument; lines end in '\n'
    Stream stream;
    int exitCode;
};

constexpr CannedReply kCanned[] = {
    {"connected", "connected to {arg}", Stream::out, 0},
    {"already", "already connected to {arg}", Stream::out, 0},
    {"capital", "Connected to {arg}", Stream::out, 0},
    {"refused", "failed to connect to '{arg}': Connection refused", Stream::out, 1},
    {"timeout",
     "cannot connect to {arg}: A connection attempt failed because the connected party did not properly "
     "respond after a period of time, or established connection failed because connected host has failed "
     "to respond. (10060)",
     Stream::out, 1},
    {"success", "Success", Stream::out, 0},
    {"not-installed", "Failure [not installed for 0]", Stream::out, 1},
    {"unauthorized",
     "error: device unauthorized.\nThis adb server's $ADB_VENDOR_KEYS is not set\n"
     "Try 'adb kill-server' if that seems wrong.\nOtherwise check for a confirmation dialog on your device.",
     Stream::err, 1},
    {"more-than-one", "error: more than one device/emulator", Stream::err, 1},
    {"offline", "error: device offline", Stream::err, 1},
    {"no-device", "adb: no devices/emulators found", Stream::err, 1},
    {"unknown-command", "adb: unknown command {arg}", Stream::err, 1},
    {"usage", "adb: usage: {arg}", Stream::err, 1},
    {"help",
     "Android Debug Bridge version 1.0.41\n\nusage: adb [-s SERIAL] COMMAND [ARG...]\n"
     " connect HOST[:PORT]      connect to a device via TCP/IP\n"
     " shell COMMAND...         run remote shell command\n"
     " devices                  list connected devices\n"
     " kill-server              kill the server if it is running",
     Stream::out, 1},
};

struct CommandInfo {
    std::string_view name;
    std::string_view reply;    // the answer when no rule names the command
    std::string_view literal;  // for text and raw
    bool startsServer;
    bool ruled;  // scenario rules may answer it
};

constexpr CommandInfo kCommands[] = {
    {"connect", "connected", "", true, true},
    {"disconnect", "text", "disconnected {arg}", true, true},
    {"uninstall", "success", "", true, true},
    {"devices", "text", "List of devices attached\n", true, true},
    {"shell", "raw", "", true, true},
    {"start-server", "raw", "", true, true},
    {"kill-server", "raw", "", false, true},
    {"version", "text", "Android Debug Bridge version 1.0.41\nVersion 35.0.2-fake\nInstalled as {arg}", false,
     true},
    // Command lines the real client refuses; scenarios do not change these.
    {"help", "help", "", false, false},
    {"usage", "usage", "", false, false},
    {"unknown", "unknown-command", "", false, false},
};

constexpr std::string_view kBlanks = " \t";

const CannedReply* findCanned(std::string_view name) {
    const auto it = std::find_if(std::begin(kCanned), std::end(kCanned), [&](auto& c) { return c.name == name; });
    return it == std::end(kCanned) ? nullptr : &*it;
}

const CommandInfo* findCommand(std::string_view name) {
    const auto it = std::find_if(std::begin(kCommands), std::end(kCommands), [&](auto& c) { return c.name == name; });
    return it == std::end(kCommands) ? nullptr : &*it;
}

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

// Takes the next word off the front; rest keeps what follows it, starting with its blank.
std::string_view nextWord(std::string_view& rest) {
    const auto start = rest.find_first_not_of(kBlanks);
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(start);
    const auto end = std::min(rest.find_first_of(kBlanks), rest.size());
    const std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end);
    return word;
}

template <typename Number>
std::optional<Number> number(std::string_view word) {
    Number value{};
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
    return value;
}

// \n, \r, \t and \\ are resolved; any other backslash stays as written (Windows paths).
std::string unescape(std::string_view text) {
    constexpr std::string_view escapes = "nrt\\";
    constexpr std::string_view meanings = "\n\r\t\\";
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool escaped = text[i] == '\\' && i + 1 < text.size();
        const std::size_t known = escaped ? escapes.find(text[i + 1]) : std::string_view::npos;
        if (known == std::string_view::npos) {
            out += text[i];
            continue;
        }
        out += meanings[known];
        ++i;
    }
    return out;
}

// nullopt: word is no option. "": taken. Otherwise what is wrong with it.
std::optional<std::string> takeOption(std::string_view word, std::string_view& rest, Options& options) {
    if (word == "stdout" || word == "stderr") {
        options.stream = word == "stdout" ? Stream::out : Stream::err;
    } else if (word == "lf" || word == "crlf") {
        options.crlf = word == "crlf";
    } else if (word == "delay") {
        options.delayMs = number<unsigned>(nextWord(rest));
        if (!options.delayMs) return "delay needs milliseconds";
    } else if (word == "exit") {
        options.exitCode = number<int>(nextWord(rest));
        if (!options.exitCode) return "exit needs a number";
    } else {
        return std::nullopt;
    }
    return "";
}

std::string takeReply(std::string_view body, Rule& rule) {
    for (;;) {
        const std::string_view word = nextWord(body);
        if (word.empty()) return "the reply is missing";
        const auto option = takeOption(word, body, rule.options);
        if (option && !option->empty()) return *option;
        if (option) continue;
        rule.reply = word;
        if (word == "text" || word == "raw") {
            if (!body.empty()) body.remove_prefix(1);
            rule.literal = unescape(body);
            return "";
        }
        if (word != "hang" && !findCanned(word)) return "unknown reply '" + std::string(word) + "'";
        return trim(body).empty() ? "" : "text after the reply '" + std::string(word) + "'";
    }
}

std::string takeDefaults(std::string_view body, Options& defaults) {
    for (std::string_view word = nextWord(body); !word.empty(); word = nextWord(body)) {
        const auto option = takeOption(word, body, defaults);
        if (!option) return "unknown option '" + std::string(word) + "'";
        if (!option->empty()) return *option;
    }
    return "";
}

std::string takeServer(std::string_view body, ServerMode& mode) {
    const std::string_view word = trim(body);
    if (word == "auto") mode = ServerMode::automatic;
    else if (word == "running") mode = ServerMode::running;
    else if (word == "starting") mode = ServerMode::starting;
    else return "server is auto, running or starting";
    return "";
}

std::string takeRule(std::string_view command, std::string_view selector, std::string_view body,
                     Scenario& scenario) {
    const CommandInfo* info = findCommand(command);
    if (!info || !info->ruled) return "unknown command '" + std::string(command) + "'";
    Rule rule{std::string(command), std::string(selector == "*" ? "" : selector), {}, {}, {}};
    const bool repeated = std::any_of(scenario.rules.begin(), scenario.rules.end(), [&](const Rule& r) {
        return r.command == rule.command && r.selector == rule.selector;
    });
    if (repeated) return "a second rule for the same command and argument";
    std::string error = takeReply(body, rule);
    if (error.empty()) scenario.rules.push_back(std::move(rule));
    return error;
}

// The key ends at the first colon followed by a blank or the line end, so "H:5555: refused" works.
std::size_t keyEnd(std::string_view line) {
    for (auto colon = line.find(':'); colon != std::string_view::npos; colon = line.find(':', colon + 1)) {
        if (colon + 1 == line.size() || kBlanks.find(line[colon + 1]) != std::string_view::npos) return colon;
    }
    return std::string_view::npos;
}

std::string takeLine(std::string_view line, Scenario& scenario) {
    const std::size_t colon = keyEnd(line);
    if (colon == std::string_view::npos) return "expected 'command [argument]: reply'";
    std::string_view key = line.substr(0, colon);
    const std::string_view body = line.substr(colon + 1);
    const std::string_view command = nextWord(key);
    const std::string_view selector = trim(key);
    if (command == "server" && selector.empty()) return takeServer(body, scenario.server);
    if (command == "defaults" && selector.empty()) return takeDefaults(body, scenario.defaults);
    return takeRule(command, selector, body, scenario);
}

const Rule* findRule(const Scenario& scenario, const Request& request) {
    const Rule* any = nullptr;
    for (const Rule& rule : scenario.rules) {
        if (rule.command != request.command) continue;
        if (rule.selector == request.argument) return &rule;
        if (rule.selector.empty()) any = &rule;
    }
    return any;
}

std::string replaced(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    for (auto at = text.find(from); at != std::string_view::npos; at = text.find(from)) {
        out.append(text.substr(0, at)).append(to);
        text.remove_prefix(at + from.size());
    }
    return out.append(text);
}

std::string asLines(std::string_view text, std::string_view lineEnd) {
    return replaced(text, "\n", lineEnd).append(lineEnd);
}

void compose(std::string_view reply, std::string_view literal, const std::string& argument, Answer& out) {
    if (reply == "hang") {
        out.hang = true;
    } else if (reply == "raw") {
        out.bytes = replaced(literal, "{arg}", argument);
    } else if (reply == "text") {
        out.bytes = asLines(replaced(literal, "{arg}", argument), out.lineEnd);
    } else if (const CannedReply* canned = findCanned(reply)) {
        out.bytes = asLines(replaced(canned->text, "{arg}", argument), out.lineEnd);
        out.stream = canned->stream;
        out.exitCode = canned->exitCode;
    }
}

Request shellRequest(const std::vector<std::string>& args) {
    const std::vector<std::string> uninstall{"shell", "pm", "uninstall", "--user", "0"};
    if (args.size() == uninstall.size() + 1 && std::equal(uninstall.begin(), uninstall.end(), args.begin())) {
        return {"uninstall", args.back()};
    }
    return {"shell", joined(args, 1)};
}

}  // namespace

std::string joined(const std::vector<std::string>& args, std::size_t from) {
    std::string out;
    for (std::size_t i = from; i < args.size(); ++i) out.append(i > from ? " " : "").append(args[i]);
    return out;
}

ParsedScenario parseScenario(std::string_view text) {
    ParsedScenario parsed;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // Notepad's UTF-8 mark
    for (std::size_t number = 1; !text.empty(); ++number) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (trim(line).empty() || trim(line).front() == '#') continue;
        std::string error = takeLine(line, parsed.scenario);
        if (!error.empty()) {
            parsed.error = ScenarioError{number, std::move(error)};
            break;
        }
    }
    return parsed;
}

Request classify(const std::vector<std::string>& args, std::string_view exePath) {
    if (args.empty()) return {"help", ""};
    const std::string& verb = args.front();
    if (verb == "connect") {
        return args.size() == 2 ? Request{"connect", args[1]} : Request{"usage", "adb connect HOST[:PORT]"};
    }
    if (verb == "disconnect") return {"disconnect", args.size() > 1 ? joined(args, 1) : "everything"};
    if (verb == "shell") return shellRequest(args);
    if (verb == "version") return {"version", std::string(exePath)};
    if (verb == "devices" || verb == "start-server" || verb == "kill-server") return {verb, joined(args, 1)};
    return {"unknown", verb};
}

Answer answer(const Scenario& scenario, const Request& request) {
    const CommandInfo* info = findCommand(request.command);
    if (!info) info = findCommand("unknown");
    const Rule* rule = info->ruled ? findRule(scenario, request) : nullptr;
    const Options own = rule ? rule->options : Options{};
    const Options& base = scenario.defaults;

    Answer out;
    out.lineEnd = own.crlf.value_or(base.crlf.value_or(false)) ? "\r\n" : "\n";
    out.delayMs = own.delayMs.value_or(base.delayMs.value_or(0));
    out.startsServer = info->startsServer;
    out.stopsServer = request.command == "kill-server";
    compose(rule ? std::string_view(rule->reply) : info->reply, rule ? std::string_view(rule->literal) : info->literal,
            request.argument, out);
    if (const auto stream = own.stream ? own.stream : base.stream) out.stream = *stream;
    if (const auto code = own.exitCode ? own.exitCode : base.exitCode) out.exitCode = *code;
    return out;
}

std::string serverStartLines(std::string_view lineEnd) {
    return asLines("* daemon not running; starting now at tcp:5037\n* daemon started successfully", lineEnd);
}

}  // namespace oz::fakeadb
