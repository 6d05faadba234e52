// The built-in adb client in the worker's hands: the same log lines and boxes as with adb.exe.
#include "actions/action_worker.h"
#include "actions/action_worker_parts.h"
#include "runtime/handles_win.h"

namespace oz {

void ActionWorker::connectDirect(const Request& request, const std::string& address) {
    DirectConnectResult result;
    withStop(request, [&](HANDLE stop) {
        result = direct_.connect(address, stop, [this] { log(logLine(kAcceptPromptLogLine)); });
    });
    if (over(request)) {
        if (result.outcome == DirectAdbOutcome::Stopped) log(logLine(interruptedAnswer({})));
        return;
    }
    if (result.outcome == DirectAdbOutcome::Connected) {
        connected(result.address, address);
        return log(logLine("connected to " + result.address));
    }
    if (result.outcome != DirectAdbOutcome::OwnerDidNotAllow) {
        const std::string why(outcomeText(result.outcome));
        return refused(result.detail.empty() ? why : why + kCrLf.data() + result.detail);
    }
    message(kAuthorizationTimeoutMessage, MB_OK | MB_ICONWARNING, ActionView::BoxOwner::none);
    setDisabled(ACTION_CONNECT, false);
}

// The TV's answer as the log shows it; a command cut short says why.
ActionWorker::Reply ActionWorker::directShell(const Request& request, std::string_view command) {
    if (over(request)) return {};
    DirectShellResult result;
    withStop(request, [&](HANDLE stop) { result = direct_.shell(command, stop); });
    if (result.outcome == DirectAdbOutcome::Finished)
        return {Outcome::answered, logTextFromAnswer(result.output, LeadBytes::none())};
    if (result.outcome == DirectAdbOutcome::Stopped) return {Outcome::interrupted, interruptedAnswer({})};
    return {Outcome::interrupted, std::string(outcomeText(result.outcome))};
}

// A cleanup or the close sets the stop event of the call in progress; one that came before the
// call is seen by it at once.
void ActionWorker::withStop(const Request& request, const std::function<void(HANDLE stop)>& call) {
    const UniqueHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    {
        std::lock_guard lock(stopMutex_);
        currentStop_ = stop.get();
    }
    if (over(request)) ::SetEvent(stop.get());
    call(stop.get());
    std::lock_guard lock(stopMutex_);
    currentStop_ = nullptr;
}

ActionWorker::Reply ActionWorker::onTv(const Request& request, std::string_view interpreterCommand,
                                      std::string_view shellCommand) {
    return usingDirect_ ? directShell(request, shellCommand) : exchange(request, interpreterCommand);
}

}  // namespace oz
