// Reliability suite: the real Ozarith.exe driven like a person would, against the fake adb.exe,
// through what goes wrong in real use: its interpreter killed from outside, the window closed
// while an action waits, hostile IP texts, adb missing, hanging or refusing, a TV that drops in
// the middle of a removal, awkward program folders. Every case ends with the window closed the
// usual way and a look at what is left: the program must have exited with code 0, without a
// crash dialog, and no Ozarith.exe, cmd.exe or adb.exe may still run.
//
// Prints one markdown row per case ("| case | what was done | figure | expected | result |"),
// progress on other lines. Exits 1 when a case did not end in a state the user can go on from.
// Timings are reported, never judged. The repeated-cycle soak is bench/soak.cpp; both are run by
// scripts/reliability.sh.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/action_rules.h"
#include "runtime/system_info_win.h"
#include "runtime/text_win.h"
#include "support/app_driver.h"
#include "wine_start_failure.h"

namespace {

using namespace oz;
using namespace oz::test;
using oz::bench::median;
using oz::bench::nowMs;
namespace fs = std::filesystem;

const std::wstring kTv = L"127.0.0.1";
const std::string kAllSucceeds = "server: running";
const std::wstring kConnectFailed = fromUtf8(kConnectFailedMessage);
const std::wstring kUnsafeIp = fromUtf8(kUnsafeIpMessage);
const std::wstring kCleanupSummary = L"一共关闭";
const std::wstring kInterrupted = fromUtf8(kInterruptedLine);
constexpr int kKillTries = 3;

// ---------------------------------------------------------------------------------------------
// What a case reports.

struct Row {
    std::string name;
    std::string done;
    std::string figure;
    std::string expected;
    std::string result;
    bool ok = true;  // the user can go on; timing never decides it
};

// A table cell on one line: '|' escaped, line ends shown as ⏎.
std::string cell(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '|') out += "\\|";
        else if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') out += " ⏎ ", ++i;
        else if (text[i] == '\n' || text[i] == '\r') out += " ⏎ ";
        else out += text[i];
    }
    return out;
}

void print(const Row& row) {
    std::printf("| %s | %s | %s | %s | %s%s |\n", cell(row.name).c_str(), cell(row.done).c_str(),
                cell(row.figure).c_str(), cell(row.expected).c_str(), row.ok ? "ok" : "**FAILED**",
                row.result.empty() ? "" : (": " + cell(row.result)).c_str());
    std::fflush(stdout);
}

std::string ms(double value) { return std::to_string(static_cast<long long>(value + 0.5)) + " ms"; }

// Marks the row failed with why; the first reason stays first.
void fail(Row& row, const std::string& why) {
    row.ok = false;
    row.result = row.result.empty() ? why : why + "; " + row.result;
}

void note(Row& row, const std::string& what) { row.result += (row.result.empty() ? "" : "; ") + what; }

// ---------------------------------------------------------------------------------------------
// What the person sees.

std::string buttons(const AppUnderTest& app) {
    const auto state = [&](int id) { return app.isEnabled(id) ? "on" : "off"; };
    return std::string("Connect ") + state(kConnectButtonId) + ", boot ads " + state(kRemoveBootAdsButtonId) +
           ", update " + state(kRemoveSystemUpdateButtonId) + ", leftovers " + state(kCloseLeftoversButtonId);
}

std::string logOf(const AppUnderTest& app) { return toUtf8(app.logText()); }

bool logEndsWith(const AppUnderTest& app, std::wstring_view tail) { return app.logText().ends_with(tail); }

// The log's last line holds no answer at all: empty, or a removal prefix with nothing after it.
bool lastLineIsBare(const std::wstring& log) {
    std::wstring_view text(log);
    if (text.ends_with(L"\r\n")) text.remove_suffix(2);
    const std::size_t start = text.rfind(L"\r\n");
    const std::wstring_view line = start == std::wstring_view::npos ? text : text.substr(start + 2);
    return line.empty() || line == L"删除开机广告 -> " || line == L"删除系统更新 ->";
}

// Presses OK on every box the program shows, until none has come for a while.
int dismissBoxes(const AppUnderTest& app, std::chrono::milliseconds quiet = 1500ms) {
    int count = 0;
    while (const auto box = app.waitForMessageBox({}, quiet)) {
        app.pressOk(*box);
        ++count;
    }
    return count;
}

// The person goes on with a TV that now answers: Connect when it takes clicks, else a removal.
// Empty when that worked, else what went wrong.
std::string goOn(const AppUnderTest& app) {
    app.writeScenario(kAllSucceeds);
    if (app.isEnabled(kConnectButtonId)) {
        if (!app.connect(kTv) || !waitFor([&] { return logEndsWith(app, L"connected to 127.0.0.1:5555\r\n"); }))
            return "the next Connect did not connect (" + buttons(app) + ")";
        return {};
    }
    if (!app.click(kRemoveSystemUpdateButtonId)) return "neither Connect nor a removal takes clicks";
    if (!waitFor([&] { return logEndsWith(app, L"删除系统更新 ->Success\r\n"); }))
        return "the next removal did not log its answer";
    return {};
}

// ---------------------------------------------------------------------------------------------
// How it ends: exit code, crash dialog, processes left.

// What a case may leave running in the suite's own prefix: nothing. winedbg.exe is Wine's crash handler.
constexpr const wchar_t* kWatched[] = {L"Ozarith.exe", L"cmd.exe", L"adb.exe", L"winedbg.exe"};

std::string leftovers() {
    std::string out;
    for (const wchar_t* name : kWatched)
        if (const std::size_t n = countProcesses(name))
            out += (out.empty() ? "" : ", ") + toUtf8(name) + " ×" + std::to_string(n);
    return out;
}

bool nothingRuns() { return leftovers().empty(); }

struct Ending {
    double hiddenMs = -1;  // window gone from the screen, after the close
    double goneMs = -1;    // process ended, after the close
    DWORD exitCode = STILL_ACTIVE;
    std::string left;      // processes still running a moment after the exit

    bool clean() const { return goneMs >= 0 && exitCode == 0 && left.empty(); }
    std::string problem() const {
        if (goneMs < 0) return "Ozarith.exe still runs 10 s after the close";
        if (exitCode != 0) return "exit code " + std::to_string(exitCode);
        return left.empty() ? std::string() : "still running afterwards: " + left;
    }
};

// Times the exit from closedAt on; then waits a moment for what the program ended to go.
Ending endingAfter(const AppUnderTest& app, double closedAt) {
    Ending ending;
    if (waitFor([&] { return !::IsWindowVisible(app.mainWindow()); }, 10s)) ending.hiddenMs = nowMs() - closedAt;
    if (app.processExited(10s)) ending.goneMs = nowMs() - closedAt;
    ::GetExitCodeProcess(app.process(), &ending.exitCode);
    waitFor(nothingRuns, 3s);
    ending.left = leftovers();
    return ending;
}

void postClose(const AppUnderTest& app) { ::PostMessageW(app.mainWindow(), WM_CLOSE, 0, 0); }

// Log lines in which Wine's cmd.exe says it could not start the adb.exe that is in the folder
// (bench/wine_start_failure.h), gathered over the run: runGroup runs a failed group once more
// when its run met one.
std::vector<std::string>& lostStarts() {
    static std::vector<std::string> seen;
    return seen;
}

// The log's lines in which cmd.exe says it could not start an adb command, without their prefix.
std::vector<std::string> adbNotStartedLines(const std::wstring& log) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < log.size();) {
        const std::size_t end = std::min(log.find(L"\r\n", start), log.size());
        std::wstring_view line = std::wstring_view(log).substr(start, end - start);
        for (const std::wstring_view prefix : {L"删除开机广告 -> ", L"删除系统更新 ->"})
            if (line.starts_with(prefix)) line.remove_prefix(prefix.size());
        if (oz::bench::notStartedCommand(line).starts_with(L"adb ")) lines.push_back(toUtf8(line));
        start = end + 2;
    }
    return lines;
}

void gatherLostStarts(const AppUnderTest& app) {
    if (!fs::exists(app.folder() / L"adb.exe")) return;
    for (std::string& line : adbNotStartedLines(app.logText())) lostStarts().push_back(std::move(line));
}

// The usual end of a case: the window closed, and all checked. adbTakenAway: the case took
// adb.exe away on purpose, so cmd.exe's "cannot start" lines are its own.
void closeAndCheck(const AppUnderTest& app, Row& row, bool adbTakenAway = false) {
    if (!adbTakenAway) gatherLostStarts(app);
    const double closedAt = nowMs();
    postClose(app);
    const Ending ending = endingAfter(app, closedAt);
    if (!ending.clean()) fail(row, "after closing: " + ending.problem());
}

// ---------------------------------------------------------------------------------------------
// The interpreter killed from outside while Connect waits for a hanging adb.

// Kills the program's interpreter; how long until the worker is done with it (its box is up
// or Connect takes clicks), or -1 when there was no interpreter to kill or the worker never ended.
double killInterpreterDuringConnect(const AppUnderTest& app, std::size_t callsBefore) {
    app.setIp(kTv);
    if (!app.click(kConnectButtonId) || !waitFor([&] { return app.adbCalls().size() == callsBefore + 1; })) return -1;
    const DWORD interpreter = bench::childNamed(app.processId(), L"cmd.exe");
    const UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, interpreter));
    if (!process) return -1;
    const double killedAt = nowMs();
    ::TerminateProcess(process.get(), 1);
    const double deadline = killedAt + 10000;
    while (nowMs() < deadline) {
        if (app.findMessageBox(kConnectFailed) || app.isEnabled(kConnectButtonId)) return nowMs() - killedAt;
    }
    return -1;
}

Row interpreterKilledCase() {
    Row row{"Interpreter killed from outside",
            std::to_string(kKillTries) +
                " times: Connect against an adb that hangs, TerminateProcess on Ozarith's cmd.exe once adb runs; "
                "then a Connect with a TV that answers, the cleanup, the window closed",
            "",
            "≤ 200 ms until the worker is done (Connect takes clicks), the log says the command was cut short; then "
            "the next Connect works",
            ""};
    const AppUnderTest app(kAllSucceeds + "\nconnect: hang");
    std::vector<double> times;
    for (int i = 0; i < kKillTries; ++i) {
        const std::size_t logged = app.logText().size();
        const double took = killInterpreterDuringConnect(app, static_cast<std::size_t>(i));
        if (took < 0) return fail(row, "try " + std::to_string(i + 1) + ": no interpreter to kill, or the worker did not end (" +
                                    buttons(app) + ")"),
                   row;
        times.push_back(took);
        if (!waitFor([&] { return app.isEnabled(kConnectButtonId) && app.logText().size() > logged; }))
            return fail(row, "Connect stays greyed or nothing is logged (" + buttons(app) + ")"), row;
        if (!logEndsWith(app, kInterrupted + L"\r\n")) fail(row, "the log does not say the command was cut short");
        if (const auto box = app.findMessageBox()) {
            note(row, "a box came: `" + toUtf8(box->text) + "`");
            app.pressOk(*box);
        }
    }
    row.figure = "median " + ms(median(times)) + " (";
    for (std::size_t i = 0; i < times.size(); ++i) row.figure += (i ? ", " : "") + ms(times[i]);
    row.figure += ")";
    note(row, "log after the kills: `" + logOf(app) + "`");
    if (lastLineIsBare(app.logText())) note(row, "finding: a killed Connect logs an empty line");
    if (const std::string problem = goOn(app); !problem.empty()) return fail(row, problem), row;
    note(row, "next Connect connected");
    // The adb runs the killed interpreters had started still hang: the cleanup is how they go.
    app.click(kCloseLeftoversButtonId);
    if (const auto box = app.waitForMessageBox(kCleanupSummary)) {
        note(row, "cleanup: " + toUtf8(box->text));
        app.pressOk(*box);
    }
    closeAndCheck(app, row);
    return row;
}

// ---------------------------------------------------------------------------------------------
// The window closed while an action waits.

struct CloseCase {
    const char* what;
    const char* rules;
    int button;                // Connect is clicked without connecting first, the rest after
    std::size_t adbCalls;      // the action waits once the double has this many
    const wchar_t* boxPart;    // the action waits on this box instead (null: on adb)
};

const CloseCase kCloseCases[] = {
    {"Connect hanging", "connect: hang", kConnectButtonId, 1, nullptr},
    {"boot-ads removal hanging", "uninstall: hang", kRemoveBootAdsButtonId, 3, nullptr},
    {"system-update removal hanging", "uninstall: hang", kRemoveSystemUpdateButtonId, 3, nullptr},
    {"cleanup box up", "", kCloseLeftoversButtonId, 2, L"一共关闭"},
    {"connect-failure box up", "connect: refused", kConnectButtonId, 1, L"连接失败"},
};

struct CloseWay {
    const char* name;
    void (*close)(const AppUnderTest&);
};

const CloseWay kCloseWays[] = {
    {"WM_CLOSE", postClose},
    {"Esc", [](const AppUnderTest& app) { app.pressEsc(); }},
};

bool bringToWaitingState(const AppUnderTest& app, const CloseCase& step) {
    if (step.button == kConnectButtonId) app.setIp(kTv);
    else if (!app.connect(kTv)) return false;
    if (!app.click(step.button)) return false;
    return waitFor([&] {
        return app.adbCalls().size() == step.adbCalls && (!step.boxPart || app.findMessageBox(step.boxPart));
    });
}

Row closeCase(const CloseCase& step, const CloseWay& way) {
    Row row{std::string("Window closed: ") + step.what + ", " + way.name,
            std::string(way.name) + " to the window while " + step.what,
            "", "process gone ≤ 1 s, exit code 0, no crash dialog, nothing left running", ""};
    const AppUnderTest app(kAllSucceeds + "\n" + step.rules);
    const bool waiting = bringToWaitingState(app, step);
    gatherLostStarts(app);
    if (!waiting) return fail(row, "the action did not start (" + buttons(app) + ")"), row;
    const double closedAt = nowMs();
    way.close(app);
    const Ending ending = endingAfter(app, closedAt);
    row.figure = "process gone after " + (ending.goneMs < 0 ? std::string("—") : ms(ending.goneMs)) +
                 " (window hidden after " + (ending.hiddenMs < 0 ? std::string("—") : ms(ending.hiddenMs)) + ")";
    if (!ending.clean()) fail(row, ending.problem());
    else note(row, "exit code 0");
    return row;
}

// ---------------------------------------------------------------------------------------------
// Hostile IP texts: what cmd.exe would take for more than an address.

struct HostileIp {
    const char* shown;     // as the report shows it
    std::wstring text;
    bool mustBeRefused;    // an ASCII control character, a metacharacter or too long a line
};

// Past cmd.exe's 8192 characters Wine runs the rest of a line as a command of its own.
std::wstring overLongIp() {
    const std::size_t keptByCmd = 8192 - std::string_view("adb connect ").size();
    std::wstring text(keptByCmd, L'1');
    text += L" mkdir pwned ";
    return text + std::wstring(10000 - text.size(), L'2');
}

const std::vector<HostileIp>& hostileIps() {
    static const std::vector<HostileIp> texts = {
        {"`127.0.0.1 & mkdir pwned`", L"127.0.0.1 & mkdir pwned", true},
        {"`127.0.0.1 | mkdir pwned`", L"127.0.0.1 | mkdir pwned", true},
        {"`127.0.0.1 > pwned.txt`", L"127.0.0.1 > pwned.txt", true},
        {"`127.0.0.1 < adb.exe`", L"127.0.0.1 < adb.exe", true},
        {"`127.0.0.1^&mkdir pwned`", L"127.0.0.1^&mkdir pwned", true},
        {"`%COMSPEC%`", L"%COMSPEC%", true},
        {"`127.0.0.1\" & mkdir pwned & \"`", L"127.0.0.1\" & mkdir pwned & \"", true},
        {"`127.0.0.1` CR LF `mkdir pwned`", L"127.0.0.1\r\nmkdir pwned", true},
        {"`127.0.0.1` CR LF `adb kill-server`", L"127.0.0.1\r\nadb kill-server", true},
        {"`127.0.0.1` LF `mkdir pwned`", L"127.0.0.1\nmkdir pwned", true},
        {"`127.0.0.1` TAB `mkdir pwned`", L"127.0.0.1\tmkdir pwned", true},
        {"`127.0.0.1` Ctrl-Z `mkdir pwned`", L"127.0.0.1\x1a mkdir pwned", true},
        {"`127.0.0.1` ESC `[2J`", L"127.0.0.1\x1b[2J", true},
        {"10,000 characters, ` mkdir pwned ` at character 8181", overLongIp(), true},
        {"fullwidth `１２７．０．０．１`", L"１２７．０．０．１", false},
        {"`127.0.0.1 ＆ mkdir pwned` (fullwidth &)", L"127.0.0.1 ＆ mkdir pwned", false},
        {"`127.0.0.1 ｜ mkdir pwned` (fullwidth |)", L"127.0.0.1 ｜ mkdir pwned", false},
        {"`127.0.0.1 ＞ pwned.txt` (fullwidth >)", L"127.0.0.1 ＞ pwned.txt", false},
        {"`％COMSPEC％` (fullwidth %)", L"％COMSPEC％", false},
        {"`＂127.0.0.1＂＾＆mkdir pwned` (fullwidth \" ^ &)", L"＂127.0.0.1＂＾＆mkdir pwned", false},
        {"`电视 127.0.0.1` (Chinese)", L"电视 127.0.0.1", false},
        {"`127.0.0.1` U+2028 `mkdir pwned` (line separator)", L"127.0.0.1\x2028mkdir pwned", false},
        {"`127.0.0.1` U+0085 `mkdir pwned` (C1 next line)", L"127.0.0.1\x0085mkdir pwned", false},
    };
    return texts;
}

std::vector<fs::path> namesIn(const fs::path& folder) {
    std::vector<fs::path> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// One connect call whose argument ends in ":5555", or nothing at all.
bool onlyOneConnect(const std::vector<std::string>& calls) {
    return calls.size() == 1 && calls[0].starts_with("connect ") && calls[0].ends_with(":5555");
}

// The calls adb received since the last look.
std::vector<std::string> callsSince(const AppUnderTest& app, std::size_t& seen) {
    const std::vector<std::string> all = app.adbCalls();
    const std::vector<std::string> fresh(all.begin() + static_cast<std::ptrdiff_t>(std::min(seen, all.size())), all.end());
    seen = all.size();
    return fresh;
}

Row hostileIpCase(const AppUnderTest& app, const HostileIp& ip, std::size_t& callsSeen) {
    Row row{"Hostile IP text", "typed " + std::string(ip.shown) + ", Connect", "",
            ip.mustBeRefused ? "refused: no adb call, no file" : "refused, or one `connect …:5555` and nothing else; no file",
            ""};
    const std::vector<fs::path> before = namesIn(app.folder());
    app.setIp(ip.text);
    if (app.text(kIpBoxId) != ip.text) note(row, "the IP box holds " + std::to_string(app.text(kIpBoxId).size()) + " characters");
    if (!app.click(kConnectButtonId)) return fail(row, "Connect takes no click (" + buttons(app) + ")"), row;
    const auto box = app.waitForMessageBox();
    if (!box) return fail(row, "no box came (" + buttons(app) + ")"), row;
    const bool refused = box->text == kUnsafeIp;
    app.pressOk(*box);
    waitFor([&] { return app.isEnabled(kConnectButtonId); });
    const std::vector<std::string> calls = callsSince(app, callsSeen);
    row.figure = refused ? "refused, 0 adb calls" : std::to_string(calls.size()) + " adb call(s)";
    if (!refused && !calls.empty()) row.figure += ": `" + calls[0].substr(0, 60) + (calls[0].size() > 60 ? "…" : "") + "`";
    if (ip.mustBeRefused && !refused) fail(row, "not refused");
    if (refused ? !calls.empty() : !onlyOneConnect(calls)) fail(row, "adb received more than allowed");
    if (namesIn(app.folder()) != before) fail(row, "a file appeared in the program folder");
    if (!app.isEnabled(kConnectButtonId)) fail(row, "Connect stays greyed");
    return row;
}

std::vector<Row> hostileIpCases() {
    // The double refuses every connect, so that a text that does get through leaves Connect usable.
    const AppUnderTest app(kAllSucceeds + "\nconnect: refused");
    std::vector<Row> rows;
    std::size_t callsSeen = 0;
    for (const HostileIp& ip : hostileIps()) {
        rows.push_back(hostileIpCase(app, ip, callsSeen));
    }
    Row last{"Hostile IP text: afterwards", "a plain `127.0.0.1`, Connect, with a TV that answers; window closed", "",
             "connects; nothing left running", ""};
    if (const std::string problem = goOn(app); !problem.empty()) fail(last, problem);
    else note(last, "connected");
    closeAndCheck(app, last);
    rows.push_back(last);
    return rows;
}

// ---------------------------------------------------------------------------------------------
// adb missing, hanging, refusing, and a TV that drops in the middle of a removal.

// Presses the button and waits until adb has had the removal's commands and the button takes
// clicks again: the worker greys it before its first command.
bool runRemoval(const AppUnderTest& app, int button) {
    const std::size_t calls = app.adbCalls().size() + (button == kRemoveBootAdsButtonId ? 2 : 1);
    return app.click(button) &&
           waitFor([&] { return app.adbCalls().size() == calls && app.isEnabled(button); });
}

bool connectThenBothRemovals(const AppUnderTest& app) {
    return app.connect(kTv) && runRemoval(app, kRemoveBootAdsButtonId) && runRemoval(app, kRemoveSystemUpdateButtonId);
}

// Connect fails: the failure box is dismissed, then the answer is logged.
bool connectFails(const AppUnderTest& app) {
    const std::size_t logged = app.logText().size();
    app.setIp(kTv);
    if (!app.click(kConnectButtonId)) return false;
    const auto box = app.waitForMessageBox(kConnectFailed);
    if (!box) return false;
    app.pressOk(*box);
    return waitFor([&] { return app.isEnabled(kConnectButtonId) && app.logText().size() > logged; });
}

// button waits on adb until the person runs the cleanup; every box is dismissed.
bool hangThenCleanup(const AppUnderTest& app, int button, std::size_t waitingCalls) {
    if (button == kConnectButtonId) app.setIp(kTv);
    if (!app.click(button) || !waitFor([&] { return app.adbCalls().size() == waitingCalls; })) return false;
    return app.click(kCloseLeftoversButtonId) && dismissBoxes(app) > 0;
}

std::size_t occurrences(const std::wstring& text, std::wstring_view part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

std::size_t callsEndingIn(const std::vector<std::string>& calls, std::string_view package) {
    return static_cast<std::size_t>(
        std::count_if(calls.begin(), calls.end(), [&](const std::string& call) { return call.ends_with(package); }));
}

// Nothing lost: each uninstall command adb received has its own line in the log.
bool everyRemovalLogged(const AppUnderTest& app) {
    const std::vector<std::string> calls = app.adbCalls();
    const std::wstring log = app.logText();
    return occurrences(log, L"删除开机广告 ->") ==
               callsEndingIn(calls, " com.miui.systemAdSolution") + callsEndingIn(calls, " com.xiaomi.mitv.advertise") &&
           occurrences(log, L"删除系统更新 ->") == callsEndingIn(calls, " com.xiaomi.mitv.upgrade");
}

std::wstring environment(const wchar_t* name) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    std::wstring value(size, L'\0');
    value.resize(::GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

std::vector<std::wstring> split(const std::wstring& list) {
    std::vector<std::wstring> parts;
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(L';', start), list.size());
        if (end > start) parts.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// What cmd.exe would run for "adb" from the PATH the program inherits (Wine's own PATH, not
// the Linux one): the first folder holding adb with one of PATHEXT's endings.
std::wstring adbOnPath() {
    for (const std::wstring& folder : split(environment(L"PATH")))
        for (const std::wstring& ending : split(environment(L"PATHEXT"))) {
            const fs::path candidate = fs::path(folder) / (L"adb" + ending);
            std::error_code ignored;
            if (fs::exists(candidate, ignored)) return candidate.wstring();
        }
    return {};
}

std::string pathNote() {
    const std::wstring found = adbOnPath();
    return "PATH is `" + toUtf8(environment(L"PATH")) + "`, " +
           (found.empty() ? std::string("no adb on it") : "but adb is on it: " + toUtf8(found));
}

bool connectThenBootAds(const AppUnderTest& app) { return app.connect(kTv) && runRemoval(app, kRemoveBootAdsButtonId); }

struct AdbCase {
    const char* what;
    const char* done;
    const char* rules;
    bool (*steps)(const AppUnderTest&);
    const wchar_t* logPart;  // what the log must say about it
    bool withoutAdb = false;  // adb.exe is taken out of the folder first, and put back after; the log must say so
};

const AdbCase kAdbCases[] = {
    {"adb missing", "no adb.exe in the folder or on PATH; Connect (built-in client, nobody on 127.0.0.1:5555); OK", "",
     connectFails, nullptr, true},
    {"adb hanging until cleanup", "Connect, adb hangs; cleanup; OK on the boxes", "connect: hang",
     [](const AppUnderTest& app) { return hangThenCleanup(app, kConnectButtonId, 1); }, nullptr},
    {"adb answers unauthorized", "Connect; both removals", "uninstall: unauthorized", connectThenBothRemovals,
     L"error: device unauthorized"},
    {"more than one device", "Connect; both removals", "uninstall: more-than-one", connectThenBothRemovals,
     L"error: more than one device"},
    {"TV drops mid-removal: offline", "Connect; boot-ads removal: first uninstall answers, second says offline",
     "uninstall com.xiaomi.mitv.advertise: offline", connectThenBootAds, L"删除开机广告 -> error: device offline"},
    {"TV drops mid-removal: no devices", "Connect; boot-ads removal: first uninstall answers, second says no devices",
     "uninstall com.xiaomi.mitv.advertise: no-device", connectThenBootAds,
     L"删除开机广告 -> adb: no devices/emulators found"},
    {"TV drops mid-removal: hangs", "Connect; boot-ads removal: first uninstall answers, second hangs; cleanup; OK",
     "uninstall com.xiaomi.mitv.advertise: hang",
     [](const AppUnderTest& app) { return app.connect(kTv) && hangThenCleanup(app, kRemoveBootAdsButtonId, 4); },
     L"删除开机广告 -> Success"},
};

Row adbCase(const AdbCase& step) {
    Row row{std::string("adb: ") + step.what, step.done, "",
            "an honest log line; buttons the user can go on from; the next step works once the TV answers", ""};
    const AppUnderTest app(kAllSucceeds + "\n" + step.rules);
    const fs::path adb = app.folder() / L"adb.exe";
    if (step.withoutAdb) {
        fs::remove(adb);
        note(row, pathNote());
        if (!adbOnPath().empty()) return fail(row, "adb can still be found"), row;
    }
    const bool stepsDone = step.steps(app);
    row.figure = "log: `" + logOf(app) + "`";
    note(row, "buttons: " + buttons(app));
    if (!stepsDone) fail(row, "the steps did not complete");
    if (step.logPart && app.logText().find(step.logPart) == std::wstring::npos)
        fail(row, "the log does not say `" + toUtf8(step.logPart) + "`");
    // With no adb.exe anywhere the program talks to the TV itself, and says so; nobody listens here.
    if (step.withoutAdb && app.logText().find(fromUtf8(kDirectPathLogLine)) == std::wstring::npos)
        fail(row, "the log does not say the built-in client is used");
    if (!everyRemovalLogged(app)) fail(row, "an uninstall command has no log line");
    if (lastLineIsBare(app.logText())) note(row, "finding: the last log line holds no answer");
    if (app.findMessageBox()) fail(row, "a box is still up");
    if (step.withoutAdb) fs::copy_file(FakeAdbScenario::adbExe(), adb);
    if (const std::string problem = goOn(app); !problem.empty()) fail(row, problem);
    else note(row, "went on: it worked");
    closeAndCheck(app, row, step.withoutAdb);
    return row;
}

// ---------------------------------------------------------------------------------------------
// Program folders with awkward names.

struct Folder {
    const wchar_t* namePart;
    const char* shown;
};

const Folder kFolders[] = {{L"with blank", "a blank"}, {L"a&b", "`&`"}, {L"电视工具", "Chinese characters"}};

Row folderCase(const Folder& folder) {
    Row row{std::string("Program folder with ") + folder.shown,
            "program in `oz-" + toUtf8(folder.namePart) + "-…`; Connect", "", "connects", ""};
    const AppUnderTest app(kAllSucceeds, folder.namePart);
    if (!app.connect(kTv) || !waitFor([&] { return logEndsWith(app, L"connected to 127.0.0.1:5555\r\n"); }))
        fail(row, "did not connect (" + buttons(app) + ")");
    row.figure = "log: `" + logOf(app) + "`";
    closeAndCheck(app, row);
    return row;
}

// ---------------------------------------------------------------------------------------------
// The user's own set-up of cmd.exe: a prompt of their own, an AutoRun command.

const std::wstring kConnectedThenUpdated = L"connected to 127.0.0.1:5555\r\n删除系统更新 ->Success\r\n";

// Connect and a system-update removal, each logging exactly its answer.
void connectAndRemove(const AppUnderTest& app, Row& row) {
    if (!app.connect(kTv) || !runRemoval(app, kRemoveSystemUpdateButtonId))
        fail(row, "the steps did not complete (" + buttons(app) + ")");
    row.figure = "log: `" + logOf(app) + "`";
    if (app.logText() != kConnectedThenUpdated) fail(row, "the log is not the two answers");
}

struct Setting {
    const char* shown;
    const wchar_t* value;
};

const Setting kPrompts[] = {{"`$P$G$S`", L"$P$G$S"}, {"colour `$E[32m$P$G$E[0m`", L"$E[32m$P$G$E[0m"}};

Row promptCase(const Setting& prompt) {
    Row row{std::string("User prompt ") + prompt.shown, "program started with PROMPT so; Connect; system-update removal",
            "", "both log their answer", ""};
    const ScopedEnvironment set(L"PROMPT", prompt.value);
    const AppUnderTest app(kAllSucceeds);
    connectAndRemove(app, row);
    closeAndCheck(app, row);
    return row;
}

// cmd.exe runs this at its start unless told /d, as the program's interpreter is.
class ScopedAutoRun {
public:
    explicit ScopedAutoRun(const wchar_t* command) {
        const auto bytes = static_cast<DWORD>((std::wcslen(command) + 1) * sizeof(wchar_t));
        set_ = ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"AutoRun", REG_SZ, command, bytes) == ERROR_SUCCESS;
    }
    ~ScopedAutoRun() { ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"AutoRun"); }
    ScopedAutoRun(const ScopedAutoRun&) = delete;
    ScopedAutoRun& operator=(const ScopedAutoRun&) = delete;
    bool set() const { return set_; }

private:
    static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Command Processor";
    bool set_ = false;
};

// Whether this system's cmd.exe runs AutoRun at all: `cmd /c echo probe` without /d.
bool autoRunHonoured() {
    const ScopedAutoRun autoRun(L"echo AUTORUN");
    const ProgramRun probe = runProgram(fs::path(systemDirectory()) / L"cmd.exe", L"/c echo probe", 10s);
    return autoRun.set() && probe.output.find("AUTORUN") != std::string::npos;
}

std::vector<Row> autoRunCases() {
    const bool honoured = autoRunHonoured();
    std::vector<Row> rows;
    for (const Setting& setting : {Setting{"`@echo off`", L"@echo off"}, Setting{"`echo AUTORUN`", L"echo AUTORUN"}}) {
        Row row{std::string("cmd AutoRun ") + setting.shown,
                "HKCU\\Software\\Microsoft\\Command Processor\\AutoRun set so; Connect; system-update removal", "",
                "both log their answer, no AutoRun output", ""};
        const ScopedAutoRun autoRun(setting.value);
        if (!autoRun.set()) fail(row, "AutoRun could not be set");
        const AppUnderTest app(kAllSucceeds);
        connectAndRemove(app, row);
        note(row, honoured ? "this cmd.exe runs AutoRun (`cmd /c` without /d printed it): the row tests /d"
                           : "not really tested: this cmd.exe ignores AutoRun (`cmd /c echo probe` without /d did not "
                             "print AUTORUN, as Wine's never does), so the row shows only that the setting does no harm");
        closeAndCheck(app, row);
        rows.push_back(row);
    }
    return rows;
}

// ---------------------------------------------------------------------------------------------
// Answers that are awkward to read: a zero byte, a line ending in '>' like a prompt.

struct AnswerCase {
    const char* what;
    const char* rule;              // for the system-update removal
    const wchar_t* updateLogLine;  // what the log must show for it
};

const AnswerCase kAnswerCases[] = {
    {"answer with a zero byte", "uninstall com.xiaomi.mitv.upgrade: raw before\\0after\\nmore\\n",
     L"删除系统更新 ->beforeafter\r\nmore\r\n"},
    {"answer line ending in `>`", "uninstall com.xiaomi.mitv.upgrade: raw working x>", L"删除系统更新 ->working x>\r\n"},
};

Row answerCase(const AnswerCase& step) {
    Row row{std::string("adb: ") + step.what,
            std::string("Connect; system-update removal answered by `") + step.rule + "`; then the boot-ads removal", "",
            "the whole answer logged, zero bytes left out; the next action logs its own answers", ""};
    const AppUnderTest app(kAllSucceeds + "\n" + step.rule);
    const bool done = app.connect(kTv) && runRemoval(app, kRemoveSystemUpdateButtonId) &&
                      runRemoval(app, kRemoveBootAdsButtonId);
    const std::wstring expected = L"connected to 127.0.0.1:5555\r\n" + std::wstring(step.updateLogLine) +
                                  L"删除开机广告 -> Success\r\n删除开机广告 -> Success\r\n";
    row.figure = "log: `" + logOf(app) + "`";
    if (!done) fail(row, "the steps did not complete (" + buttons(app) + ")");
    if (app.logText() != expected) fail(row, "the log is not `" + toUtf8(expected) + "`");
    closeAndCheck(app, row);
    return row;
}

// ---------------------------------------------------------------------------------------------
// The cleanup while an action waits on adb, perhaps with another click queued behind it.

struct CutCase {
    const CloseCase& waiting;
    int queued;  // a second click, queued behind the waiting action (0: none)
};

const CutCase kCutCases[] = {
    {kCloseCases[0], 0},
    {kCloseCases[1], kRemoveSystemUpdateButtonId},
    {kCloseCases[2], kRemoveBootAdsButtonId},
};

bool interpretersRun() { return countProcesses(L"cmd.exe") + countProcesses(L"adb.exe") > 0; }

// None is left, and none starts for a second.
bool noneRunsNorStarts() {
    if (!waitFor([] { return !interpretersRun(); }, 3s)) return false;
    return !waitFor(interpretersRun, 1s);
}

Row cutCase(const CutCase& step) {
    const std::string queued = step.queued == kRemoveBootAdsButtonId ? ", boot-ads removal queued"
                               : step.queued                          ? ", system-update removal queued"
                                                                      : "";
    Row row{std::string("Cleanup during ") + step.waiting.what + queued,
            std::string("the cleanup clicked while ") + step.waiting.what + queued + "; OK on its summary", "",
            "the log says the command was cut short; nothing queued is sent; no cmd.exe or adb.exe left or started "
            "within 1 s; then the user goes on",
            ""};
    const AppUnderTest app(kAllSucceeds + "\n" + step.waiting.rules);
    if (!bringToWaitingState(app, step.waiting)) return fail(row, "the action did not start (" + buttons(app) + ")"), row;
    if (step.queued && !app.click(step.queued)) fail(row, "the second click was not taken");
    const std::size_t calls = app.adbCalls().size();
    if (!app.click(kCloseLeftoversButtonId)) return fail(row, "the cleanup takes no click"), row;
    if (const auto box = app.waitForMessageBox(kCleanupSummary)) {
        row.figure = "summary: `" + toUtf8(box->text) + "`";
        app.pressOk(*box);
    } else {
        fail(row, "no cleanup summary");
    }
    if (const int more = dismissBoxes(app, 1s)) fail(row, std::to_string(more) + " more box(es) came");
    if (!noneRunsNorStarts()) fail(row, "cmd.exe or adb.exe runs afterwards: " + leftovers());
    if (app.adbCalls().size() != calls) fail(row, "adb received more after the cleanup");
    if (app.logText().find(kInterrupted) == std::wstring::npos)
        fail(row, "the log does not say the command was cut short");
    row.figure += "; log: `" + logOf(app) + "`";
    if (const std::string problem = goOn(app); !problem.empty()) fail(row, problem);
    else note(row, "went on: it worked");
    closeAndCheck(app, row);
    return row;
}

// ---------------------------------------------------------------------------------------------
// adb.exe processes that end on their own while the cleanup runs: only those it ended count.

constexpr int kSelfEnding = 20;
constexpr DWORD kOwnExitCode = 7;  // the cleanup's TerminateProcess leaves 0

// Started beside the program, each ending on its own after i × 100 ms, output to NUL.
std::vector<UniqueHandle> startSelfEndingAdbs(const AppUnderTest& app) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const UniqueFileHandle nul(::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr));
    std::vector<UniqueHandle> processes;
    for (int i = 0; i < kSelfEnding; ++i) {
        std::wstring commandLine = L"\"" + (app.folder() / L"adb.exe").wstring() + L"\" shell w" + std::to_wstring(i);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = nul.get();
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                              &startup, &info))
            continue;
        const UniqueHandle thread(info.hThread);
        processes.emplace_back(info.hProcess);
    }
    return processes;
}

std::string selfEndingRules() {
    std::string rules = kAllSucceeds;
    for (int i = 0; i < kSelfEnding; ++i)
        rules += "\nshell w" + std::to_string(i) + ": delay " + std::to_string(i * 100) + " exit " +
                 std::to_string(kOwnExitCode) + " text w";
    return rules;
}

Row selfEndingCase() {
    Row row{"Cleanup while adb.exe processes end on their own",
            std::to_string(kSelfEnding) + " adb.exe started beside the program, ending by themselves after 0 to " +
                std::to_string((kSelfEnding - 1) * 100) + " ms (exit code 7); the cleanup clicked once all run",
            "", "the summary counts exactly the adb.exe the cleanup ended (exit code 0), not those gone by themselves",
            ""};
    const AppUnderTest app(selfEndingRules());
    const std::vector<UniqueHandle> adbs = startSelfEndingAdbs(app);
    if (adbs.size() != kSelfEnding || !waitFor([&] { return app.adbCalls().size() == kSelfEnding; }))
        return fail(row, "the adb.exe processes did not all start"), row;
    if (!app.click(kCloseLeftoversButtonId)) return fail(row, "the cleanup takes no click"), row;
    const auto box = app.waitForMessageBox(kCleanupSummary);
    if (!box) return fail(row, "no cleanup summary"), row;
    app.pressOk(*box);
    int counted = -1, interpreters = -1;
    std::swscanf(box->text.c_str(), L"一共关闭 %d 个cmd.exe程序 一共关闭 %d adb.exe程序", &interpreters, &counted);
    int ended = 0, byThemselves = 0;
    for (const UniqueHandle& adb : adbs) {
        DWORD code = STILL_ACTIVE;
        if (::WaitForSingleObject(adb.get(), 10000) == WAIT_OBJECT_0) ::GetExitCodeProcess(adb.get(), &code);
        if (code == 0) ++ended;
        else if (code == kOwnExitCode) ++byThemselves;
    }
    row.figure = "ended by the cleanup " + std::to_string(ended) + ", by themselves " + std::to_string(byThemselves) +
                 "; summary: `" + toUtf8(box->text) + "`";
    if (ended + byThemselves != kSelfEnding) fail(row, "an adb.exe ended otherwise, or not at all");
    if (counted != ended) fail(row, "the summary counts " + std::to_string(counted) + " adb.exe");
    if (interpreters != 1) fail(row, "the summary counts " + std::to_string(interpreters) + " cmd.exe, not the program's own");
    closeAndCheck(app, row);
    return row;
}

// ---------------------------------------------------------------------------------------------

// One run of a group; a driver failure (no window, say) is a failed row of its own.
std::vector<Row> runOnce(const char* name, const std::function<std::vector<Row>()>& group) {
    try {
        if (!nothingRuns()) throw std::runtime_error("processes of an earlier case still run: " + leftovers());
        return group();
    } catch (const std::exception& failure) {
        Row row{name, "", "", "", ""};
        fail(row, failure.what());
        return {row};
    }
}

std::string failuresOf(const std::vector<Row>& rows) {
    std::string out;
    for (const Row& row : rows)
        if (!row.ok) out += (out.empty() ? "" : "; ") + row.name + ": " + row.result;
    return out;
}

// A group that failed while Wine's cmd.exe could not start adb.exe runs once more; its rows then
// say what the first run met. Any other failure, or one in the second run, stands.
void runGroup(const char* name, const std::function<std::vector<Row>()>& group, std::vector<Row>& all) {
    std::printf("== %s\n", name);
    std::fflush(stdout);
    const double began = nowMs();
    const std::size_t lostBefore = lostStarts().size();
    std::vector<Row> rows = runOnce(name, group);
    const std::string failures = failuresOf(rows);
    if (!failures.empty() && lostStarts().size() > lostBefore) {
        const std::string lost = lostStarts().back();
        std::printf("   Wine's cmd.exe could not start adb.exe (%s): the group runs again\n", lost.c_str());
        rows = runOnce(name, group);
        for (Row& row : rows)
            note(row, "finding: the first run failed (" + failures + ") where Wine's cmd.exe could not start the adb.exe "
                      "beside it (`" + lost + "`); run again");
    }
    for (Row& row : rows) {
        print(row);
        all.push_back(std::move(row));
    }
    std::printf("   (%s took %.1f s)\n", name, (nowMs() - began) / 1000);
}

template <class Make>
std::function<std::vector<Row>()> single(Make make) {
    return [make] { return std::vector<Row>{make()}; };
}

int runSuite() {
    std::vector<Row> rows;
    runGroup("interpreter killed", single(interpreterKilledCase), rows);
    for (const CloseCase& step : kCloseCases)
        for (const CloseWay& way : kCloseWays)
            runGroup(step.what, single([&] { return closeCase(step, way); }), rows);
    runGroup("hostile IP texts", hostileIpCases, rows);
    for (const AdbCase& step : kAdbCases) runGroup(step.what, single([&] { return adbCase(step); }), rows);
    for (const Folder& folder : kFolders) runGroup(folder.shown, single([&] { return folderCase(folder); }), rows);
    for (const Setting& prompt : kPrompts) runGroup(prompt.shown, single([&] { return promptCase(prompt); }), rows);
    runGroup("AutoRun", autoRunCases, rows);
    for (const AnswerCase& step : kAnswerCases) runGroup(step.what, single([&] { return answerCase(step); }), rows);
    for (const CutCase& step : kCutCases) runGroup(step.waiting.what, single([&] { return cutCase(step); }), rows);
    runGroup("adb.exe ending on their own", single(selfEndingCase), rows);
    const auto failed = std::count_if(rows.begin(), rows.end(), [](const Row& row) { return !row.ok; });
    std::printf("RESULT %zu cases, %lld failed\n", rows.size(), static_cast<long long>(failed));
    return failed ? 1 : 0;
}

}  // namespace

int main() {
    std::printf("code pages: OEM %u, ANSI %u\n", ::GetOEMCP(), ::GetACP());  // scripts/reliability.sh reads them
    if (!nothingRuns()) {
        std::printf("Ozarith.exe, cmd.exe or adb.exe already run in this prefix (%s): stop them first\n", leftovers().c_str());
        return 2;
    }
    return runSuite();
}
