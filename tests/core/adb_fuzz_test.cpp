// Seeded random input for the decoder, the client and the key readers, bounded in time so that
// it runs with every test run (under the sanitizers in the native build). Beyond not crashing,
// each loop checks a property that must hold for any input.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "core/adb_client.h"
#include "core/adb_message.h"
#include "core/android_pubkey.h"
#include "core/base64.h"
#include "core/rsa_key.h"
#include "tests/core/adb_conversation.h"
#include "tests/core/rsa_test_key.h"

namespace oz {
namespace {

using namespace test;
using Clock = std::chrono::steady_clock;

constexpr auto kBudget = std::chrono::milliseconds(1500);
constexpr std::uint32_t kSeed = 20261211;
constexpr int kMinimumRounds = 200;

std::size_t below(std::mt19937& rng, std::size_t bound) {
    return std::uniform_int_distribution<std::size_t>(0, bound - 1)(rng);
}

std::string randomBytes(std::mt19937& rng, std::size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(below(rng, 256));
    return bytes;
}

// A few random edits at or after from: a byte changed, bytes inserted, a range dropped or
// repeated, the end cut.
std::string mutate(std::mt19937& rng, std::string bytes, std::size_t from = 0) {
    for (std::size_t edits = 1 + below(rng, 4); edits > 0 && from < bytes.size(); --edits) {
        const std::size_t at = from + below(rng, bytes.size() - from);
        const std::size_t span = std::min(bytes.size() - at, 1 + below(rng, 32));
        switch (below(rng, 5)) {
            case 0: bytes[at] = static_cast<char>(below(rng, 256)); break;
            case 1: bytes.insert(at, randomBytes(rng, 1 + below(rng, 8))); break;
            case 2: bytes.erase(at, span); break;
            case 3: bytes.insert(at, bytes.substr(at, span)); break;
            default: bytes.resize(at); break;
        }
    }
    return bytes;
}

AdbDecoded decodeInPieces(std::mt19937& rng, std::string_view stream, std::uint32_t maxPayload) {
    AdbDecoder decoder(maxPayload);
    AdbDecoded all;
    while (!stream.empty()) {
        const std::size_t size = std::min(stream.size(), 1 + below(rng, 40));
        AdbDecoded piece = decoder.feed(stream.substr(0, size));
        all.messages.insert(all.messages.end(), piece.messages.begin(), piece.messages.end());
        all.status = piece.status;
        stream.remove_prefix(size);
    }
    return all;
}

std::string validStream(std::mt19937& rng) {
    const AdbCommand commands[] = {A_CNXN, A_AUTH, A_OPEN, A_OKAY, A_CLSE, A_WRTE, A_STLS};
    std::string stream;
    for (std::size_t count = below(rng, 5); count > 0; --count) {
        const AdbMessage message{commands[below(rng, 7)], static_cast<std::uint32_t>(rng()),
                                 static_cast<std::uint32_t>(rng()), randomBytes(rng, below(rng, 100))};
        stream += encodeAdbMessage(message, below(rng, 2) == 0);
    }
    return stream;
}

TEST(AdbFuzz, DecoderGivesTheSameAnswerHoweverTheStreamIsSplit) {
    std::mt19937 rng(kSeed);
    int rounds = 0;
    for (const auto end = Clock::now() + kBudget; Clock::now() < end || rounds < kMinimumRounds; ++rounds) {
        const std::string stream = below(rng, 3) == 0 ? randomBytes(rng, below(rng, 200)) : mutate(rng, validStream(rng));
        const std::uint32_t maxPayload = below(rng, 2) == 0 ? 64 : kAdbMaxPayload;
        const AdbDecoded whole = AdbDecoder(maxPayload).feed(stream);
        const AdbDecoded pieces = decodeInPieces(rng, stream, maxPayload);
        ASSERT_EQ(pieces.status, whole.status) << toHex(stream);
        ASSERT_EQ(pieces.messages, whole.messages) << toHex(stream);
        for (const AdbMessage& message : whole.messages) ASSERT_LE(message.payload.size(), maxPayload);
    }
    RecordProperty("rounds", rounds);
}

// The TV's half of a full conversation: unknown key, owner allows, one command with output.
std::string tvConversation() {
    const Script script = startTurns() + knownKeyTurns() + publicKeyTurns() + connectedTurns() +
                          shellTurns("id", "uid=2000(shell)\n", 1);
    std::string bytes;
    for (const Turn& turn : script) {
        if (turn.action == Do::Tv) bytes += turn.data;
    }
    return bytes;
}

// Checks one step against the client's rules, then answers its requests as the Windows side
// would (a request followed by Ended in the same step is not answered).
struct Watcher {
    AdbClient& client;
    std::string sent;
    bool ended = false;
    bool streamed = false;

    void take(const AdbStep& step) {
        ASSERT_FALSE(ended && (!step.send.empty() || !step.events.empty())) << "spoke after it ended";
        sent += step.send;
        std::vector<AdbEventKind> requests;
        for (const AdbEvent& event : step.events) {
            ASSERT_FALSE(ended) << "an event after Ended";
            ended = event.kind == AdbEventKind::Ended;
            ASSERT_LE(event.data.size(), kAdbMaxCommandOutput);
            requests.push_back(event.kind);
        }
        ASSERT_EQ(client.state() == AdbState::Ended, ended);
        streamed = streamed || client.state() == AdbState::Streaming;
        for (const AdbEventKind kind : requests) {
            if (!ended && kind == AdbEventKind::SignToken) take(client.onSignature(kSignature));
            if (!ended && kind == AdbEventKind::Connected) take(client.runShell("id"));
        }
    }
};

TEST(AdbFuzz, ClientOnlyEverSendsWholeMessagesAndIsSilentOnceEnded) {
    std::mt19937 rng(kSeed + 1);
    const std::string conversation = tvConversation();
    int rounds = 0;
    int streamedRounds = 0;
    for (const auto end = Clock::now() + kBudget; Clock::now() < end || rounds < kMinimumRounds; ++rounds) {
        AdbClient client = newClient();
        Watcher watcher{client, {}, false, false};
        watcher.take(client.start());
        std::string_view tvBytes;
        // Edits start anywhere, so that every stage of the conversation meets damage.
        const std::string mutated = mutate(rng, conversation, below(rng, conversation.size()));
        for (tvBytes = mutated; !tvBytes.empty();) {
            const std::size_t size = std::min(tvBytes.size(), 1 + below(rng, 64));
            watcher.take(client.onBytes(tvBytes.substr(0, size)));
            tvBytes.remove_prefix(size);
        }
        watcher.take(client.onPeerClosed());
        ASSERT_FALSE(HasFatalFailure()) << toHex(mutated);
        const AdbDecoded sent = AdbDecoder().feed(watcher.sent);
        ASSERT_EQ(sent.status, AdbStatus::Ok);
        std::size_t decodedBytes = 0;
        for (const AdbMessage& message : sent.messages) decodedBytes += kAdbHeaderBytes + message.payload.size();
        ASSERT_EQ(decodedBytes, watcher.sent.size()) << "a partial message was sent";
        streamedRounds += watcher.streamed ? 1 : 0;
    }
    RecordProperty("rounds", rounds);
    RecordProperty("rounds that reached a command's output", streamedRounds);
    // Damage late in the conversation leaves the handshake whole: the loop must get that far.
    EXPECT_GT(streamedRounds, rounds / 10);
}

// Whatever damaged key a reader accepts must be one it writes back exactly: a private key that
// reads again unchanged, a public key struct rebuilt byte for byte from what was decoded.
TEST(AdbFuzz, KeyReadersAcceptOnlyWhatTheyCanWriteBack) {
    std::mt19937 rng(kSeed + 2);
    const std::string pem(test_key::kPkcs8Pem);
    const std::string androidKey = *base64Decode(test_key::kAndroidKeyBase64, kAndroidKeyBytes);
    int rounds = 0;
    for (const auto end = Clock::now() + kBudget / 3; Clock::now() < end || rounds < kMinimumRounds; ++rounds) {
        const std::string damagedPem = mutate(rng, pem);
        if (const auto key = readPrivateKeyPem(damagedPem)) {
            ASSERT_EQ(readPrivateKeyPem(writePrivateKeyPem(*key)), key) << damagedPem;
        }
        const std::string damagedKey = mutate(rng, androidKey);
        if (const auto key = decodeAndroidPublicKey(damagedKey)) {
            const std::uint32_t e = key->exponent;
            const std::string exponent{static_cast<char>(e >> 24), static_cast<char>(e >> 16 & 0xFF),
                                       static_cast<char>(e >> 8 & 0xFF), static_cast<char>(e & 0xFF)};
            ASSERT_EQ(androidPublicKey(key->modulus, exponent), damagedKey);
        }
    }
    RecordProperty("rounds", rounds);
}

}  // namespace
}  // namespace oz
