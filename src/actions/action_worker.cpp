#include "actions/action_worker.h"

#include "actions/action_worker_parts.h"
#include "actions/leftover_cleanup_win.h"
#include "console/console_host_win.h"
#include "runtime/system_info_win.h"
#include "runtime/text_win.h"

namespace oz {

std::string logLine(std::string_view lineUtf8) { return std::string(lineUtf8) + std::string(kCrLf); }

namespace {

// The folder in the console's code page, or as its short name where that code page cannot
// spell it.
std::string spelledForConsole(const std::wstring& directory, const ConsoleText& spelled) {
    if (spelled.lossless) return spelled.bytes;
    std::wstring shortName(MAX_PATH, L'\0');
    const DWORD length = ::GetShortPathNameW(directory.c_str(), shortName.data(), MAX_PATH);
    return length > 0 && length < MAX_PATH ? toConsoleCodePage(shortName.substr(0, length)) : spelled.bytes;
}

}  // namespace

ActionWorker::ActionWorker(std::shared_ptr<ConsoleHost> console, ActionView& view, std::wstring runDirectory,
                           OwnerWait ownerWait)
    : console_(std::move(console)),
      view_(view),
      leadBytes_(consoleLeadBytes()),
      runDirectory_(runDirectory),
      ownerWait_(ownerWait) {
    const ConsoleText directory = toConsoleText(runDirectory);
    runDirectoryBytes_ = directory.bytes;
    moveCommand_ = moveToFolderCommand(spelledForConsole(runDirectory, directory));
}

bool ActionWorker::usesInterpreter(int code) {
    return code == ACTION_CONNECT || code == ACTION_REMOVE_BOOT_ADS || code == ACTION_REMOVE_SYSTEM_UPDATE ||
           code == ACTION_RESTORE_BOOT_ADS || code == ACTION_RESTORE_SYSTEM_UPDATE;
}

// A cleanup counts from its click: what was clicked before it, running or still queued, ends
// without sending anything more.
ActionWorker::Request ActionWorker::request(int code, std::string ipUtf8) {
    if (code == ACTION_CLOSE_LEFTOVERS) {
        ++cleanups_;
        endWaits();
    }
    Request request{code, std::move(ipUtf8), 0};
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
    case ACTION_REMOVE_BOOT_ADS: return removePackages(request, PackageGroup::bootAds);
    case ACTION_REMOVE_SYSTEM_UPDATE: return removePackages(request, PackageGroup::systemUpdate);
    case ACTION_RESTORE_BOOT_ADS: return restorePackages(request, PackageGroup::bootAds);
    case ACTION_RESTORE_SYSTEM_UPDATE: return restorePackages(request, PackageGroup::systemUpdate);
    default: return;
    }
}

void ActionWorker::shutDown() {
    {
        std::lock_guard lock(viewGate_);
        closing_ = true;
    }
    endWaits();
    console_->stop();
}

// A cleanup or the close has just been counted: a pause sees it as soon as it wakes (taking the
// lock after the change is what makes the wake-up certain), and the built-in client's call in
// progress ends at its stop event.
void ActionWorker::endWaits() {
    {
        std::lock_guard lock(wakeMutex_);
        wake_.notify_all();
    }
    std::lock_guard lock(stopMutex_);
    if (currentStop_) ::SetEvent(currentStop_);
}

bool ActionWorker::pause(const Request& request, unsigned ms) {
    std::unique_lock lock(wakeMutex_);
    return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return over(request); });
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
    // As the log shows it: adb's bare LF line ends made CR LF, each line decoded to UTF-8.
    const std::string answer = decodeAnswer(logTextFromAnswer(console_->readOutput(), leadBytes_));
    if (console_->lastAnswerComplete()) return {Outcome::answered, answer};
    return {Outcome::interrupted, interruptedAnswer(answer)};
}

void ActionWorker::closeLeftovers() {
    setDisabled(ACTION_CONNECT, false);
    setDisabled(ACTION_REMOVE_SYSTEM_UPDATE, true);
    setDisabled(ACTION_REMOVE_BOOT_ADS, true);
    message(closeLeftoverPrograms(), MB_OK | MB_ICONINFORMATION, ActionView::BoxOwner::window);
}

// Writes are posted to the window and return at once, so shutDown may wait for one in progress;
// once it has returned, none starts. A box is not waited for (it stays up until dismissed), so
// only its check is guarded.
void ActionWorker::log(std::string_view line) {
    std::lock_guard lock(viewGate_);
    if (!closing_) view_.appendLog(line);
}

void ActionWorker::setDisabled(ActionCode button, bool disabled) {
    std::lock_guard lock(viewGate_);
    if (!closing_) view_.setButtonDisabled(button, disabled);
}

void ActionWorker::message(std::string_view textUtf8, unsigned flags, ActionView::BoxOwner owner) {
    {
        std::lock_guard lock(viewGate_);
        if (closing_) return;
    }
    view_.showMessage(textUtf8, flags, owner);
}

}  // namespace oz
