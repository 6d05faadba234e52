#include "core/action_rules.h"

#include <cstdint>
#include <limits>

#include "core/device_rules.h"

namespace oz {
namespace {

constexpr std::string_view kConnectedMarker = "connected to";
constexpr std::string_view kNotInstalledMarker = "not installed for 0";
constexpr std::string_view kBootAdsPrefix = "删除开机广告 -> ";
constexpr std::string_view kSystemUpdatePrefix = "删除系统更新 ->";
constexpr std::string_view kBootAdsFailed = "删除开机广告 -> 删除失败,该服务未安装,有可能已经删除了";
constexpr std::string_view kSystemUpdateFailed = "删除系统更新 -> 删除失败,该服务未安装,有可能已经删除了";
constexpr std::string_view kCommandMetacharacters = "&|<>^%\"";

bool contains(std::string_view text, std::string_view marker) {
    return text.find(marker) != std::string_view::npos;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isUnsafeByte(char c) {
    const auto byte = static_cast<std::uint8_t>(c);
    return byte < 0x20 || byte == 0x7F || kCommandMetacharacters.find(c) != std::string_view::npos;
}

std::string summaryLine(int count, std::string_view ending) {
    return "一共关闭 " + std::to_string(count) + std::string(ending);
}

}  // namespace

int actionCodeFromTag(std::string_view tag) {
    std::size_t pos = tag.find_first_not_of(" \t");
    if (pos == std::string_view::npos) return 0;
    const bool negative = tag[pos] == '-';
    if (tag[pos] == '-' || tag[pos] == '+') ++pos;
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<int>::max()} + 1;
    for (; pos < tag.size() && isDigit(tag[pos]); ++pos) {
        value = value * 10 + (tag[pos] - '0');
        if (value > kLimit) return 0;
    }
    const std::int64_t signedValue = negative ? -value : value;
    if (signedValue > std::numeric_limits<int>::max()) return 0;
    return static_cast<int>(signedValue);
}

std::string connectCommand(std::string_view ip) { return "adb connect " + connectTarget(ip); }

bool connectSucceeded(std::string_view answer) { return contains(answer, kConnectedMarker); }

std::string bootAdsLogLine(std::string_view answer, bool secondPackage) {
    std::string line = std::string(kBootAdsPrefix) + std::string(answer);
    if (!contains(line, kNotInstalledMarker)) return line;
    line = kBootAdsFailed;
    if (secondPackage) line += kCrLf;
    return line;
}

std::string systemUpdateLogLine(std::string_view answer) {
    std::string line = std::string(kSystemUpdatePrefix) + std::string(answer);
    return contains(line, kNotInstalledMarker) ? std::string(kSystemUpdateFailed) : line;
}

std::string interruptedAnswer(std::string_view partial) {
    if (partial.empty()) return std::string(kInterruptedLine);
    return std::string(partial) + std::string(kCrLf) + std::string(kInterruptedLine);
}

std::string cleanupSummary(int cmdCount, int adbCount) {
    return summaryLine(cmdCount, " 个cmd.exe程序\r\n") + summaryLine(adbCount, " adb.exe程序\r\n");
}

bool isSafeForCommandLine(std::string_view ipUtf8) {
    for (const char c : ipUtf8) {
        if (isUnsafeByte(c)) return false;
    }
    return true;
}

std::string changeDirectoryArgument(std::string_view directory) {
    std::string quoted = "\"";
    for (const char c : directory) {
        quoted += c;
        if (c == '%') quoted += "\"\"";
    }
    return quoted + '"';
}

std::string moveToFolderCommand(std::string_view directory) {
    const bool onShare = directory.starts_with("\\\\");
    return (onShare ? "pushd " : "cd /d ") + changeDirectoryArgument(directory);
}

bool promptShowsDirectory(std::string_view prompt, std::string_view directory) {
    return prompt.size() == directory.size() + 1 && prompt.starts_with(directory) && prompt.back() == '>';
}

std::string logTextFromAnswer(std::string_view answer, const LeadBytes& rule) {
    return trimBlankLines(normaliseLineEnds(answer), rule);
}

}  // namespace oz
