#pragma once
// A TV's side of adb conversations for the client tests: what the TV sends, what the client must
// answer byte for byte, and a player that runs such a script against an AdbClient.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "core/adb_client.h"
#include "tests/core/hex.h"

namespace oz {

inline void PrintTo(const AdbEvent& event, std::ostream* out) {
    *out << "{kind " << static_cast<int>(event.kind) << ", " << describe(event.status) << ", "
         << testing::PrintToString(event.data) << (event.truncated ? ", truncated}" : "}");
}

namespace test {

inline const std::string kToken = "0123456789abcdefghij";
inline const std::string kSignature(256, '\x5A');
inline const std::string kKeyText = "QUFBQQ== user@host";
inline const std::string kTvBanner = "device::ro.product.name=mitv;ro.product.model=MiTV;features=cmd,shell_v2";
inline constexpr std::uint32_t kRemoteId = 7;

// A current TV leaves the checksum 0.
inline std::string tv(std::uint32_t command, std::uint32_t arg0, std::uint32_t arg1, std::string payload = {}) {
    return encodeAdbMessage({command, arg0, arg1, std::move(payload)}, false);
}
// What the client sends: with checksums until the TV's CNXN says it may leave them out.
inline std::string host(std::uint32_t command, std::uint32_t arg0, std::uint32_t arg1, std::string payload,
                        bool checked) {
    return encodeAdbMessage({command, arg0, arg1, std::move(payload)}, checked);
}

inline AdbEvent event(AdbEventKind kind, std::string data = {}) { return {kind, AdbStatus::Ok, std::move(data), false}; }
inline AdbEvent ended(AdbStatus status) { return {AdbEventKind::Ended, status, {}, false}; }
inline AdbEvent refused(AdbStatus status) { return {AdbEventKind::CallRefused, status, {}, false}; }

enum class Do { Start, Tv, Sign, Shell, Close };

struct Turn {
    Do action;
    std::string data;  // TV bytes, signature or command
    std::string sent;  // what the client must send, exactly
    std::vector<AdbEvent> events;
};
using Script = std::vector<Turn>;

inline Script operator+(Script a, const Script& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// One turn; TV bytes go in pieces of chunk bytes (0: all at once), the answers joined.
inline AdbStep apply(AdbClient& client, const Turn& turn, std::size_t chunk) {
    switch (turn.action) {
        case Do::Start: return client.start();
        case Do::Sign: return client.onSignature(turn.data);
        case Do::Shell: return client.runShell(turn.data);
        case Do::Close: return client.onPeerClosed();
        case Do::Tv: break;
    }
    AdbStep all;
    const std::size_t size = chunk == 0 ? turn.data.size() + 1 : chunk;
    for (std::size_t pos = 0; pos < turn.data.size(); pos += size) {
        AdbStep step = client.onBytes(std::string_view(turn.data).substr(pos, size));
        all.send += step.send;
        all.events.insert(all.events.end(), step.events.begin(), step.events.end());
    }
    return all;
}

inline void play(AdbClient& client, const Script& script, std::size_t chunk = 0) {
    for (std::size_t i = 0; i < script.size(); ++i) {
        SCOPED_TRACE("turn " + std::to_string(i) + ", chunk " + std::to_string(chunk));
        const AdbStep step = apply(client, script[i], chunk);
        EXPECT_EQ(toHex(step.send), toHex(script[i].sent));
        EXPECT_EQ(step.events, script[i].events);
    }
}

inline Script startTurns() {
    return {{Do::Start, {}, host(A_CNXN, 0x01000001, 256 * 1024, std::string(kAdbDefaultHostBanner), true), {}}};
}

inline Script knownKeyTurns() {
    return {
        {Do::Tv, tv(A_AUTH, 1, 0, kToken), {}, {event(AdbEventKind::SignToken, kToken)}},
        {Do::Sign, kSignature, host(A_AUTH, 2, 0, kSignature, true), {}},
    };
}

inline Script publicKeyTurns() {
    return {{Do::Tv, tv(A_AUTH, 1, 0, kToken), host(A_AUTH, 3, 0, kKeyText + '\0', true),
             {event(AdbEventKind::WaitingForOwner)}}};
}

inline Script connectedTurns(std::uint32_t version = 0x01000001, std::uint32_t maxData = 1024 * 1024) {
    return {{Do::Tv, tv(A_CNXN, version, maxData, kTvBanner), {}, {event(AdbEventKind::Connected, kTvBanner)}}};
}

inline Script openTurns(const std::string& command, std::uint32_t localId, bool checked = false) {
    return {
        {Do::Shell, command, host(A_OPEN, localId, 0, "shell:" + command + '\0', checked), {}},
        {Do::Tv, tv(A_OKAY, kRemoteId, localId), {}, {}},
    };
}

inline Script writeTurn(const std::string& output, std::uint32_t localId, bool checked = false) {
    return {{Do::Tv, tv(A_WRTE, kRemoteId, localId, output), host(A_OKAY, localId, kRemoteId, {}, checked), {}}};
}

inline Script closeTurn(const std::string& output, std::uint32_t localId, bool checked = false) {
    return {{Do::Tv, tv(A_CLSE, kRemoteId, localId), host(A_CLSE, localId, kRemoteId, {}, checked),
             {event(AdbEventKind::CommandFinished, output)}}};
}

inline Script shellTurns(const std::string& command, const std::string& output, std::uint32_t localId) {
    return openTurns(command, localId) + writeTurn(output, localId) + closeTurn(output, localId);
}

inline AdbClient newClient() { return AdbClient(std::string(kAdbDefaultHostBanner), kKeyText); }

}  // namespace test
}  // namespace oz
