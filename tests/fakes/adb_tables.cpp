#include "adb_tables.h"

#include <algorithm>
#include <iterator>

namespace oz::fakeadb {
namespace {

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
    {"auth-failed", "failed to authenticate to {arg}", Stream::out, 1},
    {"success", "Success", Stream::out, 0},
    {"not-installed", "Failure [not installed for 0]", Stream::out, 1},
    {"installed", "Package {arg} installed for user: 0", Stream::out, 0},
    // An old TV's shell merges what the tool writes into one stream.
    {"cmd-not-found", "/system/bin/sh: cmd: not found", Stream::out, 127},
    {"pm-unknown", "Error: unknown command 'install-existing'", Stream::out, 1},
    {"device", "device", Stream::out, 0},
    {"unauthorized",
     "error: device unauthorized.\nThis adb server's $ADB_VENDOR_KEYS is not set\n"
     "Try 'adb kill-server' if that seems wrong.\nOtherwise check for a confirmation dialog on your device.",
     Stream::err, 1},
    {"more-than-one", "error: more than one device/emulator", Stream::err, 1},
    {"offline", "error: device offline", Stream::err, 1},
    {"no-device", "adb: no devices/emulators found", Stream::err, 1},
    {"not-found", "error: device '{arg}' not found", Stream::err, 1},
    {"unknown-command", "adb: unknown command {arg}", Stream::err, 1},
    {"usage", "adb: usage: {arg}", Stream::err, 1},
    {"client-error", "adb: {arg}", Stream::err, 1},
    {"help",
     "Android Debug Bridge version 1.0.41\n\nusage: adb [-s SERIAL] COMMAND [ARG...]\n"
     " connect HOST[:PORT]      connect to a device via TCP/IP\n"
     " shell COMMAND...         run remote shell command\n"
     " devices                  list connected devices\n"
     " kill-server              kill the server if it is running",
     Stream::out, 1},
};

constexpr CommandInfo kCommands[] = {
    {"connect", "connected", "", true, true, false},
    {"disconnect", "text", "disconnected {arg}", true, true, false},
    {"uninstall", "success", "", true, true, true},
    {"cmd-install-existing", "installed", "", true, true, true},
    {"pm-install-existing", "installed", "", true, true, true},
    {"get-state", "device", "", true, true, true},
    {"devices", "text", "List of devices attached\n", true, true, false},
    {"shell", "raw", "", true, true, true},
    {"start-server", "raw", "", true, true, false},
    {"kill-server", "raw", "", false, true, false},
    {"version", "text", "Android Debug Bridge version 1.0.41\nVersion 35.0.2-fake\nInstalled as {arg}", false,
     true, false},
    // Command lines the real client refuses; scenarios do not change these.
    {"help", "help", "", false, false, false},
    {"usage", "usage", "", false, false, false},
    {"error", "client-error", "", false, false, false},
    {"unknown", "unknown-command", "", false, false, false},
};

struct AndroidReply {
    Android android;
    std::string_view command;
    std::string_view reply;
};

constexpr AndroidReply kAndroidReplies[] = {
    {Android::old, "cmd-install-existing", "cmd-not-found"},
    {Android::unsupported, "cmd-install-existing", "cmd-not-found"},
    {Android::unsupported, "pm-install-existing", "pm-unknown"},
};

template <typename Table>
auto* findNamed(const Table& table, std::string_view name) {
    const auto it = std::find_if(std::begin(table), std::end(table), [&](auto& row) { return row.name == name; });
    return it == std::end(table) ? nullptr : &*it;
}

}  // namespace

const CannedReply* findCanned(std::string_view name) { return findNamed(kCanned, name); }

const CommandInfo* findCommand(std::string_view name) { return findNamed(kCommands, name); }

std::string_view defaultReply(const CommandInfo& command, Android android) {
    for (const AndroidReply& row : kAndroidReplies) {
        if (row.android == android && row.command == command.name) return row.reply;
    }
    return command.reply;
}

}  // namespace oz::fakeadb
