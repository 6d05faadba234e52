// The real Ozarith.exe, driven like a person would: start-up, Connect and its outcomes, what
// may be typed as the IP, and program folders with awkward names.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/action_rules.h"
#include "runtime/text_win.h"
#include "support/app_driver.h"

namespace oz::test {
namespace {

namespace fs = std::filesystem;

const std::wstring kTv = L"127.0.0.1";
const std::wstring kConnectFailed = L"连接失败,请检查是否在同一个局域网内";

TEST(E2eStartUp, ShowsTheWindowWithItsChineseCaptionsAndOnlyConnectAndLeftoversEnabled) {
    const AppUnderTest app;
    EXPECT_EQ(app.text(app.mainWindow()), L"Ozarith");
    EXPECT_EQ(app.text(kLabelId), L"小米电视IP地址");
    EXPECT_EQ(app.text(kConnectButtonId), L"连接");
    EXPECT_EQ(app.text(kRemoveBootAdsButtonId), L"删除开机广告");
    EXPECT_EQ(app.text(kCloseLeftoversButtonId), L"关闭遗留程序");
    EXPECT_EQ(app.text(kRemoveSystemUpdateButtonId), L"删除系统更新");
    EXPECT_TRUE(app.isEnabled(kConnectButtonId));
    EXPECT_TRUE(app.isEnabled(kCloseLeftoversButtonId));
    EXPECT_FALSE(app.isEnabled(kRemoveBootAdsButtonId));
    EXPECT_FALSE(app.isEnabled(kRemoveSystemUpdateButtonId));
    EXPECT_EQ(app.text(kIpBoxId), L"");
    EXPECT_EQ(app.logText(), L"");
    EXPECT_TRUE(app.adbCalls().empty());
}

struct ConnectCase {
    const char* rules;
    bool succeeds;
    std::wstring log;
};

void expectConnected(const AppUnderTest& app, const ConnectCase& step) {
    ASSERT_TRUE(waitFor([&] { return app.isEnabled(kRemoveBootAdsButtonId) && app.isEnabled(kRemoveSystemUpdateButtonId); }))
        << app.describe();
    EXPECT_FALSE(app.isEnabled(kConnectButtonId));
    EXPECT_TRUE(waitFor([&] { return app.logText() == step.log; })) << app.describe();
    EXPECT_FALSE(app.findMessageBox().has_value());
}

// The box comes first: while it is up, nothing is logged and Connect stays greyed.
void expectRefused(const AppUnderTest& app, const ConnectCase& step) {
    const auto box = app.waitForMessageBox(kConnectFailed);
    ASSERT_TRUE(box) << app.describe();
    EXPECT_EQ(box->text, kConnectFailed);
    EXPECT_EQ(box->owner, nullptr);
    EXPECT_FALSE(waitFor([&] { return !app.logText().empty(); }, 500ms)) << app.describe();
    EXPECT_FALSE(app.isEnabled(kConnectButtonId));
    app.pressOk(*box);
    EXPECT_TRUE(waitFor([&] { return app.logText() == step.log && app.isEnabled(kConnectButtonId); }))
        << app.describe();
    EXPECT_FALSE(app.isEnabled(kRemoveBootAdsButtonId));
    EXPECT_FALSE(app.isEnabled(kRemoveSystemUpdateButtonId));
}

TEST(E2eConnect, OnlyAnAnswerHoldingConnectedToInExactCaseConnects) {
    const ConnectCase cases[] = {
        {"server: running\nconnect: connected", true, L"connected to 127.0.0.1:5555\r\n"},
        {"server: running\nconnect: already", true, L"already connected to 127.0.0.1:5555\r\n"},
        {"server: running\nconnect: capital", false, L"Connected to 127.0.0.1:5555\r\n"},
        {"server: running\nconnect: refused", false, L"failed to connect to '127.0.0.1:5555': Connection refused\r\n"},
        // adb's own lines end in a bare LF, also those it writes while starting its server:
        // each one becomes one line of the log.
        {"server: starting\nconnect: connected", true,
         L"* daemon not running; starting now at tcp:5037\r\n* daemon started successfully\r\n"
         L"connected to 127.0.0.1:5555\r\n"},
    };
    for (const ConnectCase& step : cases) {
        SCOPED_TRACE(step.rules);
        const AppUnderTest app(step.rules);
        app.setIp(kTv);
        ASSERT_TRUE(app.click(kConnectButtonId));
        if (step.succeeds)
            expectConnected(app, step);
        else
            expectRefused(app, step);
        EXPECT_EQ(app.adbCalls(), (step.succeeds ? std::vector{kConnectTv, kStateTv} : std::vector{kConnectTv}));
    }
}

// The interpreter is started as the window is created and may not have written its first
// prompt yet when the first click comes. Taking a prompt that has not come yet shifts every
// later answer by one command.
TEST(E2eConnect, AConnectClickedTheMomentTheWindowShowsGetsItsOwnAnswer) {
    const AppUnderTest app("server: running", L"app", 0ms);
    app.setIp(kTv);
    ASSERT_TRUE(app.click(kConnectButtonId));
    waitFor([&] { return app.isEnabled(kRemoveSystemUpdateButtonId) || app.findMessageBox(); });
    ASSERT_TRUE(app.isEnabled(kRemoveSystemUpdateButtonId))
        << "a Connect clicked right after start-up failed although adb answered \"connected to\"; "
           "a Connect clicked again then reads the first one's answer, and so on\n"
        << app.describe();
    ASSERT_TRUE(app.click(kRemoveSystemUpdateButtonId));
    EXPECT_TRUE(waitFor([&] { return app.logText() == L"connected to 127.0.0.1:5555\r\n删除系统更新 ->Success\r\n"; }))
        << app.describe();
}

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Text that would end the command line or start another command in cmd.exe is refused before
// anything is sent; the person is told so and can type again.
TEST(E2eConnect, RefusesIpTextsThatCmdWouldTakeForMoreThanAnAddress) {
    const AppUnderTest app("server: running");
    const std::wstring refusal = fromUtf8(kUnsafeIpMessage);
    const std::vector<fs::path> before = filesIn(app.folder());
    // Each dismissed box costs about 2 s under Xvfb (docs/wine-vs-windows.md), so a few stand
    // for the rules; the character check has its own table in the core tests.
    const std::wstring hostile[] = {
        L"1.2.3.4 & echo pwned > x.txt", L"1.2.3.4\r\nadb kill-server", L"1.2.3.4\nadb kill-server",
        L"%PATH%", L"a|b", L"\"1.2.3.4\"", L"1.2.3.4\x1b",
    };
    for (const std::wstring& ip : hostile) {
        SCOPED_TRACE(toUtf8(ip));
        app.setIp(ip);
        ASSERT_EQ(app.text(kIpBoxId), ip) << "the IP box did not take the text as typed";
        ASSERT_TRUE(app.click(kConnectButtonId)) << app.describe();
        const auto box = app.waitForMessageBox();
        ASSERT_TRUE(box) << app.describe();
        EXPECT_EQ(box->text, refusal);
        EXPECT_EQ(box->owner, nullptr);
        app.pressOk(*box);
        EXPECT_TRUE(waitFor([&] { return app.isEnabled(kConnectButtonId); })) << app.describe();
        EXPECT_FALSE(app.isEnabled(kRemoveBootAdsButtonId));
        EXPECT_EQ(app.logText(), L"");
        EXPECT_TRUE(app.adbCalls().empty()) << app.describe();
        EXPECT_EQ(filesIn(app.folder()), before);
    }
    // The refusals left nothing behind: a plain address still connects.
    EXPECT_TRUE(app.connect(kTv)) << app.describe();
    EXPECT_EQ(app.adbCalls(), (std::vector<std::string>{kConnectTv, kStateTv}));
}

// The interpreter must work in the program's folder to find adb.exe there, whatever its name:
// blanks and '&' need quoting, Chinese cannot be spelled in the console's code page.
TEST(E2eConnect, WorksFromAProgramFolderWithBlanksAmpersandAndChinese) {
    for (const wchar_t* folderName : {L"with blank & ampersand", L"电视 工具 & 测试"}) {
        SCOPED_TRACE(toUtf8(folderName));
        const AppUnderTest app("server: running", folderName);
        ASSERT_TRUE(app.connect(kTv)) << app.describe();
        ASSERT_TRUE(app.click(kRemoveSystemUpdateButtonId));
        EXPECT_TRUE(waitFor([&] {
            return app.logText() == L"connected to 127.0.0.1:5555\r\n删除系统更新 ->Success\r\n";
        })) << app.describe();
        EXPECT_EQ(app.adbCalls(),
                  (std::vector<std::string>{kConnectTv, kStateTv, kUninstallUpgrade}));
    }
}

}  // namespace
}  // namespace oz::test
