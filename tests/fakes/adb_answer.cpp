// Telling what a command line asks for and composing the answer (declared in adb_scenario.h).
#include <algorithm>

#include "adb_scenario.h"
#include "adb_tables.h"

namespace oz::fakeadb {
namespace {

// The shell lines that have commands of their own: these words, then the package.
struct ShellForm {
    std::string_view command;
    std::string_view words;  // blank-separated
};

constexpr ShellForm kShellForms[] = {
    {"uninstall", "pm uninstall --user 0"},
    {"cmd-install-existing", "cmd package install-existing --user 0"},
    {"pm-install-existing", "pm install-existing --user 0"},
};

// What answers a request: a reply's name, its literal and what {arg} stands for.
struct Choice {
    std::string reply;
    std::string literal;
    std::string argument;
};

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

void compose(const Choice& choice, Answer& out) {
    if (choice.reply == "hang") {
        out.hang = true;
    } else if (choice.reply == "raw") {
        out.bytes = replaced(choice.literal, "{arg}", choice.argument);
    } else if (choice.reply == "text") {
        out.bytes = asLines(replaced(choice.literal, "{arg}", choice.argument), out.lineEnd);
    } else if (const CannedReply* canned = findCanned(choice.reply)) {
        out.bytes = asLines(replaced(canned->text, "{arg}", choice.argument), out.lineEnd);
        out.stream = canned->stream;
        out.exitCode = canned->exitCode;
    }
}

// Whether args, from the second on, are exactly the form's words and then one more.
bool hasShellForm(const std::vector<std::string>& args, std::string_view words) {
    std::size_t at = 1;
    for (std::size_t start = 0; start <= words.size(); ++at) {
        const std::size_t end = std::min(words.find(' ', start), words.size());
        if (at >= args.size() || args[at] != words.substr(start, end - start)) return false;
        start = end + 1;
    }
    return at + 1 == args.size();
}

Request shellRequest(const std::vector<std::string>& args) {
    for (const ShellForm& form : kShellForms) {
        if (hasShellForm(args, form.words)) return {std::string(form.command), args.back(), {}};
    }
    return {"shell", joined(args, 1), {}};
}

// The command line after the global options.
Request commandRequest(const std::vector<std::string>& args, std::string_view exePath) {
    if (args.empty()) return {"help", "", {}};
    const std::string& verb = args.front();
    if (verb == "connect") {
        return args.size() == 2 ? Request{"connect", args[1], {}} : Request{"usage", "adb connect HOST[:PORT]", {}};
    }
    if (verb == "disconnect") return {"disconnect", args.size() > 1 ? joined(args, 1) : "everything", {}};
    if (verb == "shell") return shellRequest(args);
    if (verb == "version") return {"version", std::string(exePath), {}};
    const bool plain = verb == "devices" || verb == "start-server" || verb == "kill-server" || verb == "get-state";
    if (plain) return {verb, joined(args, 1), {}};
    return {"unknown", verb, {}};
}

// The refusal of a command on a device when the declared devices do not give it exactly one.
std::optional<Choice> targetRefusal(const Scenario& scenario, const Request& request) {
    if (!scenario.attached) return std::nullopt;
    const std::vector<Device>& devices = *scenario.attached;
    if (request.serial) {
        const bool known = std::any_of(devices.begin(), devices.end(),
                                       [&](const Device& d) { return d.serial == *request.serial; });
        return known ? std::nullopt : std::optional<Choice>({"not-found", "", *request.serial});
    }
    if (devices.empty()) return Choice{"no-device", "", ""};
    if (devices.size() > 1) return Choice{"more-than-one", "", ""};
    return std::nullopt;
}

std::string devicesListing(const CommandInfo& info, const Scenario& scenario) {
    if (info.name != "devices" || !scenario.attached) return std::string(info.literal);
    std::string listing(info.literal);
    for (const Device& device : *scenario.attached) listing += device.serial + "\t" + device.state + "\n";
    return listing;
}

Choice choose(const Scenario& scenario, const CommandInfo& info, const Rule* rule, const Request& request,
              std::uint64_t sinceFirstGetStateMs) {
    if (!rule) {
        return {std::string(defaultReply(info, scenario.android)), devicesListing(info, scenario), request.argument};
    }
    if (rule->reply != "unauthorized-for") return {rule->reply, rule->literal, request.argument};
    return {sinceFirstGetStateMs < rule->forMs ? "unauthorized" : "device", "", request.argument};
}

}  // namespace

std::string joined(const std::vector<std::string>& args, std::size_t from) {
    std::string out;
    for (std::size_t i = from; i < args.size(); ++i) out.append(i > from ? " " : "").append(args[i]);
    return out;
}

// "-s SERIAL" may come (again and again, the last one counts) before the command; get-state's
// argument is the serial it names, so rules can answer per device.
Request classify(const std::vector<std::string>& args, std::string_view exePath) {
    std::optional<std::string> serial;
    std::size_t at = 0;
    for (; at < args.size() && args[at] == "-s"; at += 2) {
        if (at + 1 == args.size()) return {"error", "-s requires an argument", {}};
        serial = args[at + 1];
    }
    const std::vector<std::string> command(args.begin() + static_cast<std::ptrdiff_t>(at), args.end());
    Request request = commandRequest(command, exePath);
    request.serial = serial;
    if (request.command == "get-state") request.argument = serial.value_or("");
    return request;
}

Answer answer(const Scenario& scenario, const Request& request, std::uint64_t sinceFirstGetStateMs) {
    const CommandInfo* info = findCommand(request.command);
    if (!info) info = findCommand("unknown");
    const std::optional<Choice> refusal = info->onDevice ? targetRefusal(scenario, request) : std::nullopt;
    const Rule* rule = info->ruled && !refusal ? findRule(scenario, request) : nullptr;
    const Options own = rule ? rule->options : Options{};
    const Options& base = scenario.defaults;

    Answer out;
    out.lineEnd = own.crlf.value_or(base.crlf.value_or(false)) ? "\r\n" : "\n";
    out.delayMs = own.delayMs.value_or(base.delayMs.value_or(0));
    out.startsServer = info->startsServer;
    out.stopsServer = request.command == "kill-server";
    compose(refusal ? *refusal : choose(scenario, *info, rule, request, sinceFirstGetStateMs), out);
    if (const auto stream = own.stream ? own.stream : base.stream) out.stream = *stream;
    if (const auto code = own.exitCode ? own.exitCode : base.exitCode) out.exitCode = *code;
    return out;
}

std::string serverStartLines(std::string_view lineEnd) {
    return asLines("* daemon not running; starting now at tcp:5037\n* daemon started successfully", lineEnd);
}

}  // namespace oz::fakeadb
