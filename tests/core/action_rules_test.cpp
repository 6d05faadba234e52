#include "core/action_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace oz {
namespace {

const std::string kBootAdsFailedLine = "删除开机广告 -> 删除失败,该服务未安装,有可能已经删除了";

TEST(ActionCodeFromTag, ReadsLeadingDecimalDigits) {
    const std::pair<std::string, int> cases[] = {
        {"1", ACTION_CONNECT},
        {"2", ACTION_REMOVE_BOOT_ADS},
        {"4", ACTION_REMOVE_SYSTEM_UPDATE},
        {"8", ACTION_CLOSE_LEFTOVERS},
        {"08", 8},
        {"+4", 4},
        {"-3", -3},
        {"  2", 2},
        {"4x", 4},
        {"12 3", 12},
        {"", 0},
        {"   ", 0},
        {"abc", 0},
        {"-", 0},
        {"0x8", 0},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", 0},
        {"99999999999999999999", 0},
    };
    for (const auto& [tag, code] : cases) {
        SCOPED_TRACE(tag);
        EXPECT_EQ(actionCodeFromTag(tag), code);
    }
}

TEST(Connect, CommandTakesTheIpAsTyped) {
    EXPECT_EQ(connectCommand("192.168.1.5"), "adb connect 192.168.1.5:5555");
    EXPECT_EQ(connectCommand(""), "adb connect :5555");
    EXPECT_EQ(connectCommand(" 10.0.0.1 "), "adb connect  10.0.0.1 :5555");
}

TEST(Connect, SuccessNeedsTheExactMarker) {
    const std::pair<std::string, bool> cases[] = {
        {"connected to 192.168.1.5:5555", true},
        {"already connected to 192.168.1.5:5555", true},
        {"* daemon started successfully\r\nconnected to 10.0.0.7:5555", true},
        {"Connected to 192.168.1.5:5555", false},
        {"failed to connect to '192.168.1.5:5555': Connection refused", false},
        {"cannot connect to 1.2.3.4:5555", false},
        {"connectedto", false},
        {"", false},
    };
    for (const auto& [answer, ok] : cases) {
        SCOPED_TRACE(answer);
        EXPECT_EQ(connectSucceeded(answer), ok);
    }
}

TEST(UninstallCommands, NameTheThreePackagesForUserZero) {
    EXPECT_EQ(kUninstallSystemAdSolution, "adb shell pm uninstall --user 0 com.miui.systemAdSolution");
    EXPECT_EQ(kUninstallMitvAdvertise, "adb shell pm uninstall --user 0 com.xiaomi.mitv.advertise");
    EXPECT_EQ(kUninstallMitvUpgrade, "adb shell pm uninstall --user 0 com.xiaomi.mitv.upgrade");
}

struct LogLineCase {
    std::string answer;
    bool secondPackage;
    std::string expected;
};

TEST(LogLines, BootAdsPrefixOrFixedFailureLine) {
    const LogLineCase cases[] = {
        {"Success", false, "删除开机广告 -> Success"},
        {"Success", true, "删除开机广告 -> Success"},
        {"", false, "删除开机广告 -> "},
        {"Failure [not installed for 0]", false, kBootAdsFailedLine},
        {"Failure [not installed for 0]", true, kBootAdsFailedLine + "\r\n"},
        {"Failure [Not installed for 0]", false, "删除开机广告 -> Failure [Not installed for 0]"},
        {"error: device offline", true, "删除开机广告 -> error: device offline"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        EXPECT_EQ(bootAdsLogLine(c.answer, c.secondPackage), c.expected);
    }
}

TEST(LogLines, SystemUpdateHasNoBlankAfterTheArrow) {
    EXPECT_EQ(systemUpdateLogLine("Success"), "删除系统更新 ->Success");
    EXPECT_EQ(systemUpdateLogLine(""), "删除系统更新 ->");
    EXPECT_EQ(systemUpdateLogLine("Failure [not installed for 0]"),
              "删除系统更新 -> 删除失败,该服务未安装,有可能已经删除了");
}

TEST(Messages, FixedTextsUseAsciiCommas) {
    EXPECT_EQ(kConnectFailedMessage, "连接失败,请检查是否在同一个局域网内");
    EXPECT_TRUE(isValidUtf8(kUnsafeIpMessage));
    EXPECT_EQ(kUnsafeIpMessage.find("，"), std::string_view::npos);
}

TEST(CleanupSummary, TwoLinesEachEndingInCrLf) {
    EXPECT_EQ(cleanupSummary(1, 0), "一共关闭 1 个cmd.exe程序\r\n一共关闭 0 adb.exe程序\r\n");
    EXPECT_EQ(cleanupSummary(12, 3045), "一共关闭 12 个cmd.exe程序\r\n一共关闭 3045 adb.exe程序\r\n");
}

TEST(IsSafeForCommandLine, RefusesControlCharactersAndCmdMetacharacters) {
    const std::pair<std::string, bool> cases[] = {
        {"192.168.1.5", true},
        {"", true},
        {" ", true},
        {"192.168.1.5 ", true},
        {"tv.local", true},
        {"fe80::1", true},
        {"电视", true},
        {std::string(4000, '9'), true},
        {"()!,;=", true},
        {"1.2.3.4&calc", false},
        {"1.2.3.4|more", false},
        {"1.2.3.4<in", false},
        {"1.2.3.4>out", false},
        {"1.2.3.4^", false},
        {"%PATH%", false},
        {"\"1.2.3.4\"", false},
        {"1.2.3.4\r\ndel x", false},
        {"1.2.3.4\n", false},
        {"1.2.3.4\t", false},
        {std::string("1.2\0.3", 5), false},
        {"\x1F", false},
        {"\x7F", false},
    };
    for (const auto& [ip, safe] : cases) {
        SCOPED_TRACE(testing::PrintToString(ip));
        EXPECT_EQ(isSafeForCommandLine(ip), safe);
    }
}

TEST(Directory, ChangeArgumentQuotesTheFolderAndKeepsVariablesFromExpanding) {
    EXPECT_EQ(changeDirectoryArgument("C:\\Program Files\\A&B"), "\"C:\\Program Files\\A&B\"");
    EXPECT_EQ(changeDirectoryArgument("D:\\oz"), "\"D:\\oz\"");
    EXPECT_EQ(changeDirectoryArgument("C:\\x %OS% y"), "\"C:\\x %\"\"OS%\"\" y\"");
}

TEST(Directory, ShareFoldersArePushedLocalOnesChangedTo) {
    const struct {
        const char* folder;
        const char* command;
    } cases[] = {
        {"C:\\Users\\me\\Downloads", "cd /d \"C:\\Users\\me\\Downloads\""},
        {"\\\\nas\\tools\\oz", "pushd \"\\\\nas\\tools\\oz\""},
        {"\\\\nas\\a %OS%", "pushd \"\\\\nas\\a %\"\"OS%\"\"\""},
        // A single backslash is a folder of the current drive, not a share.
        {"\\oz", "cd /d \"\\oz\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        EXPECT_EQ(moveToFolderCommand(c.folder), c.command);
    }
}

TEST(Directory, PromptMustBeTheFolderAndGreaterThanExactly) {
    EXPECT_TRUE(promptShowsDirectory("C:\\oz>", "C:\\oz"));
    EXPECT_FALSE(promptShowsDirectory("c:\\oz>", "C:\\oz"));
    EXPECT_FALSE(promptShowsDirectory("C:\\oz", "C:\\oz"));
    EXPECT_FALSE(promptShowsDirectory("C:\\oz\\>", "C:\\oz"));
    EXPECT_FALSE(promptShowsDirectory("C:\\o>", "C:\\oz"));
    EXPECT_FALSE(promptShowsDirectory("", "C:\\oz"));
    EXPECT_TRUE(promptShowsDirectory(">", ""));
}

TEST(LogTextFromAnswer, BareLineFeedsBecomeCrLfAndBlankEndsGo) {
    const LeadBytes rule = LeadBytes::highBit();
    EXPECT_EQ(logTextFromAnswer("connected to x\n\r\n", rule), "connected to x");
    EXPECT_EQ(logTextFromAnswer("\r\n\nSuccess\n\n", rule), "Success");
    EXPECT_EQ(logTextFromAnswer("a\nb\n", rule), "a\r\nb");
    EXPECT_EQ(logTextFromAnswer("a\n\nb", rule), "a\r\n\r\nb");
    EXPECT_EQ(logTextFromAnswer("", rule), "");
}

}  // namespace
}  // namespace oz
