#include "core/der.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/core/hex.h"

namespace oz {
namespace {

using test::fromHex;
using namespace std::string_literals;

struct TakeCase {
    std::string der;   // hex
    std::optional<std::string> contents;  // hex; nullopt: refused
};

TEST(DerReader, TakesOnlyMinimalDefiniteLengthsThatFit) {
    const std::string long128 = "04 81 80" + std::string(256, '0');
    const TakeCase cases[] = {
        {"04 00", ""},
        {"04 02 AB CD", "AB CD"},
        {long128, std::string(256, '0')},
        {"04 03 AB CD", std::nullopt},           // runs past the end
        {"04", std::nullopt},                    // no length
        {"", std::nullopt},
        {"04 80 AB 00 00", std::nullopt},        // indefinite length
        {"04 81 02 AB CD", std::nullopt},        // long form for a short length
        {"04 82 00 80" + std::string(256, '0'), std::nullopt},  // leading zero length byte
        {"04 85 00 00 00 00 01 AB", std::nullopt},              // five length bytes
        {"04 84 FF FF FF FF AB", std::nullopt},                  // four bytes, far past the end
        {"04 81", std::nullopt},
        {"05 00", std::nullopt},                 // other tag
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.der);
        const std::string der = fromHex(c.der);
        DerReader reader(der);
        const auto contents = reader.take(DER_OCTET_STRING);
        ASSERT_EQ(contents.has_value(), c.contents.has_value());
        if (!contents) continue;
        EXPECT_EQ(*contents, fromHex(*c.contents));
        EXPECT_TRUE(reader.atEnd());
    }
}

TEST(DerReader, ReadsElementsInTurn) {
    const std::string der = fromHex("30 03 02 01 05 04 01 AA");
    DerReader reader(der);
    const auto sequence = reader.take(DER_SEQUENCE);
    ASSERT_TRUE(sequence);
    EXPECT_EQ(*sequence, fromHex("02 01 05"));
    EXPECT_FALSE(reader.atEnd());
    EXPECT_EQ(reader.take(DER_SEQUENCE), std::nullopt);
    EXPECT_EQ(reader.takeUnsigned(), std::nullopt);
    // The refused reads left the reader where it was.
    EXPECT_EQ(reader.take(DER_OCTET_STRING), fromHex("AA"));
    EXPECT_TRUE(reader.atEnd());
}

TEST(DerReader, UnsignedIntegersMustBeMinimalAndNonNegative) {
    const std::string largest = "02 82 02 01 00 80" + std::string(2 * (kDerMaxIntegerBytes - 1), '1');
    const std::string tooLarge = "02 82 02 02 00 80" + std::string(2 * kDerMaxIntegerBytes, '1');
    const TakeCase cases[] = {
        {"02 01 00", ""},
        {"02 01 7F", "7F"},
        {"02 02 00 80", "80"},
        {"02 03 01 00 00", "01 00 00"},
        {largest, "80" + std::string(2 * (kDerMaxIntegerBytes - 1), '1')},
        {"02 01 80", std::nullopt},     // negative
        {"02 02 FF 7F", std::nullopt},  // negative
        {"02 02 00 7F", std::nullopt},  // needless leading zero
        {"02 02 00 00", std::nullopt},
        {"02 00", std::nullopt},        // no content
        {"04 01 05", std::nullopt},     // not an INTEGER
        {tooLarge, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.der.substr(0, 40));
        const std::string der = fromHex(c.der);
        DerReader reader(der);
        const auto value = reader.takeUnsigned();
        ASSERT_EQ(value.has_value(), c.contents.has_value());
        if (value) {
            EXPECT_EQ(*value, fromHex(*c.contents));
        }
        EXPECT_EQ(reader.atEnd(), value.has_value());
    }
}

TEST(DerWriter, WritesCanonicalElements) {
    EXPECT_EQ(derUnsigned(""), fromHex("02 01 00"));
    EXPECT_EQ(derUnsigned(fromHex("00 00")), fromHex("02 01 00"));
    EXPECT_EQ(derUnsigned(fromHex("7F")), fromHex("02 01 7F"));
    EXPECT_EQ(derUnsigned(fromHex("80")), fromHex("02 02 00 80"));
    EXPECT_EQ(derUnsigned(fromHex("00 00 01 FF")), fromHex("02 02 01 FF"));
    EXPECT_EQ(derElement(DER_NULL, ""), fromHex("05 00"));
    EXPECT_EQ(derElement(DER_OCTET_STRING, std::string(127, 'x')).substr(0, 2), fromHex("04 7F"));
    EXPECT_EQ(derElement(DER_OCTET_STRING, std::string(128, 'x')).substr(0, 3), fromHex("04 81 80"));
    EXPECT_EQ(derElement(DER_OCTET_STRING, std::string(256, 'x')).substr(0, 4), fromHex("04 82 01 00"));
    EXPECT_EQ(derElement(DER_OCTET_STRING, std::string(65536, 'x')).substr(0, 5), fromHex("04 83 01 00 00"));
}

TEST(DerWriter, WhatItWritesReadsBack) {
    for (const std::size_t size : {0u, 1u, 127u, 128u, 255u, 256u, 65535u, 65536u}) {
        const std::string contents(size, '\x5A');
        const std::string der = derElement(DER_SEQUENCE, contents);
        DerReader reader(der);
        EXPECT_EQ(reader.take(DER_SEQUENCE), contents) << size;
        EXPECT_TRUE(reader.atEnd());
    }
    for (const std::string& value : {""s, "\x01"s, "\x80"s, "\xFF\xFF"s, "\x00\x7F"s, "\x00\x00\x80"s}) {
        const std::string der = derUnsigned(value);
        DerReader reader(der);
        EXPECT_EQ(reader.takeUnsigned(), std::string(stripLeadingZeros(value)));
    }
}

}  // namespace
}  // namespace oz
