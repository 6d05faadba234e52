#pragma once
// What the action buttons send to the interpreter and how their answers become log lines and
// messages. Texts shown to the user are UTF-8 here; the Windows side turns them into UTF-16.
// Answers passed in are UTF-8 as well (decoded from the interpreter's code page beforehand);
// the markers are ASCII, so a plain byte search finds them exactly.
#include <string>
#include <string_view>

#include "core/byte_text.h"

namespace oz {

// The value each action button carries, as decimal text, in its tag.
enum ActionCode : int {
    ACTION_CONNECT = 1,
    ACTION_REMOVE_BOOT_ADS = 2,
    ACTION_REMOVE_SYSTEM_UPDATE = 4,
    ACTION_CLOSE_LEFTOVERS = 8,
    // From the removal buttons' menus: bring the packages back.
    ACTION_RESTORE_BOOT_ADS = 16,
    ACTION_RESTORE_SYSTEM_UPDATE = 32,
};

// Decimal text to integer: leading blanks skipped, an optional sign, then digits up to the first
// non-digit. No digits, or a value outside 32 bits, gives 0 (no action).
int actionCodeFromTag(std::string_view tag);

// "adb connect " and connectTarget(ip): ":5555" added unless the address names its port.
std::string connectCommand(std::string_view ip);
// Whether adb's answer reports a connection ("connected to", exact bytes, "already connected to" included).
bool connectSucceeded(std::string_view answer);

inline constexpr std::string_view kUninstallSystemAdSolution =
    "adb shell pm uninstall --user 0 com.miui.systemAdSolution";
inline constexpr std::string_view kUninstallMitvAdvertise = "adb shell pm uninstall --user 0 com.xiaomi.mitv.advertise";
inline constexpr std::string_view kUninstallMitvUpgrade = "adb shell pm uninstall --user 0 com.xiaomi.mitv.upgrade";

// Log line (without the CR LF every append adds) for a boot-ads uninstall answer. The line after
// the second package's failure ends in CR LF, so the log shows an empty line below it.
std::string bootAdsLogLine(std::string_view answer, bool secondPackage);
// Log line for the system-update uninstall answer; the answer follows "->" with no blank.
std::string systemUpdateLogLine(std::string_view answer);

inline constexpr std::string_view kConnectFailedMessage = "连接失败,请检查是否在同一个局域网内";

// An answer cut short by a cleanup, a close or an interpreter that ended: what came, then a line
// that says it never finished.
std::string interruptedAnswer(std::string_view partial);
inline constexpr std::string_view kInterruptedLine = "(命令被中断,没有完成)";
// Logged when a new interpreter shows no prompt in time; the action ends and the buttons stay usable.
inline constexpr std::string_view kNoPromptLogLine = "命令行程序没有响应,本次操作未执行。请点击“关闭遗留程序”后重试";

// Logged once, at the first Connect without an adb.exe beside the program or on the search path.
inline constexpr std::string_view kDirectPathLogLine = "没有找到 adb.exe,直接连接电视(内置 adb 协议)";

// The process names the cleanup terminates, compared exactly (case-sensitive).
inline constexpr std::string_view kInterpreterExeName = "cmd.exe";
inline constexpr std::string_view kBridgeExeName = "adb.exe";
// The cleanup's message box text: two lines, each ending in CR LF.
std::string cleanupSummary(int cmdCount, int adbCount);

// Whether the typed IP can go into a command line as it is: no control characters (CR and LF
// would end the line and start another command) and none of cmd.exe's metacharacters & | < > ^ % ".
// Anything else, an empty box included, passes and simply fails to connect.
bool isSafeForCommandLine(std::string_view ipUtf8);
inline constexpr std::string_view kUnsafeIpMessage = "IP地址含有不允许的字符,请只输入IP地址,例如 192.168.1.100";

// A folder as the argument of "cd /d": quoted, since it may hold blanks or '&' (a Windows folder
// name cannot contain '"'). cmd.exe expands %NAME% even inside quotes; a "" after each '%' makes
// every such name one that no variable has (cmd leaves those as typed), and cd drops quotes
// wherever they stand. No trail byte of a double-byte code page is a '%'.
std::string changeDirectoryArgument(std::string_view directory);
// The command that makes directory the interpreter's folder: "cd /d" and the quoted folder; for a
// folder on a network share (\\server\share\...), which cmd.exe cannot make current, "pushd",
// which maps a free drive letter to the share and goes there.
std::string moveToFolderCommand(std::string_view directory);
// Whether the interpreter's prompt shows it working in directory (prompt == directory + ">").
bool promptShowsDirectory(std::string_view prompt, std::string_view directory);

// An answer as the log shows it: bare LFs (adb's own line ends) made CR LF, blank ends trimmed.
std::string logTextFromAnswer(std::string_view answer, const LeadBytes& rule);

}  // namespace oz
