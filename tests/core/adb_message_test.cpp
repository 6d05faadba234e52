#include "core/adb_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/core/hex.h"

namespace oz {
namespace {

using test::fromHex;

// CNXN(0x01000001, 256 KiB, "host::\0"): the checksum is h+o+s+t+':'+':'+0 = 562 = 0x232 and the
// magic is ~"CNXN".
const std::string kConnectBytes =
    fromHex("434e584e 01000001 00000400 07000000 32020000 bcb1a7b1") + std::string("host::\0", 7);
const AdbMessage kConnect{A_CNXN, 0x01000001, 256 * 1024, std::string("host::\0", 7)};

TEST(AdbMessage, CommandsAreTheirFourLettersLittleEndian) {
    const std::pair<AdbCommand, std::string> cases[] = {
        {A_CNXN, "CNXN"}, {A_AUTH, "AUTH"}, {A_OPEN, "OPEN"}, {A_OKAY, "OKAY"},
        {A_CLSE, "CLSE"}, {A_WRTE, "WRTE"}, {A_STLS, "STLS"},
    };
    for (const auto& [command, letters] : cases) {
        EXPECT_EQ(encodeAdbMessage({command, 0, 0, {}}, true).substr(0, 4), letters);
    }
}

TEST(AdbMessage, EncodesHeaderAndPayloadByteForByte) {
    EXPECT_EQ(encodeAdbMessage(kConnect, true), kConnectBytes);
    std::string unchecked = kConnectBytes;
    unchecked.replace(16, 4, std::string(4, '\0'));
    EXPECT_EQ(encodeAdbMessage(kConnect, false), unchecked);
    EXPECT_EQ(encodeAdbMessage({A_OKAY, 1, 0x12345678, {}}, true),
              fromHex("4f4b4159 01000000 78563412 00000000 00000000 b0b4bea6"));
}

TEST(AdbMessage, ChecksumIsTheByteSumModulo2To32) {
    EXPECT_EQ(adbChecksum(""), 0u);
    EXPECT_EQ(adbChecksum("\xFF\xFF"), 510u);
    EXPECT_EQ(adbChecksum(std::string(16843010, '\xFF')), 254u);  // 255 * 16843010 = 2^32 + 254
}

TEST(AdbDecoder, DecodesAMessageSplitAnywhere) {
    const std::string stream = kConnectBytes + encodeAdbMessage({A_OKAY, 5, 1, {}}, false) + kConnectBytes;
    for (std::size_t chunk = 1; chunk <= stream.size(); ++chunk) {
        AdbDecoder decoder;
        std::vector<AdbMessage> messages;
        for (std::size_t pos = 0; pos < stream.size(); pos += chunk) {
            AdbDecoded decoded = decoder.feed(std::string_view(stream).substr(pos, chunk));
            ASSERT_EQ(decoded.status, AdbStatus::Ok) << chunk;
            messages.insert(messages.end(), decoded.messages.begin(), decoded.messages.end());
        }
        EXPECT_EQ(messages, (std::vector<AdbMessage>{kConnect, {A_OKAY, 5, 1, {}}, kConnect})) << chunk;
    }
}

struct FaultCase {
    const char* what;
    std::string bytes;
    AdbStatus status;
};

std::string withWord(std::string bytes, std::size_t offset, std::string_view hex) {
    bytes.replace(offset, 4, fromHex(hex));
    return bytes;
}

TEST(AdbDecoder, ReportsTheFirstFaultAndNothingAfterIt) {
    const std::string zz = "ZZZZ" + kConnectBytes.substr(4, 16) + fromHex("a5a5a5a5");
    const FaultCase cases[] = {
        {"magic not the inverse", withWord(kConnectBytes, 20, "bcb1a7b2"), AdbStatus::BadMagic},
        {"plain text", "GET / HTTP/1.1\r\nHost: tv\r\n\r\n", AdbStatus::BadMagic},
        {"unknown command, right magic", zz, AdbStatus::UnknownCommand},
        {"SYNC is not spoken here", withWord(withWord(zz, 0, "53594e43"), 20, "aca6b1bc"), AdbStatus::UnknownCommand},
        {"one byte over the limit", withWord(kConnectBytes, 12, "01000400"), AdbStatus::PayloadTooLarge},
        {"length near 2^32", withWord(kConnectBytes, 12, "ffffffff"), AdbStatus::PayloadTooLarge},
        {"checksum off by one", withWord(kConnectBytes, 16, "33020000"), AdbStatus::BadChecksum},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AdbDecoder decoder;
        AdbDecoded decoded = decoder.feed(kConnectBytes + c.bytes + kConnectBytes);
        EXPECT_EQ(decoded.status, c.status);
        EXPECT_EQ(decoded.messages, std::vector<AdbMessage>{kConnect});
        decoded = decoder.feed(kConnectBytes);
        EXPECT_EQ(decoded.status, c.status);
        EXPECT_TRUE(decoded.messages.empty());
    }
}

TEST(AdbDecoder, RefusesAnOversizedLengthBeforeAnyPayloadArrives) {
    AdbDecoder decoder(16);
    EXPECT_EQ(decoder.feed(encodeAdbMessage({A_WRTE, 1, 2, std::string(16, 'x')}, true)).status, AdbStatus::Ok);
    const std::string header = encodeAdbMessage({A_WRTE, 1, 2, std::string(17, 'x')}, true).substr(0, kAdbHeaderBytes);
    EXPECT_EQ(decoder.feed(header).status, AdbStatus::PayloadTooLarge);
}

TEST(AdbDecoder, AcceptsAZeroChecksumAndAnEmptyPayload) {
    AdbDecoder decoder;
    const std::string zeroCheck = withWord(kConnectBytes, 16, "00000000");
    const AdbDecoded decoded = decoder.feed(zeroCheck + encodeAdbMessage({A_CLSE, 0, 9, {}}, true));
    EXPECT_EQ(decoded.status, AdbStatus::Ok);
    EXPECT_EQ(decoded.messages, (std::vector<AdbMessage>{kConnect, {A_CLSE, 0, 9, {}}}));
}

TEST(AdbDecoder, HoldsAPartialMessageUntilItIsWhole) {
    AdbDecoder decoder;
    EXPECT_TRUE(decoder.feed(kConnectBytes.substr(0, 23)).messages.empty());
    EXPECT_TRUE(decoder.feed(kConnectBytes.substr(23, 3)).messages.empty());
    const AdbDecoded rest = decoder.feed(kConnectBytes.substr(26));
    EXPECT_EQ(rest.status, AdbStatus::Ok);
    EXPECT_EQ(rest.messages, std::vector<AdbMessage>{kConnect});
    EXPECT_TRUE(decoder.feed("").messages.empty());
}

}  // namespace
}  // namespace oz
