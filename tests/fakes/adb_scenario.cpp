#include "adb_scenario.h"

#include <algorithm>
#include <charconv>

#include "adb_tables.h"

namespace oz::fakeadb {
namespace {

constexpr std::string_view kBlanks = " \t";

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

// \n, \r, \t, \\ and \0 (a zero byte) are resolved; any other backslash stays as written (Windows paths).
std::string unescape(std::string_view text) {
    constexpr std::string_view escapes = "nrt\\0";
    constexpr std::string_view meanings("\n\r\t\\\0", 5);
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

// The reply named by word and what follows it on the line.
std::string takeReplyWord(std::string_view word, std::string_view body, Rule& rule) {
    rule.reply = word;
    if (word == "text" || word == "raw") {
        if (!body.empty()) body.remove_prefix(1);
        rule.literal = unescape(body);
        return "";
    }
    if (word == "unauthorized-for") {
        const auto ms = number<unsigned>(nextWord(body));
        if (!ms) return "unauthorized-for needs milliseconds";
        rule.forMs = *ms;
    } else if (word != "hang" && !findCanned(word)) {
        return "unknown reply '" + std::string(word) + "'";
    }
    return trim(body).empty() ? "" : "text after the reply '" + std::string(word) + "'";
}

std::string takeReply(std::string_view body, Rule& rule) {
    for (;;) {
        const std::string_view word = nextWord(body);
        if (word.empty()) return "the reply is missing";
        const auto option = takeOption(word, body, rule.options);
        if (option && !option->empty()) return *option;
        if (!option) return takeReplyWord(word, body, rule);
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

template <typename Value>
struct Choice {
    std::string_view word;
    Value value;
};

// One word out of a fixed few; error says which they are.
template <typename Value, std::size_t count>
std::string takeChoice(std::string_view body, const Choice<Value> (&choices)[count], Value& target,
                       std::string_view error) {
    const std::string_view word = trim(body);
    for (const Choice<Value>& choice : choices) {
        if (choice.word != word) continue;
        target = choice.value;
        return "";
    }
    return std::string(error);
}

constexpr Choice<ServerMode> kServerModes[] = {
    {"auto", ServerMode::automatic}, {"running", ServerMode::running}, {"starting", ServerMode::starting}};
constexpr Choice<Android> kAndroids[] = {
    {"new", Android::modern}, {"old", Android::old}, {"unsupported", Android::unsupported}};

// "SERIAL [STATE], ..." (STATE defaults to device); nothing at all declares no device.
std::string takeAttached(std::string_view body, Scenario& scenario) {
    if (scenario.attached) return "a second attached line";
    std::vector<Device> devices;
    while (!trim(body).empty()) {
        const std::size_t comma = std::min(body.find(','), body.size());
        std::string_view entry = body.substr(0, comma);
        body.remove_prefix(std::min(comma + 1, body.size()));
        const std::string_view serial = nextWord(entry);
        const std::string_view state = nextWord(entry);
        if (serial.empty() || !trim(entry).empty()) return "attached is 'SERIAL [STATE], ...'";
        devices.push_back({std::string(serial), state.empty() ? "device" : std::string(state)});
    }
    scenario.attached = std::move(devices);
    return "";
}

std::string takeRule(std::string_view command, std::string_view selector, std::string_view body,
                     Scenario& scenario) {
    const CommandInfo* info = findCommand(command);
    if (!info || !info->ruled) return "unknown command '" + std::string(command) + "'";
    Rule rule{std::string(command), std::string(selector == "*" ? "" : selector), {}, {}, {}, 0};
    const bool repeated = std::any_of(scenario.rules.begin(), scenario.rules.end(), [&](const Rule& r) {
        return r.command == rule.command && r.selector == rule.selector;
    });
    if (repeated) return "a second rule for the same command and argument";
    std::string error = takeReply(body, rule);
    if (error.empty() && rule.reply == "unauthorized-for" && command != "get-state") {
        error = "unauthorized-for answers get-state only";
    }
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
    if (command == "server" && selector.empty()) {
        return takeChoice(body, kServerModes, scenario.server, "server is auto, running or starting");
    }
    if (command == "android" && selector.empty()) {
        return takeChoice(body, kAndroids, scenario.android, "android is new, old or unsupported");
    }
    if (command == "attached" && selector.empty()) return takeAttached(body, scenario);
    if (command == "defaults" && selector.empty()) return takeDefaults(body, scenario.defaults);
    return takeRule(command, selector, body, scenario);
}

}  // namespace

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

}  // namespace oz::fakeadb
