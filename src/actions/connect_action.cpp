// Connect: the address as typed, adb's answer, and whether the TV really lets us in.
#include "actions/action_worker.h"
#include "actions/action_worker_parts.h"
#include "runtime/adb_presence_win.h"
#include "runtime/text_win.h"

namespace oz {
namespace {

// cmd.exe takes at most 8191 characters a line (Wine warns from 8191 on); it runs the rest of a
// longer line as a command of its own, which no character check would have seen. One byte is
// at most one character, so counting bytes is safe in double-byte code pages too.
constexpr std::size_t kLongestCommandLine = 8190;

bool reportsConnection(std::string_view answer) { return connectSucceeded(answer) || authenticationFailed(answer); }

}  // namespace

void ActionWorker::connect(const Request& request) {
    setDisabled(ACTION_CONNECT, true);
    const std::string address = normaliseAddress(request.ip);
    const std::string addressBytes = toConsoleCodePage(fromUtf8(address));
    const std::string command = connectCommand(addressBytes);
    // Checked on what is typed and on the bytes that would be sent: a best-fit conversion must
    // not turn a harmless-looking character into a metacharacter.
    if (!isSafeForCommandLine(address) || !isSafeForCommandLine(addressBytes) || command.size() > kLongestCommandLine) {
        message(kUnsafeIpMessage, MB_OK | MB_ICONWARNING, ActionView::BoxOwner::none);
        setDisabled(ACTION_CONNECT, false);
        return;
    }
    usingDirect_ = !adbExeAvailable(runDirectory_);
    if (!usingDirect_) return connectTo(request, address, addressBytes);
    if (!std::exchange(toldDirect_, true)) log(logLine(kDirectPathLogLine));
    connectDirect(request, address);
}

void ActionWorker::connectTo(const Request& request, const std::string& address, const std::string& addressBytes) {
    const Reply reply = exchange(request, connectCommand(addressBytes));
    // A cleanup clicked meanwhile has enabled Connect again and greyed the removals: the
    // buttons stay as it left them.
    if (cancelled(request)) {
        if (reply.outcome != Outcome::notSent) log(logLine(reply.text));
        return;
    }
    if (reply.outcome == Outcome::notSent) return setDisabled(ACTION_CONNECT, false);
    if (reply.outcome == Outcome::interrupted || !reportsConnection(reply.text)) {
        if (reply.outcome == Outcome::answered) return refused(reply.text);
        setDisabled(ACTION_CONNECT, false);
        return log(logLine(reply.text));
    }
    const std::string serial = connectedSerial(reply.text).value_or(connectTarget(addressBytes));
    const Admission admission = admitted(request, serial, reply.text);
    if (admission == Admission::in || admission == Admission::inAfterOwner) connected(serial, address);
    // Logged last, as a failure's is after its box: the log then reads in the order things happened.
    if (admission == Admission::in) log(logLine(reply.text));
}

// "connected to" comes before the TV has let this computer in: its state says whether it has.
// While the owner has not answered its prompt, the TV is asked again about once a second.
ActionWorker::Admission ActionWorker::admitted(const Request& request, const std::string& serial,
                                               const std::string& connectAnswer) {
    Reply state = exchange(request, getStateCommand(serial));
    const bool waiting = state.outcome == Outcome::answered && deviceState(state.text) == DeviceState::unauthorized;
    const bool ownerAsked = waiting || authenticationFailed(connectAnswer);
    if (ownerAsked) {
        log(logLine(connectAnswer));
        log(logLine(kAcceptPromptLogLine));
        if (waiting) state = awaitOwner(request, serial);
    }
    if (over(request)) return Admission::gaveUp;
    if (state.outcome == Outcome::answered && deviceState(state.text) == DeviceState::device)
        return ownerAsked ? Admission::inAfterOwner : Admission::in;
    if (state.outcome == Outcome::answered && deviceState(state.text) == DeviceState::unauthorized) {
        message(kAuthorizationTimeoutMessage, MB_OK | MB_ICONWARNING, ActionView::BoxOwner::none);
        setDisabled(ACTION_CONNECT, false);
        return Admission::gaveUp;
    }
    refused(waiting ? state.text : connectAnswer + std::string(kCrLf) + state.text);
    return Admission::refused;
}

ActionWorker::Reply ActionWorker::awaitOwner(const Request& request, const std::string& serial) {
    Reply state;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ownerWait_.limitMs);
    while (std::chrono::steady_clock::now() < deadline && pause(request, ownerWait_.askEveryMs)) {
        state = exchange(request, getStateCommand(serial));
        if (state.outcome != Outcome::answered || deviceState(state.text) != DeviceState::unauthorized) break;
    }
    return state;
}

// The box first, then the log, and Connect takes clicks again once the box is gone.
void ActionWorker::refused(const std::string& logText) {
    message(kConnectFailedMessage, MB_OK, ActionView::BoxOwner::none);
    setDisabled(ACTION_CONNECT, false);
    log(logLine(logText));
}

void ActionWorker::connected(const std::string& serial, const std::string& address) {
    serial_ = serial;
    view_.rememberAddress(address);
    setDisabled(ACTION_REMOVE_SYSTEM_UPDATE, false);
    setDisabled(ACTION_REMOVE_BOOT_ADS, false);
}

}  // namespace oz
