#include "core/device_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "core/action_rules.h"
#include "core/byte_text.h"

namespace oz {
namespace {

using TextCase = std::pair<std::string, std::string>;

TEST(NormaliseAddress, WideFormsBecomeAsciiAndBlankEndsGo) {
    const TextCase cases[] = {
        {"192.168.1.5", "192.168.1.5"},
        {"１９２．１６８．１．５", "192.168.1.5"},
        {"192。168。1。5", "192.168.1.5"},
        {"192｡168｡1｡5", "192.168.1.5"},
        {"　192.168.1.5　", "192.168.1.5"},
        {" \t192.168.1.5\t ", "192.168.1.5"},
        {"１９２.168．1。5：５５５６", "192.168.1.5:5556"},
        {"［ｆｅ８０：：１］", "[fe80::1]"},
        {"！～", "!~"},
        {"ｔｖ．ｌｏｃａｌ", "tv.local"},
        {"10.0.0.1　x", "10.0.0.1 x"},
        {"", ""},
        {"　 \t", ""},
        // Neighbours of the mapped ranges stay: U+FF00, U+FF5F, U+3001 (、), U+FF60.
        {"\xEF\xBC\x80\xEF\xBD\x9F、\xEF\xBD\xA0", "\xEF\xBC\x80\xEF\xBD\x9F、\xEF\xBD\xA0"},
        {"电视", "电视"},
        // Broken UTF-8 passes byte for byte: a cut wide form and a lone lead byte.
        {"1.2\xEF\xBC", "1.2\xEF\xBC"},
        {"\xEF" "1\xBC\x8E", "\xEF" "1\xBC\x8E"},
    };
    for (const auto& [typed, expected] : cases) {
        SCOPED_TRACE(testing::PrintToString(typed));
        EXPECT_EQ(normaliseAddress(typed), expected);
    }
}

TEST(NormaliseAddress, WideMetacharactersAreRefusedOnceMapped) {
    for (const std::string typed : {"1.2.3.4＆calc", "1.2.3.4｜more", "％PATH％", "＂1.2.3.4＂", "1.2.3.4＞x"}) {
        SCOPED_TRACE(typed);
        EXPECT_TRUE(isSafeForCommandLine(typed));
        EXPECT_FALSE(isSafeForCommandLine(normaliseAddress(typed)));
    }
}

TEST(ConnectTarget, DefaultPortOnlyWhereNoneIsNamed) {
    const TextCase cases[] = {
        {"192.168.1.5", "192.168.1.5:5555"},
        {"tv.local", "tv.local:5555"},
        {"192.168.1.5:5556", "192.168.1.5:5556"},
        {"192.168.1.5:", "192.168.1.5:"},
        {"[fe80::1]:5555", "[fe80::1]:5555"},
        {"[fe80::1]:7000", "[fe80::1]:7000"},
        {"[fe80::1]", "[fe80::1]:5555"},
        {"fe80::1", "[fe80::1]:5555"},
        {"::1", "[::1]:5555"},
        {"[fe80::1", "[fe80::1"},
        {"", ":5555"},
    };
    for (const auto& [address, target] : cases) {
        SCOPED_TRACE(address);
        EXPECT_EQ(connectTarget(address), target);
        EXPECT_EQ(connectCommand(address), "adb connect " + target);
    }
}

TEST(ConnectedSerial, TakesTheHostAdbNamesUpToTheLineEnd) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"connected to 192.168.1.5:5555", "192.168.1.5:5555"},
        {"already connected to 192.168.1.5:5555\n", "192.168.1.5:5555"},
        {"* daemon not running; starting now at tcp:5037\r\n* daemon started successfully\r\n"
         "connected to [fe80::1]:5555\r\n",
         "[fe80::1]:5555"},
        {"connected to tv.local:5555 \r\n", "tv.local:5555"},
        {"connected to a:1\nconnected to b:2\n", "a:1"},
        {"failed to connect to '192.168.1.5:5555': Connection refused", std::nullopt},
        {"failed to authenticate to 192.168.1.5:5555", std::nullopt},
        {"Connected to 192.168.1.5:5555", std::nullopt},
        {"connected to \n", std::nullopt},
        {"connected to a b:5555", std::nullopt},
        {"connected to 1.2.3.4:5555&calc", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [answer, serial] : cases) {
        SCOPED_TRACE(testing::PrintToString(answer));
        EXPECT_EQ(connectedSerial(answer), serial);
    }
}

TEST(TargetedCommands, NameTheSerialBeforeTheCommand) {
    const std::string serial = "192.168.1.5:5555";
    const TextCase cases[] = {
        {uninstallCommand(serial, kBootAdsPackages[0]),
         "adb -s 192.168.1.5:5555 shell pm uninstall --user 0 com.miui.systemAdSolution"},
        {uninstallCommand("[fe80::1]:5555", kBootAdsPackages[1]),
         "adb -s [fe80::1]:5555 shell pm uninstall --user 0 com.xiaomi.mitv.advertise"},
        {uninstallCommand(serial, kSystemUpdatePackages[0]),
         "adb -s 192.168.1.5:5555 shell pm uninstall --user 0 com.xiaomi.mitv.upgrade"},
        {getStateCommand(serial), "adb -s 192.168.1.5:5555 get-state"},
        {restoreCommand(serial, "com.xiaomi.mitv.upgrade", RestoreForm::cmdPackage),
         "adb -s 192.168.1.5:5555 shell cmd package install-existing --user 0 com.xiaomi.mitv.upgrade"},
        {restoreCommand(serial, "com.xiaomi.mitv.upgrade", RestoreForm::pmInstallExisting),
         "adb -s 192.168.1.5:5555 shell pm install-existing --user 0 com.xiaomi.mitv.upgrade"},
        // Before any TV was connected: the command as adb takes it without a serial.
        {uninstallCommand("", kSystemUpdatePackages[0]), std::string(kUninstallMitvUpgrade)},
        {getStateCommand(""), "adb get-state"},
    };
    for (const auto& [built, expected] : cases) EXPECT_EQ(built, expected);
}

TEST(DeviceState, WaitingForTheOwnerIsToldApartFromOtherStates) {
    const std::pair<std::string, DeviceState> cases[] = {
        {"device\n", DeviceState::device},
        {"device", DeviceState::device},
        {"* daemon started successfully\r\ndevice\r\n", DeviceState::device},
        {"unauthorized\n", DeviceState::unauthorized},
        {"authorizing\n", DeviceState::unauthorized},
        {"error: device unauthorized.\nThis adb server's $ADB_VENDOR_KEYS is not set\n"
         "Try 'adb kill-server' if that seems wrong.\nOtherwise check for a confirmation dialog on your device.\n",
         DeviceState::unauthorized},
        {"error: device still authorizing\n", DeviceState::unauthorized},
        {"offline\n", DeviceState::other},
        {"bootloader\n", DeviceState::other},
        {"error: device offline\n", DeviceState::other},
        {"error: device '192.168.1.5:5555' not found\n", DeviceState::other},
        {"error: device 'device' not found\n", DeviceState::other},
        {"devices\n", DeviceState::other},
        {"Device\n", DeviceState::other},
        {"", DeviceState::other},
    };
    for (const auto& [answer, state] : cases) {
        SCOPED_TRACE(testing::PrintToString(answer));
        EXPECT_EQ(deviceState(answer), state);
    }
}

TEST(AuthenticationFailed, OnlyNewerAdbsPromptAnswer) {
    const std::pair<std::string, bool> cases[] = {
        {"failed to authenticate to 192.168.1.5:5555\n", true},
        {"* daemon started successfully\nfailed to authenticate to tv:5555", true},
        {"failed to connect to '192.168.1.5:5555': Connection refused", false},
        {"connected to 192.168.1.5:5555", false},
        {"", false},
    };
    for (const auto& [answer, failed] : cases) {
        SCOPED_TRACE(answer);
        EXPECT_EQ(authenticationFailed(answer), failed);
    }
}

TEST(Restore, LogLineHasTheGroupsPrefixAndTheAnswerWithoutBlankEnds) {
    EXPECT_EQ(restoreLogLine(PackageGroup::bootAds, "Package com.x installed for user: 0\r\n"),
              "恢复开机广告 -> Package com.x installed for user: 0");
    EXPECT_EQ(restoreLogLine(PackageGroup::systemUpdate, "\n  a\r\nb \t\n"), "恢复系统更新 -> a\r\nb");
    EXPECT_EQ(restoreLogLine(PackageGroup::systemUpdate, ""), "恢复系统更新 -> ");
}

TEST(Restore, UnknownCommandIsToldFromOtherFailures) {
    const std::pair<std::string, bool> cases[] = {
        {"/system/bin/sh: cmd: not found\n", true},
        {"/system/bin/sh: cmd: inaccessible or not found\n", true},
        {"cmd: Can't find service: package\n", true},
        {"Error: unknown command 'install-existing'\n", true},
        {"Unknown command: install-existing\n", true},
        {"usage: pm [list|path|install|uninstall]\n       pm list packages [-f]\n", true},
        {"Package com.xiaomi.mitv.upgrade installed for user: 0\n", false},
        {"Package com.x doesn't exist\n", false},
        {"error: device offline\n", false},
        {"", false},
    };
    for (const auto& [answer, unknown] : cases) {
        SCOPED_TRACE(answer);
        EXPECT_EQ(restoreCommandUnknown(answer), unknown);
    }
}

TEST(OwnerTexts, AreValidUtf8WithAsciiCommasAndTheMenuEntriesExact) {
    EXPECT_EQ(kRestoreBootAdsMenuEntry, "恢复开机广告");
    EXPECT_EQ(kRestoreSystemUpdateMenuEntry, "恢复系统更新");
    for (const std::string_view text : {kAcceptPromptLogLine, kAuthorizationTimeoutMessage, kBootAdsTooltip,
                                        kSystemUpdateTooltip, kRestoreUnsupportedLine}) {
        SCOPED_TRACE(std::string(text));
        EXPECT_TRUE(isValidUtf8(text));
        EXPECT_EQ(text.find("，"), std::string_view::npos);
    }
}

}  // namespace
}  // namespace oz
