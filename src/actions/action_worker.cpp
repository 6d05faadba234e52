#include "actions/action_worker.h"

#include "actions/leftover_cleanup_win.h"
#include "console/console_host_win.h"
#include "runtime/system_info_win.h"
#include "runtime/text_win.h"

namespace oz {
namespace {

// What the log shows for an answer: adb's bare LF line ends made CR LF, decoded for display.
std::wstring displayText(std::string_view answer) {
    return decodeAnswer(logTextFromAnswer(answer, consoleLeadBytes()));
}

std::wstring logLine(std::string_view lineUtf8) {
    return fromUtf8(lineUtf8) + L"\r\n";
}

// The folder in the console's code page, or as its short name where that code page cannot
// spell it.
std::string spelledForConsole(const std::wstring& directory, const ConsoleText& spelled) {
    if (spelled.lossless) return spelled.bytes;
    std::wstring shortName(MAX_PATH, L'\0');
    const DWORD length = ::GetShortPathNameW(directory.c_str(), shortName.data(), MAX_PATH);
    return length > 0 && length < MAX_PATH ? toConsoleCodePage(shortName.substr(0, length)) : spelled.bytes;
}

// cmd.exe takes at most 8191 characters a line (Wine warns from 8191 on); it runs the rest of a
// longer line as a command of its own, which no character check would have seen. One byte is
// at most one character, so counting bytes is safe in double-byte code pages too.
constexpr std::size_t kLongestCommandLine = 8190;

bool fitsOneCommandLine(std::string_view command) { return command.size() <= kLongestCommandLine; }

}  // namespace

ActionWorker::ActionWorker(std::shared_ptr<ConsoleHost> console, ActionView& view, std::wstring runDirectory)
    : console_(std::move(console)), view_(view) {
    const ConsoleText directory = toConsoleText(runDirectory);
    runDirectoryBytes_ = directory.bytes;
    moveCommand_ = moveToFolderCommand(spelledForConsole(runDirectory, directory));
}

bool ActionWorker::usesInterpreter(int code) {
    return code == ACTION_CONNECT || code == ACTION_REMOVE_BOOT_ADS || code == ACTION_REMOVE_SYSTEM_UPDATE;
}

// A cleanup counts from its click: what was clicked before it, running or still queued, ends
// without sending anything more.
ActionWorker::Request ActionWorker::request(int code, std::wstring ip) {
    if (code == ACTION_CLOSE_LEFTOVERS) ++cleanups_;
    Request request{code, std::move(ip), 0};
    request.cleanupsBefore = cleanups_;
    if (usesInterpreter(code)) request.ticket = turns_.draw();
    return request;
}

ActionWorker::Request ActionWorker::interpreterStart() {
    Request request{0, {}, turns_.draw()};
    request.startsInterpreter = true;
    request.cleanupsBefore = cleanups_;
    return request;
}

void ActionWorker::runAction(const Request& request) {
    if (request.code == ACTION_CLOSE_LEFTOVERS) return closeLeftovers();
    if (!usesInterpreter(request.code) && !request.startsInterpreter) return;
    // Taken even by an action that ends early, so the clicks behind it are not held up.
    TurnQueue::Turn turn(turns_, request.ticket);
    // Clicked before a cleanup that came first: it ends without a trace.
    if (cancelled(request)) return;
    if (request.startsInterpreter) return startInterpreter();
    switch (request.code) {
    case ACTION_CONNECT: return connect(request);
    case ACTION_REMOVE_BOOT_ADS: return removeBootAds(request);
    case ACTION_REMOVE_SYSTEM_UPDATE: return removeSystemUpdate(request);
    default: return;
    }
}

void ActionWorker::shutDown() {
    {
        std::lock_guard lock(viewGate_);
        closing_ = true;
    }
    console_->stop();
}

void ActionWorker::abandon(const Request& request) {
    if (usesInterpreter(request.code) || request.startsInterpreter) turns_.skip(request.ticket);
}

void ActionWorker::startInterpreter() {
    if (closing_) return;
    console_->start();
    // shutDown sets closing_ before it stops the console: a start that ended after that stop
    // sees it here.
    if (closing_) console_->stop();
}

void ActionWorker::connect(const Request& request) {
    setDisabled(ACTION_CONNECT, true);
    const std::string ipBytes = toConsoleCodePage(request.ip);
    const std::string command = connectCommand(ipBytes);
    // Checked on what is typed and on the bytes that would be sent: a best-fit conversion must
    // not turn a harmless-looking character into a metacharacter.
    if (!isSafeForCommandLine(toUtf8(request.ip)) || !isSafeForCommandLine(ipBytes) || !fitsOneCommandLine(command)) {
        message(kUnsafeIpMessage, MB_OK | MB_ICONWARNING, false);
        setDisabled(ACTION_CONNECT, false);
        return;
    }
    const Reply reply = exchange(request, command);
    // A cleanup clicked meanwhile has enabled Connect again and greyed the removals: the
    // buttons stay as it left them.
    if (!cancelled(request)) return connected(reply);
    if (reply.outcome != Outcome::notSent) log(fromUtf8(reply.text) + L"\r\n");
}

void ActionWorker::connected(const Reply& reply) {
    if (reply.outcome == Outcome::answered && connectSucceeded(reply.text)) {
        setDisabled(ACTION_REMOVE_SYSTEM_UPDATE, false);
        setDisabled(ACTION_REMOVE_BOOT_ADS, false);
    } else if (reply.outcome == Outcome::answered) {
        message(kConnectFailedMessage, MB_OK, false);
        setDisabled(ACTION_CONNECT, false);
    } else {
        setDisabled(ACTION_CONNECT, false);
    }
    if (reply.outcome != Outcome::notSent) log(fromUtf8(reply.text) + L"\r\n");
}

// "adb" must resolve to the tool in the program's own folder first, so the interpreter has to
// work there. A cleanup may have ended the interpreter: it is restarted, in the process's
// current directory, which need not be the program's folder. Returns false once the window is
// closing, or when the interpreter shows no prompt in time.
bool ActionWorker::moveToRunDirectory() {
    if (closing_) return false;
    console_->restartIfEnded();
    // Right after the window starts its interpreter, the first prompt may not have come yet;
    // probing for it then would leave it to end the next answer early. It is waited for instead.
    if (console_->prompt().empty() && !console_->awaitPrompt(ConsoleHost::kFirstPromptLimitMs)) {
        console_->stop();  // the next click starts a fresh one
        log(logLine(kNoPromptLogLine));
        return false;
    }
    const std::string prompt = console_->prompt();
    if (prompt != movedPrompt_ && !promptShowsDirectory(prompt, runDirectoryBytes_)) {
        console_->moveTo(moveCommand_);
        movedPrompt_ = console_->prompt();
    }
    if (!closing_) return true;
    // The window closed while this ran: an interpreter restarted after its stop must not stay.
    console_->stop();
    return false;
}

ActionWorker::Reply ActionWorker::exchange(const Request& request, std::string_view command) {
    if (cancelled(request) || !moveToRunDirectory()) return {};
    console_->sendCommand(command);
    const std::string answer = toUtf8(displayText(console_->readOutput()));
    if (console_->lastAnswerComplete()) return {Outcome::answered, answer};
    return {Outcome::interrupted, interruptedAnswer(answer)};
}

void ActionWorker::removeBootAds(const Request& request) {
    setDisabled(ACTION_REMOVE_BOOT_ADS, true);
    const Reply first = exchange(request, kUninstallSystemAdSolution);
    if (first.outcome != Outcome::notSent) log(logLine(bootAdsLogLine(first.text, false)));
    if (first.outcome == Outcome::answered) {
        const Reply second = exchange(request, kUninstallMitvAdvertise);
        if (second.outcome != Outcome::notSent) log(logLine(bootAdsLogLine(second.text, true)));
    }
    finishRemoval(request, ACTION_REMOVE_BOOT_ADS);
}

void ActionWorker::removeSystemUpdate(const Request& request) {
    setDisabled(ACTION_REMOVE_SYSTEM_UPDATE, true);
    const Reply reply = exchange(request, kUninstallMitvUpgrade);
    if (reply.outcome != Outcome::notSent) log(logLine(systemUpdateLogLine(reply.text)));
    finishRemoval(request, ACTION_REMOVE_SYSTEM_UPDATE);
}

// A cleanup greys the removals until the next Connect: a removal it cut short leaves them so.
void ActionWorker::finishRemoval(const Request& request, ActionCode button) {
    if (!cancelled(request)) setDisabled(button, false);
}
void ActionWorker::closeLeftovers() {
    setDisabled(ACTION_CONNECT, false);
    setDisabled(ACTION_REMOVE_SYSTEM_UPDATE, true);
    setDisabled(ACTION_REMOVE_BOOT_ADS, true);
    message(closeLeftoverPrograms(), MB_OK | MB_ICONINFORMATION, true);
}

// Writes are posted to the window and return at once, so shutDown may wait for one in progress;
// once it has returned, none starts. A box is not waited for (it stays up until dismissed), so
// only its check is guarded.
void ActionWorker::log(const std::wstring& line) {
    std::lock_guard lock(viewGate_);
    if (!closing_) view_.appendLog(line);
}

void ActionWorker::setDisabled(ActionCode button, bool disabled) {
    std::lock_guard lock(viewGate_);
    if (!closing_) view_.setButtonDisabled(button, disabled);
}

void ActionWorker::message(std::string_view textUtf8, unsigned flags, bool ownedByWindow) {
    {
        std::lock_guard lock(viewGate_);
        if (closing_) return;
    }
    view_.showMessage(textUtf8, flags, ownedByWindow);
}

}  // namespace oz
