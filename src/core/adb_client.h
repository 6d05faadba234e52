#pragma once
// The host side of an adb connection to the TV, without the socket: bytes from the TV go in,
// bytes for the TV and events for the Windows side come out. Signing happens outside (CNG owns
// the private key): the client asks for a signature with an event and takes it back through
// onSignature. Being pure, every conversation can be replayed byte for byte in tests.
//
// Flow: CNXN out; AUTH token in -> SignToken; signature out; a second token means the TV does
// not know the key -> public key out, WaitingForOwner (the owner must allow it on the TV); CNXN
// in -> Connected. Then one shell command at a time: OPEN out, OKAY in, WRTE in (each one
// acknowledged), CLSE in -> CLSE out, CommandFinished. Anything else the TV sends ends the
// connection with a status saying what was wrong.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/adb_message.h"
#include "core/adb_status.h"

namespace oz {

inline constexpr std::uint32_t kAdbVersionMin = 0x01000000;
inline constexpr std::uint32_t kAdbVersionSkipChecksum = 0x01000001;
inline constexpr std::uint32_t kAdbAuthToken = 1;
inline constexpr std::uint32_t kAdbAuthSignature = 2;
inline constexpr std::uint32_t kAdbAuthPublicKey = 3;
inline constexpr std::size_t kAdbTokenBytes = 20;
// Handshake payloads stay within what the first adb versions accept.
inline constexpr std::size_t kAdbMaxHandshakePayload = 4096;
// A command's output beyond this is dropped (the TV is still acknowledged, so it finishes) and
// the result is marked truncated; "pm uninstall" answers in a line.
inline constexpr std::size_t kAdbMaxCommandOutput = 64 * 1024;
inline constexpr std::string_view kAdbDefaultHostBanner = "host::features=shell_v2,cmd";

enum class AdbEventKind {
    SignToken,        // data: the token; answer with onSignature
    WaitingForOwner,  // the public key was sent; the owner must allow it on the TV
    Connected,        // data: the TV's banner ("device::ro.product.name=...;features=...")
    CommandFinished,  // data: the output; truncated when it was cut
    CommandRefused,   // the TV would not start the command; the connection stays
    CallRefused,      // the call did nothing (status says why); nothing changed
    Ended,            // the connection is over (status says why); close the socket
};

struct AdbEvent {
    AdbEventKind kind = AdbEventKind::Ended;
    AdbStatus status = AdbStatus::Ok;
    std::string data;
    bool truncated = false;
    bool operator==(const AdbEvent&) const = default;
};

// What a call asks of the Windows side: bytes to write to the socket, in order, and events.
struct AdbStep {
    std::string send;
    std::vector<AdbEvent> events;
};

enum class AdbState { Idle, Handshake, Signing, SignatureSent, WaitingForOwner, Connected, Opening, Streaming, Ended };

class AdbClient {
public:
    // publicKeyText: adbkey.pub's line without its line end ("<base64> user@host").
    AdbClient(std::string hostBanner, std::string publicKeyText);

    AdbStep start();
    AdbStep onBytes(std::string_view bytes);
    // The PKCS#1 v1.5 signature of the last SignToken's token.
    AdbStep onSignature(std::string_view signature);
    // "shell:<command>"; command must not hold a NUL byte.
    AdbStep runShell(std::string_view command);
    // The TV closed the socket, or the Windows side gave up waiting.
    AdbStep onPeerClosed();

    AdbState state() const { return state_; }
    const std::string& deviceBanner() const { return deviceBanner_; }
    std::uint32_t peerMaxPayload() const { return peerMaxPayload_; }

private:
    void handle(const AdbMessage& message, AdbStep& step);
    void handleHandshake(const AdbMessage& message, AdbStep& step);
    void handleAuth(const AdbMessage& message, AdbStep& step);
    void handleConnect(const AdbMessage& message, AdbStep& step);
    void handleOpening(const AdbMessage& message, AdbStep& step);
    void handleStreaming(const AdbMessage& message, AdbStep& step);
    void finishCommand(AdbStep& step);
    void send(AdbStep& step, std::uint32_t command, std::uint32_t arg0, std::uint32_t arg1, std::string payload);
    void end(AdbStep& step, AdbStatus status);

    std::string hostBanner_;
    std::string publicKeyText_;
    AdbDecoder decoder_;
    AdbState state_ = AdbState::Idle;
    bool withChecksum_ = true;
    std::string deviceBanner_;
    std::uint32_t peerMaxPayload_ = 0;
    std::uint32_t localId_ = 0;
    std::uint32_t remoteId_ = 0;
    std::string output_;
    bool truncated_ = false;
};

}  // namespace oz
