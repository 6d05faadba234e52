#include "core/device_rules.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/action_rules.h"

namespace oz {
namespace {

constexpr std::string_view kDefaultPort = ":5555";
constexpr std::string_view kConnectedMarker = "connected to ";
constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kBlankEnds = " \t\r\n";

constexpr std::string_view kRestoreUnknownMarkers[] = {
    "cmd: not found", "cmd: inaccessible or not found", "Can't find service: package",
    "unknown command", "Unknown command", "usage: pm",
};

bool contains(std::string_view text, std::string_view marker) {
    return text.find(marker) != std::string_view::npos;
}

std::string_view trimmed(std::string_view text, std::string_view blanks) {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The code point of a three-byte UTF-8 sequence at pos, or 0 when there is none.
char32_t threeByteCodePoint(std::string_view text, std::size_t pos) {
    if (pos + 2 >= text.size()) return 0;
    const auto b0 = static_cast<std::uint8_t>(text[pos]);
    const auto b1 = static_cast<std::uint8_t>(text[pos + 1]);
    const auto b2 = static_cast<std::uint8_t>(text[pos + 2]);
    if ((b0 & 0xF0) != 0xE0 || (b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80) return 0;
    return static_cast<char32_t>(((b0 & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F));
}

// The ASCII character a wide form stands for, or 0 when it stands for none.
char asciiFor(char32_t codePoint) {
    if (codePoint >= 0xFF01 && codePoint <= 0xFF5E) return static_cast<char>(codePoint - 0xFF01 + 0x21);
    if (codePoint == 0x3002 || codePoint == 0xFF61) return '.';
    if (codePoint == 0x3000) return ' ';
    return 0;
}

std::vector<std::string_view> answerLines(std::string_view answer) {
    std::vector<std::string_view> lines;
    while (!answer.empty()) {
        const std::size_t end = std::min(answer.find('\n'), answer.size());
        lines.push_back(trimmed(answer.substr(0, end), kBlankEnds));
        answer.remove_prefix(std::min(end + 1, answer.size()));
    }
    return lines;
}

bool isUnauthorizedLine(std::string_view line) {
    return line == "unauthorized" || line == "authorizing" || line.starts_with("error: device unauthorized") ||
           line.starts_with("error: device still authorizing");
}

std::string targeted(std::string_view serial, std::string_view rest) {
    // No TV connected yet: adb picks the one device it has, or says it has none or several.
    if (serial.empty()) return "adb " + std::string(rest);
    return "adb -s " + std::string(serial) + " " + std::string(rest);
}

}  // namespace

std::string normaliseAddress(std::string_view typedUtf8) {
    std::string out;
    for (std::size_t pos = 0; pos < typedUtf8.size(); ++pos) {
        const char ascii = asciiFor(threeByteCodePoint(typedUtf8, pos));
        if (ascii == 0) {
            out += typedUtf8[pos];
            continue;
        }
        out += ascii;
        pos += 2;
    }
    return std::string(trimmed(out, kBlanks));
}

std::string connectTarget(std::string_view address) {
    const std::string typed(address);
    if (address.starts_with('[')) return address.ends_with(']') ? typed + std::string(kDefaultPort) : typed;
    const auto colons = std::count(address.begin(), address.end(), ':');
    if (colons == 1) return typed;
    if (colons > 1) return "[" + typed + "]" + std::string(kDefaultPort);
    return typed + std::string(kDefaultPort);
}

std::optional<std::string> connectedSerial(std::string_view answer) {
    for (const std::string_view line : answerLines(answer)) {
        const std::size_t at = line.find(kConnectedMarker);
        if (at == std::string_view::npos) continue;
        const std::string_view serial = line.substr(at + kConnectedMarker.size());
        const bool usable = !serial.empty() && !contains(serial, " ") && isSafeForCommandLine(serial);
        return usable ? std::optional<std::string>(serial) : std::nullopt;
    }
    return std::nullopt;
}

std::string uninstallShellCommand(std::string_view package) { return "pm uninstall --user 0 " + std::string(package); }

std::string restoreShellCommand(std::string_view package, RestoreForm form) {
    const std::string_view tool = form == RestoreForm::cmdPackage ? "cmd package" : "pm";
    return std::string(tool) + " install-existing --user 0 " + std::string(package);
}

std::string uninstallCommand(std::string_view serial, std::string_view package) {
    return targeted(serial, "shell " + uninstallShellCommand(package));
}

std::string getStateCommand(std::string_view serial) { return targeted(serial, "get-state"); }

std::string restoreCommand(std::string_view serial, std::string_view package, RestoreForm form) {
    return targeted(serial, "shell " + restoreShellCommand(package, form));
}

DeviceState deviceState(std::string_view answer) {
    for (const std::string_view line : answerLines(answer)) {
        if (line == "device") return DeviceState::device;
        if (isUnauthorizedLine(line)) return DeviceState::unauthorized;
    }
    return DeviceState::other;
}

bool authenticationFailed(std::string_view answer) { return contains(answer, "failed to authenticate to "); }

std::string restoreLogLine(PackageGroup group, std::string_view answer) {
    const std::string_view prefix = group == PackageGroup::bootAds ? "恢复开机广告 -> " : "恢复系统更新 -> ";
    return std::string(prefix) + std::string(trimmed(answer, kBlankEnds));
}

bool restoreCommandUnknown(std::string_view answer) {
    return std::any_of(std::begin(kRestoreUnknownMarkers), std::end(kRestoreUnknownMarkers),
                       [&](std::string_view marker) { return contains(answer, marker); });
}

}  // namespace oz
