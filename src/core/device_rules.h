#pragma once
// The TV owner's path: the address as people type it, the serial adb connected to, commands
// aimed at that serial (so a second device on the adb server never takes them), the TV's
// debugging prompt, and bringing removed packages back. Texts are UTF-8.
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace oz {

// Full-width ASCII forms (U+FF01..U+FF5E) become ASCII, 。 and ｡ become '.', the ideographic
// space a blank; then blanks and tabs around the text go. Bytes that are not one of these
// characters (invalid UTF-8 included) stay as they are. The caller's unsafe-character check
// comes after this, so a full-width ＆ is refused as '&'.
std::string normaliseAddress(std::string_view typedUtf8);

// What "adb connect" gets: a bare IPv4 address or host name gains ":5555"; "H:PORT" and
// "[V6]:PORT" stay as typed; "[V6]" gains ":5555"; a bare IPv6 address (two colons or more)
// is bracketed and gains ":5555", the form adb itself names such a serial. Anything else that
// starts with '[' stays as typed, for adb to refuse.
std::string connectTarget(std::string_view address);

// The serial from adb's "connected to H" / "already connected to H" (the first such line):
// H up to the line end. nullopt when there is none, or when H is empty or holds a blank or a
// character that cannot go into a command line.
std::optional<std::string> connectedSerial(std::string_view answer);

// The two groups of packages the buttons remove, and the menu entries bring back.
enum class PackageGroup { bootAds, systemUpdate };
inline constexpr std::array<std::string_view, 2> kBootAdsPackages = {"com.miui.systemAdSolution",
                                                                     "com.xiaomi.mitv.advertise"};
inline constexpr std::array<std::string_view, 1> kSystemUpdatePackages = {"com.xiaomi.mitv.upgrade"};

// What runs in the TV's shell: "pm uninstall --user 0 PKG".
std::string uninstallShellCommand(std::string_view package);

// "adb -s SERIAL shell pm uninstall --user 0 PKG"; these commands leave "-s SERIAL" out when
// the serial is empty (no TV connected yet).
std::string uninstallCommand(std::string_view serial, std::string_view package);
// "adb -s SERIAL get-state"
std::string getStateCommand(std::string_view serial);

// cmdPackage: newer Android; pmInstallExisting: older Android (7 and before), tried second.
enum class RestoreForm { cmdPackage, pmInstallExisting };
// What runs in the TV's shell to bring a package back, in either form.
std::string restoreShellCommand(std::string_view package, RestoreForm form);
// "adb -s SERIAL shell cmd package install-existing --user 0 PKG" or
// "adb -s SERIAL shell pm install-existing --user 0 PKG".
std::string restoreCommand(std::string_view serial, std::string_view package, RestoreForm form);

enum class DeviceState { device, unauthorized, other };
// adb get-state's answer: a line "device" → device; "unauthorized", "authorizing" or
// "error: device unauthorized." / "error: device still authorizing" (the TV still waits for
// its owner) → unauthorized; anything else (offline, not found, bootloader, ...) → other.
DeviceState deviceState(std::string_view answer);
// Newer adb's connect answer while the TV shows its prompt: "failed to authenticate to H".
bool authenticationFailed(std::string_view answer);

// "恢复开机广告 -> " or "恢复系统更新 -> " and the answer without blank ends.
std::string restoreLogLine(PackageGroup group, std::string_view answer);
// Whether the TV says the restore command does not exist: cmd missing ("cmd: not found",
// "Can't find service: package") or pm not knowing install-existing ("unknown command",
// "Unknown command", or pm's usage text).
bool restoreCommandUnknown(std::string_view answer);

inline constexpr std::string_view kAcceptPromptLogLine =
    "请在电视上点击“允许”USB调试(可勾选“始终允许”),正在等待…";
inline constexpr std::string_view kAuthorizationTimeoutMessage =
    "60秒内没有等到电视的允许。\r\n请在电视上点击“允许”USB调试;如果电视上没有出现提示,请唤醒电视后再点“连接”。";
inline constexpr std::string_view kBootAdsTooltip = "删除开机广告。右键点击可恢复已删除的开机广告";
inline constexpr std::string_view kSystemUpdateTooltip = "删除系统更新。右键点击可恢复已删除的系统更新";
inline constexpr std::string_view kRestoreBootAdsMenuEntry = "恢复开机广告";
inline constexpr std::string_view kRestoreSystemUpdateMenuEntry = "恢复系统更新";
inline constexpr std::string_view kRestoreUnsupportedLine = "恢复失败:这台电视不支持恢复已删除的应用";

}  // namespace oz
