#include "core/adb_client.h"

#include <algorithm>
#include <utility>

namespace oz {
namespace {

AdbStep refusedCall(AdbStatus status) {
    AdbStep step;
    step.events.push_back({AdbEventKind::CallRefused, status, {}, false});
    return step;
}

bool fitsHandshake(std::string_view payload) {
    return !payload.empty() && payload.size() <= kAdbMaxHandshakePayload;
}

std::string_view withoutTrailingNuls(std::string_view text) {
    const std::size_t last = text.find_last_not_of('\0');
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

}  // namespace

AdbClient::AdbClient(std::string hostBanner, std::string publicKeyText)
    : hostBanner_(std::move(hostBanner)), publicKeyText_(std::move(publicKeyText)) {}

AdbStep AdbClient::start() {
    if (state_ != AdbState::Idle) return refusedCall(AdbStatus::NotReady);
    // The key goes out with a NUL after it, which must end it and fit the handshake limit too.
    const bool keyUsable = fitsHandshake(publicKeyText_ + '\0') && publicKeyText_.find('\0') == std::string::npos;
    if (!fitsHandshake(hostBanner_) || publicKeyText_.empty() || !keyUsable) return refusedCall(AdbStatus::BadArgument);
    AdbStep step;
    send(step, A_CNXN, kAdbVersionSkipChecksum, kAdbMaxPayload, hostBanner_);
    state_ = AdbState::Handshake;
    return step;
}

AdbStep AdbClient::onBytes(std::string_view bytes) {
    AdbStep step;
    if (state_ == AdbState::Ended) return step;
    AdbDecoded decoded = decoder_.feed(bytes);
    for (const AdbMessage& message : decoded.messages) {
        handle(message, step);
        if (state_ == AdbState::Ended) return step;
    }
    if (decoded.status != AdbStatus::Ok) end(step, decoded.status);
    return step;
}

AdbStep AdbClient::onSignature(std::string_view signature) {
    if (state_ != AdbState::Signing) return refusedCall(AdbStatus::NotReady);
    if (!fitsHandshake(signature)) return refusedCall(AdbStatus::BadArgument);
    AdbStep step;
    send(step, A_AUTH, kAdbAuthSignature, 0, std::string(signature));
    state_ = AdbState::SignatureSent;
    return step;
}

AdbStep AdbClient::runShell(std::string_view command) {
    if (state_ != AdbState::Connected) return refusedCall(AdbStatus::NotReady);
    if (command.find('\0') != std::string_view::npos) return refusedCall(AdbStatus::BadArgument);
    std::string destination = "shell:" + std::string(command) + '\0';
    if (destination.size() > peerMaxPayload_) return refusedCall(AdbStatus::CommandTooLong);
    AdbStep step;
    localId_ = localId_ == UINT32_MAX ? 1 : localId_ + 1;
    send(step, A_OPEN, localId_, 0, std::move(destination));
    output_.clear();
    truncated_ = false;
    state_ = AdbState::Opening;
    return step;
}

AdbStep AdbClient::onPeerClosed() {
    AdbStep step;
    if (state_ != AdbState::Ended) end(step, AdbStatus::ConnectionClosed);
    return step;
}

void AdbClient::handle(const AdbMessage& message, AdbStep& step) {
    switch (state_) {
        case AdbState::Handshake:
        case AdbState::SignatureSent:
        case AdbState::WaitingForOwner: handleHandshake(message, step); return;
        case AdbState::Opening: handleOpening(message, step); return;
        case AdbState::Streaming: handleStreaming(message, step); return;
        default: end(step, AdbStatus::UnexpectedMessage); return;
    }
}

void AdbClient::handleHandshake(const AdbMessage& message, AdbStep& step) {
    switch (message.command) {
        case A_AUTH: handleAuth(message, step); return;
        case A_CNXN: handleConnect(message, step); return;
        case A_STLS: end(step, AdbStatus::NeedsTlsPairing); return;
        default: end(step, AdbStatus::UnexpectedMessage); return;
    }
}

// A token after our signature means the TV does not know the key: it gets the public key, and
// the owner is asked. A token after that means the owner (or the TV) said no.
void AdbClient::handleAuth(const AdbMessage& message, AdbStep& step) {
    if (message.arg0 != kAdbAuthToken) return end(step, AdbStatus::UnexpectedMessage);
    if (message.payload.size() != kAdbTokenBytes) return end(step, AdbStatus::MalformedMessage);
    if (state_ == AdbState::Handshake) {
        state_ = AdbState::Signing;
        step.events.push_back({AdbEventKind::SignToken, AdbStatus::Ok, message.payload, false});
    } else if (state_ == AdbState::SignatureSent) {
        send(step, A_AUTH, kAdbAuthPublicKey, 0, publicKeyText_ + '\0');
        state_ = AdbState::WaitingForOwner;
        step.events.push_back({AdbEventKind::WaitingForOwner, AdbStatus::Ok, {}, false});
    } else {
        end(step, AdbStatus::KeyRefused);
    }
}

void AdbClient::handleConnect(const AdbMessage& message, AdbStep& step) {
    if (message.arg0 < kAdbVersionMin || message.arg1 == 0 || message.payload.size() > kAdbMaxHandshakePayload) {
        return end(step, AdbStatus::MalformedMessage);
    }
    withChecksum_ = std::min(message.arg0, kAdbVersionSkipChecksum) < kAdbVersionSkipChecksum;
    peerMaxPayload_ = std::min(message.arg1, kAdbMaxPayload);
    deviceBanner_ = std::string(withoutTrailingNuls(message.payload));
    state_ = AdbState::Connected;
    step.events.push_back({AdbEventKind::Connected, AdbStatus::Ok, deviceBanner_, false});
}

// OKAY(remote, local) starts the stream; CLSE(0, local) is the TV refusing the service.
void AdbClient::handleOpening(const AdbMessage& message, AdbStep& step) {
    if (message.command != A_OKAY && message.command != A_CLSE) return end(step, AdbStatus::UnexpectedMessage);
    if (message.arg1 != localId_) return end(step, AdbStatus::WrongStreamId);
    if (message.command == A_CLSE) {
        state_ = AdbState::Connected;
        step.events.push_back({AdbEventKind::CommandRefused, AdbStatus::CommandRefused, {}, false});
        return;
    }
    if (message.arg0 == 0) return end(step, AdbStatus::WrongStreamId);
    // A payload would be a delayed-ack window, which only a host that offered it gets.
    if (!message.payload.empty()) return end(step, AdbStatus::MalformedMessage);
    remoteId_ = message.arg0;
    state_ = AdbState::Streaming;
}

// WRTE(remote, local) is output, acknowledged with OKAY(local, remote). CLSE ends the command;
// adb has sent CLSE with 0 for the remote id, so that is taken too.
void AdbClient::handleStreaming(const AdbMessage& message, AdbStep& step) {
    if (message.command != A_WRTE && message.command != A_CLSE) return end(step, AdbStatus::UnexpectedMessage);
    const bool closeFromZero = message.command == A_CLSE && message.arg0 == 0;
    if (message.arg1 != localId_ || (message.arg0 != remoteId_ && !closeFromZero)) {
        return end(step, AdbStatus::WrongStreamId);
    }
    if (message.command == A_CLSE) return finishCommand(step);
    const std::size_t room = kAdbMaxCommandOutput - output_.size();
    output_.append(message.payload, 0, room);
    truncated_ = truncated_ || message.payload.size() > room;
    send(step, A_OKAY, localId_, remoteId_, {});
}

void AdbClient::finishCommand(AdbStep& step) {
    send(step, A_CLSE, localId_, remoteId_, {});
    state_ = AdbState::Connected;
    step.events.push_back({AdbEventKind::CommandFinished, AdbStatus::Ok, std::move(output_), truncated_});
    output_.clear();
}

void AdbClient::send(AdbStep& step, std::uint32_t command, std::uint32_t arg0, std::uint32_t arg1,
                     std::string payload) {
    step.send += encodeAdbMessage({command, arg0, arg1, std::move(payload)}, withChecksum_);
}

void AdbClient::end(AdbStep& step, AdbStatus status) {
    state_ = AdbState::Ended;
    step.events.push_back({AdbEventKind::Ended, status, {}, false});
}

}  // namespace oz
