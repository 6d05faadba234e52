#include "core/adb_client.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/core/adb_conversation.h"

namespace oz {
namespace {

using namespace test;

const std::string kUninstall = "pm uninstall --user 0 com.xiaomi.mitv.advertise";

struct Conversation {
    const char* what;
    Script script;
    AdbState last;
};

const Conversation kConversations[] = {
    {"known key", startTurns() + knownKeyTurns() + connectedTurns() + shellTurns(kUninstall, "Success\n", 1),
     AdbState::Connected},
    {"key unknown, owner allows",
     startTurns() + knownKeyTurns() + publicKeyTurns() + connectedTurns() + shellTurns("id", "uid=2000\n", 1),
     AdbState::Connected},
    {"key unknown, owner refuses",
     startTurns() + knownKeyTurns() + publicKeyTurns() +
         Script{{Do::Tv, tv(A_AUTH, 1, 0, kToken), {}, {ended(AdbStatus::KeyRefused)}}},
     AdbState::Ended},
    {"TV without authentication", startTurns() + connectedTurns(), AdbState::Connected},
    {"TV asks for TLS", startTurns() + Script{{Do::Tv, tv(A_STLS, 0x01000000, 0), {}, {ended(AdbStatus::NeedsTlsPairing)}}},
     AdbState::Ended},
    {"TV asks for TLS after the signature",
     startTurns() + knownKeyTurns() + Script{{Do::Tv, tv(A_STLS, 0x01000000, 0), {}, {ended(AdbStatus::NeedsTlsPairing)}}},
     AdbState::Ended},
    {"old TV keeps checksums",
     startTurns() + connectedTurns(0x01000000, 4096) + openTurns("id", 1, true) + writeTurn("x", 1, true) +
         closeTurn("x", 1, true),
     AdbState::Connected},
    {"output in pieces, then a second command",
     startTurns() + connectedTurns() + openTurns("ls", 1) + writeTurn("a\n", 1) + writeTurn("", 1) +
         writeTurn("b\n", 1) + closeTurn("a\nb\n", 1) + shellTurns(kUninstall, "Success\n", 2),
     AdbState::Connected},
    {"TV refuses the service, the next command gets a new id",
     startTurns() + connectedTurns() +
         Script{{Do::Shell, "x", host(A_OPEN, 1, 0, std::string("shell:x\0", 8), false), {}},
                {Do::Tv, tv(A_CLSE, 0, 1), {}, {{AdbEventKind::CommandRefused, AdbStatus::CommandRefused, {}, false}}}} +
         shellTurns("y", "z", 2),
     AdbState::Connected},
    {"close from remote id 0",
     startTurns() + connectedTurns() + openTurns("x", 1) +
         Script{{Do::Tv, tv(A_CLSE, 0, 1), host(A_CLSE, 1, kRemoteId, {}, false),
                 {event(AdbEventKind::CommandFinished, "")}}},
     AdbState::Connected},
    {"TV drops mid-command",
     startTurns() + connectedTurns() + openTurns("x", 1) + writeTurn("part", 1) +
         Script{{Do::Close, {}, {}, {ended(AdbStatus::ConnectionClosed)}}, {Do::Close, {}, {}, {}},
                {Do::Tv, tv(A_CLSE, kRemoteId, 1), {}, {}}},
     AdbState::Ended},
};

// Every conversation runs with the TV's bytes whole, one at a time and in pieces of seven.
TEST(AdbClient, ConversationsGoByteForByte) {
    for (const auto& c : kConversations) {
        SCOPED_TRACE(c.what);
        for (const std::size_t chunk : {0u, 1u, 7u}) {
            AdbClient client = newClient();
            play(client, c.script, chunk);
            EXPECT_EQ(client.state(), c.last);
        }
    }
}

TEST(AdbClient, KeepsTheTvsBannerAndBoundsItsMaxData) {
    AdbClient client = newClient();
    play(client, startTurns() + Script{{Do::Tv, tv(A_CNXN, 0x01000001, 0xFFFFFFFF, kTvBanner + std::string(2, '\0')), {},
                                        {event(AdbEventKind::Connected, kTvBanner)}}});
    EXPECT_EQ(client.deviceBanner(), kTvBanner);
    EXPECT_EQ(client.peerMaxPayload(), kAdbMaxPayload);
}

TEST(AdbClient, CutsOutputAtTheLimitButKeepsAcknowledging) {
    AdbClient client = newClient();
    play(client, startTurns() + connectedTurns() + openTurns("cat", 1));
    const std::string piece(40 * 1024, 'o');
    play(client, writeTurn(piece, 1) + writeTurn(piece, 1));
    const AdbStep last = client.onBytes(tv(A_CLSE, kRemoteId, 1));
    ASSERT_EQ(last.events.size(), 1u);
    EXPECT_EQ(last.events[0].data, std::string(kAdbMaxCommandOutput, 'o'));
    EXPECT_TRUE(last.events[0].truncated);
}

enum class Stage { Idle, Handshake, Signing, SignatureSent, WaitingForOwner, Connected, Opening, Streaming };

AdbClient clientAt(Stage stage) {
    const Script steps[] = {
        {},
        startTurns(),
        startTurns() + Script{knownKeyTurns()[0]},
        startTurns() + knownKeyTurns(),
        startTurns() + knownKeyTurns() + publicKeyTurns(),
        startTurns() + connectedTurns(),
        startTurns() + connectedTurns() + Script{openTurns("x", 1)[0]},
        startTurns() + connectedTurns() + openTurns("x", 1),
    };
    AdbClient client = newClient();
    play(client, steps[static_cast<int>(stage)]);
    return client;
}

struct BadInput {
    const char* what;
    Stage stage;
    std::string bytes;
    AdbStatus status;
};

std::string withByte(std::string bytes, std::size_t offset, char value) {
    bytes[offset] = value;
    return bytes;
}

const std::string kTokenMessage = tv(A_AUTH, 1, 0, kToken);
const std::string kConnectMessage = tv(A_CNXN, 0x01000001, 4096, kTvBanner);

const BadInput kBadInputs[] = {
    {"TV speaks first", Stage::Idle, kConnectMessage, AdbStatus::UnexpectedMessage},
    {"OPEN during the handshake", Stage::Handshake, tv(A_OPEN, 1, 0, "shell:x"), AdbStatus::UnexpectedMessage},
    {"signature from the TV", Stage::Handshake, tv(A_AUTH, 2, 0, kSignature), AdbStatus::UnexpectedMessage},
    {"short token", Stage::Handshake, tv(A_AUTH, 1, 0, kToken.substr(1)), AdbStatus::MalformedMessage},
    {"long token", Stage::Handshake, tv(A_AUTH, 1, 0, kToken + "x"), AdbStatus::MalformedMessage},
    {"CNXN with max data 0", Stage::Handshake, tv(A_CNXN, 0x01000001, 0, kTvBanner), AdbStatus::MalformedMessage},
    {"CNXN of version 0", Stage::Handshake, tv(A_CNXN, 0, 4096, kTvBanner), AdbStatus::MalformedMessage},
    {"CNXN banner over 4 KiB", Stage::Handshake, tv(A_CNXN, 0x01000001, 4096, std::string(4097, 'd')),
     AdbStatus::MalformedMessage},
    {"token while we sign", Stage::Signing, kTokenMessage, AdbStatus::UnexpectedMessage},
    {"WRTE after the signature", Stage::SignatureSent, tv(A_WRTE, 1, 1, "x"), AdbStatus::UnexpectedMessage},
    {"OKAY while the owner decides", Stage::WaitingForOwner, tv(A_OKAY, 1, 1), AdbStatus::UnexpectedMessage},
    {"AUTH after connecting", Stage::Connected, kTokenMessage, AdbStatus::UnexpectedMessage},
    {"second CNXN", Stage::Connected, kConnectMessage, AdbStatus::UnexpectedMessage},
    {"TV opens a stream", Stage::Connected, tv(A_OPEN, 3, 0, "tcp:80"), AdbStatus::UnexpectedMessage},
    {"STLS after connecting", Stage::Connected, tv(A_STLS, 0x01000000, 0), AdbStatus::UnexpectedMessage},
    {"WRTE before OKAY", Stage::Opening, tv(A_WRTE, kRemoteId, 1, "x"), AdbStatus::UnexpectedMessage},
    {"OKAY for another stream", Stage::Opening, tv(A_OKAY, kRemoteId, 2), AdbStatus::WrongStreamId},
    {"OKAY from remote id 0", Stage::Opening, tv(A_OKAY, 0, 1), AdbStatus::WrongStreamId},
    {"OKAY with a delayed-ack window", Stage::Opening, tv(A_OKAY, kRemoteId, 1, std::string("\x00\x00\x01\x00", 4)),
     AdbStatus::MalformedMessage},
    {"CLSE for another stream", Stage::Opening, tv(A_CLSE, 0, 9), AdbStatus::WrongStreamId},
    {"CNXN mid-command", Stage::Opening, kConnectMessage, AdbStatus::UnexpectedMessage},
    {"WRTE from another remote", Stage::Streaming, tv(A_WRTE, kRemoteId + 1, 1, "x"), AdbStatus::WrongStreamId},
    {"WRTE to another local", Stage::Streaming, tv(A_WRTE, kRemoteId, 2, "x"), AdbStatus::WrongStreamId},
    {"CLSE from another remote", Stage::Streaming, tv(A_CLSE, kRemoteId + 1, 1), AdbStatus::WrongStreamId},
    {"OKAY though we never write", Stage::Streaming, tv(A_OKAY, kRemoteId, 1), AdbStatus::UnexpectedMessage},
    {"CNXN mid-stream", Stage::Streaming, kConnectMessage, AdbStatus::UnexpectedMessage},
    {"AUTH mid-stream", Stage::Streaming, kTokenMessage, AdbStatus::UnexpectedMessage},
    {"garbage", Stage::Streaming, "\r\n\x16\x03\x01 bytes that are no adb header at all", AdbStatus::BadMagic},
    {"oversized length", Stage::Streaming, withByte(tv(A_WRTE, kRemoteId, 1), 14, '\x05'), AdbStatus::PayloadTooLarge},
    {"bad checksum", Stage::Streaming, withByte(tv(A_WRTE, kRemoteId, 1, "x"), 16, '\x01'), AdbStatus::BadChecksum},
    {"unknown command", Stage::Streaming, withByte(withByte(tv(A_WRTE, kRemoteId, 1), 0, 'X'), 20, '\xA7'),
     AdbStatus::UnknownCommand},
    {"garbage during the handshake", Stage::Handshake, std::string(24, '\0'), AdbStatus::BadMagic},
};

TEST(AdbClient, EndsOnAnythingOutOfOrderOrMalformed) {
    for (const auto& c : kBadInputs) {
        SCOPED_TRACE(c.what);
        AdbClient client = clientAt(c.stage);
        const AdbStep step = client.onBytes(c.bytes);
        EXPECT_EQ(step.send, "");
        EXPECT_EQ(step.events, std::vector<AdbEvent>{ended(c.status)});
        EXPECT_EQ(client.state(), AdbState::Ended);
        const AdbStep after = client.onBytes(tv(A_CLSE, kRemoteId, 1));
        EXPECT_TRUE(after.send.empty() && after.events.empty());
    }
}

TEST(AdbClient, AnswersWhatCameBeforeAFaultInTheSameRead) {
    AdbClient client = clientAt(Stage::Streaming);
    const AdbStep step = client.onBytes(tv(A_WRTE, kRemoteId, 1, "ok") + "garbage that is not a header");
    EXPECT_EQ(step.send, host(A_OKAY, 1, kRemoteId, {}, false));
    EXPECT_EQ(step.events, std::vector<AdbEvent>{ended(AdbStatus::BadMagic)});
}

TEST(AdbClient, IgnoresWhatFollowsTheEndInTheSameRead) {
    AdbClient client = clientAt(Stage::Streaming);
    const AdbStep step = client.onBytes(tv(A_OKAY, kRemoteId, 1) + tv(A_WRTE, kRemoteId, 1, "late") + "garbage");
    EXPECT_EQ(step.send, "");
    EXPECT_EQ(step.events, std::vector<AdbEvent>{ended(AdbStatus::UnexpectedMessage)});
}

struct BadCall {
    const char* what;
    Stage stage;
    Do action;
    std::string data;
    AdbStatus status;
};

TEST(AdbClient, RefusesCallsThatDoNotFitWithoutChangingAnything) {
    const BadCall cases[] = {
        {"command before connecting", Stage::Idle, Do::Shell, "id", AdbStatus::NotReady},
        {"command during the handshake", Stage::Handshake, Do::Shell, "id", AdbStatus::NotReady},
        {"command while one runs", Stage::Opening, Do::Shell, "id", AdbStatus::NotReady},
        {"second start", Stage::Connected, Do::Start, {}, AdbStatus::NotReady},
        {"signature nobody asked for", Stage::Handshake, Do::Sign, kSignature, AdbStatus::NotReady},
        {"signature after connecting", Stage::Connected, Do::Sign, kSignature, AdbStatus::NotReady},
        {"empty signature", Stage::Signing, Do::Sign, "", AdbStatus::BadArgument},
        {"signature over 4 KiB", Stage::Signing, Do::Sign, std::string(4097, 's'), AdbStatus::BadArgument},
        {"NUL in a command", Stage::Connected, Do::Shell, std::string("id\0rm", 5), AdbStatus::BadArgument},
        {"command over the TV's max data", Stage::Connected, Do::Shell, std::string(kAdbMaxPayload - 6, 'c'),
         AdbStatus::CommandTooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AdbClient client = clientAt(c.stage);
        const AdbState before = client.state();
        const AdbStep step = apply(client, {c.action, c.data, {}, {}}, 0);
        EXPECT_EQ(step.send, "");
        EXPECT_EQ(step.events, std::vector<AdbEvent>{refused(c.status)});
        EXPECT_EQ(client.state(), before);
    }
}

TEST(AdbClient, CommandMayFillTheTvsMaxDataExactly) {
    AdbClient client = newClient();
    play(client, startTurns() + connectedTurns(0x01000001, 16));
    EXPECT_EQ(client.runShell("0123456789").events, std::vector<AdbEvent>{refused(AdbStatus::CommandTooLong)});
    play(client, openTurns("012345678", 1));
}

TEST(AdbClient, StartRefusesUnusableSettings) {
    const std::pair<std::string, std::string> cases[] = {
        {"", kKeyText},
        {std::string(4097, 'h'), kKeyText},
        {std::string(kAdbDefaultHostBanner), ""},
        {std::string(kAdbDefaultHostBanner), std::string("QUFB\0 user@host", 15)},
        {std::string(kAdbDefaultHostBanner), std::string(4096, 'k')},
    };
    for (const auto& [banner, key] : cases) {
        AdbClient client(banner, key);
        EXPECT_EQ(client.start().events, std::vector<AdbEvent>{refused(AdbStatus::BadArgument)});
        EXPECT_EQ(client.state(), AdbState::Idle);
    }
    AdbClient longest(std::string(4096, 'h'), std::string(4095, 'k'));
    EXPECT_EQ(longest.start().send.size(), kAdbHeaderBytes + 4096);
}

}  // namespace
}  // namespace oz
