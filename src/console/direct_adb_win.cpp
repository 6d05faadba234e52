#include "console/direct_adb_win.h"

#include <utility>

#include "core/adb_address.h"
#include "core/adb_status.h"
#include "runtime/deadline_win.h"

namespace oz {
namespace {

bool isSet(HANDLE stop) { return stop != nullptr && ::WaitForSingleObject(stop, 0) == WAIT_OBJECT_0; }

DirectAdbOutcome outcomeOfOpen(NetStatus status) {
    switch (status) {
        case NetStatus::Ok: return DirectAdbOutcome::Connected;
        case NetStatus::Stopped: return DirectAdbOutcome::Stopped;
        case NetStatus::TimedOut: return DirectAdbOutcome::TimedOut;
        case NetStatus::Refused: return DirectAdbOutcome::Refused;
        case NetStatus::NameNotFound: return DirectAdbOutcome::NameNotFound;
        case NetStatus::Unreachable:
        case NetStatus::Closed:
        case NetStatus::Failed: return DirectAdbOutcome::Unreachable;
    }
    return DirectAdbOutcome::Unreachable;
}

}  // namespace

// What one connect or shell call is waiting for, and what it has got.
struct DirectAdb::Call {
    ULONGLONG deadline = 0;
    DirectAdbOutcome whenLate = DirectAdbOutcome::TimedOut;
    const WaitingForOwner* onWaitingForOwner = nullptr;
    std::string text;
    bool truncated = false;
    std::string detail;
};

DirectConnectResult DirectAdb::connect(std::string_view address, HANDLE stop, const WaitingForOwner& onWaitingForOwner) {
    close();
    DirectConnectResult result;
    const std::optional<AdbAddress> parsed = parseAdbAddress(address);
    if (!parsed) return {DirectAdbOutcome::BadAddress, {}, {}, {}};
    result.address = displayAdbAddress(*parsed);
    if (const std::optional<DirectAdbOutcome> unprepared = prepare(result.detail)) {
        result.outcome = *unprepared;
        return result;
    }
    result.outcome = outcomeOfOpen(socket_.open(parsed->host, parsed->port, stop, limits_.connectMs));
    if (result.outcome != DirectAdbOutcome::Connected) return result;
    client_.emplace(std::string(kAdbDefaultHostBanner), identity_->publicKeyText);
    Call call{deadlineAfter(limits_.handshakeMs), DirectAdbOutcome::TimedOut, &onWaitingForOwner, {}, false, {}};
    result.outcome = run(client_->start(), stop, call);
    if (result.outcome != DirectAdbOutcome::Connected) close();
    result.deviceBanner = std::move(call.text);
    result.detail = std::move(call.detail);
    return result;
}

// Winsock and the key, once for the object's life; what is missing, if anything.
std::optional<DirectAdbOutcome> DirectAdb::prepare(std::string& detail) {
    if (!winsock_) winsock_ = startWinsock();
    if (!winsock_) return DirectAdbOutcome::NetworkUnavailable;
    if (identity_) return std::nullopt;
    KeyStoreResult stored = loadOrCreateAdbKey();
    if (!stored.identity) {
        detail = describe(stored.status);
        return DirectAdbOutcome::KeyUnavailable;
    }
    identity_ = std::move(stored.identity);
    return std::nullopt;
}

DirectShellResult DirectAdb::shell(std::string_view command, HANDLE stop) {
    if (!connected()) return {DirectAdbOutcome::NotConnected, {}, false, {}};
    Call call{deadlineAfter(limits_.commandMs), DirectAdbOutcome::NoAnswer, nullptr, {}, false, {}};
    const DirectAdbOutcome outcome = run(client_->runShell(command), stop, call);
    // A command cut short leaves the stream half open; this client runs one at a time.
    if (client_->state() != AdbState::Connected) close();
    return {outcome, std::move(call.text), call.truncated, std::move(call.detail)};
}

void DirectAdb::close() {
    client_.reset();
    socket_.close();
}

bool DirectAdb::connected() const { return client_ && client_->state() == AdbState::Connected && socket_.isOpen(); }

DirectAdbOutcome DirectAdb::run(AdbStep first, HANDLE stop, Call& call) {
    std::optional<DirectAdbOutcome> done = apply(std::move(first), stop, call);
    std::string bytes;
    while (!done) {
        if (isSet(stop)) return DirectAdbOutcome::Stopped;
        // A TV that keeps sending never lets a receive time out: the call's limit holds anyway.
        if (remainingMs(call.deadline) == 0) return call.whenLate;
        const NetStatus got = socket_.receive(bytes, stop, remainingMs(call.deadline));
        if (got == NetStatus::Ok) {
            done = apply(client_->onBytes(bytes), stop, call);
        } else if (got == NetStatus::Closed || got == NetStatus::Failed) {
            done = apply(client_->onPeerClosed(), stop, call);
        } else {
            return got == NetStatus::Stopped ? DirectAdbOutcome::Stopped : call.whenLate;
        }
    }
    return *done;
}

// The step's bytes go out before anything its events lead to. An answer that came whole still
// counts when acknowledging it fails.
std::optional<DirectAdbOutcome> DirectAdb::apply(AdbStep step, HANDLE stop, Call& call) {
    const NetStatus sent = step.send.empty() ? NetStatus::Ok : socket_.sendAll(step.send, stop, limits_.sendMs);
    for (AdbEvent& event : step.events) {
        if (std::optional<DirectAdbOutcome> done = handle(event, stop, call)) return done;
    }
    if (sent == NetStatus::Ok) return std::nullopt;
    return sent == NetStatus::Stopped ? DirectAdbOutcome::Stopped : DirectAdbOutcome::Dropped;
}

std::optional<DirectAdbOutcome> DirectAdb::handle(AdbEvent& event, HANDLE stop, Call& call) {
    switch (event.kind) {
        case AdbEventKind::SignToken: {
            const std::optional<std::string> signature = identity_->key.signSha1Digest(event.data);
            if (!signature) return DirectAdbOutcome::KeyUnavailable;
            return apply(client_->onSignature(*signature), stop, call);
        }
        case AdbEventKind::WaitingForOwner:
            call.deadline = deadlineAfter(limits_.ownerMs);
            call.whenLate = DirectAdbOutcome::OwnerDidNotAllow;
            if (call.onWaitingForOwner != nullptr && *call.onWaitingForOwner) (*call.onWaitingForOwner)();
            return std::nullopt;
        case AdbEventKind::Connected: call.text = std::move(event.data); return DirectAdbOutcome::Connected;
        case AdbEventKind::CommandFinished:
            call.text = std::move(event.data);
            call.truncated = event.truncated;
            return DirectAdbOutcome::Finished;
        case AdbEventKind::CommandRefused: return DirectAdbOutcome::CommandRefused;
        case AdbEventKind::CallRefused:
        case AdbEventKind::Ended: call.detail = std::string(describe(event.status)); return outcomeOfStatus(event.status);
    }
    return DirectAdbOutcome::ProtocolError;
}

}  // namespace oz
