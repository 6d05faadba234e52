#include "core/cng_rsa_blob.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/der.h"
#include "tests/core/hex.h"
#include "tests/core/rsa_test_key.h"

namespace oz {
namespace {

using test::fromHex;

std::string padded(std::string_view hex, std::size_t bytes) {
    const std::string value = fromHex(hex);
    return std::string(bytes - value.size(), '\0') + value;
}

using test_key::fixtureKey;

// Magic "RSA3", 2048 bits, then e (3), n (256), p (128), q (128), fields padded to those sizes.
std::string fixtureBlob() {
    return fromHex("52534133 00080000 03000000 00010000 80000000 80000000") +
           padded(test_key::kPublicExponentHex, 3) + padded(test_key::kModulusHex, 256) +
           padded(test_key::kPrime1Hex, 128) + padded(test_key::kPrime2Hex, 128) +
           padded(test_key::kExponent1Hex, 128) + padded(test_key::kExponent2Hex, 128) +
           padded(test_key::kCoefficientHex, 128) + padded(test_key::kPrivateExponentHex, 256);
}

TEST(RsaFullPrivateBlob, LaysOutTheFixtureKeyAsCngDoes) {
    EXPECT_EQ(rsaFullPrivateBlob(fixtureKey()), fixtureBlob());
    EXPECT_EQ(keyFromRsaFullPrivateBlob(fixtureBlob()), fixtureKey());
}

// A toy key where dp is zero and qinv short: both are padded to p's size, and read back bare.
TEST(RsaFullPrivateBlob, PadsShortFieldsAndStripsThemAgain) {
    const RsaPrivateKey key{fromHex("8F01"), fromHex("03"), fromHex("0123"), fromHex("0B0C"),
                            fromHex("0D"),   "",            fromHex("07"),   fromHex("05")};
    const std::string blob = fromHex("52534133 10000000 01000000 02000000 02000000 01000000") +
                             fromHex("03 8F01 0B0C 0D 0000 07 0005 0123");
    EXPECT_EQ(rsaFullPrivateBlob(key), blob);
    EXPECT_EQ(keyFromRsaFullPrivateBlob(blob), key);
}

TEST(RsaFullPrivateBlob, RefusesKeysWhoseFieldsDoNotFit) {
    RsaPrivateKey longDp = fixtureKey();
    longDp.exponent1 = std::string(129, '\x01');
    RsaPrivateKey longD = fixtureKey();
    longD.privateExponent = std::string(257, '\x01');
    RsaPrivateKey noModulus = fixtureKey();
    noModulus.modulus.clear();
    RsaPrivateKey hugePrime = fixtureKey();
    hugePrime.prime1 = std::string(kDerMaxIntegerBytes + 1, '\x01');
    for (const auto& key : {longDp, longD, noModulus, hugePrime}) EXPECT_EQ(rsaFullPrivateBlob(key), std::nullopt);
}

TEST(RsaFullPrivateBlob, RefusesDamagedBlobs) {
    const std::string blob = fixtureBlob();
    const auto withWord = [&](std::size_t offset, std::string_view hex) {
        std::string damaged = blob;
        damaged.replace(offset, 4, fromHex(hex));
        return damaged;
    };
    const std::pair<const char*, std::string> cases[] = {
        {"public-key magic RSA1", withWord(0, "52534131")},
        {"bit length of 2040", withWord(4, "f8070000")},
        {"bit length near 2^32", withWord(4, "ffffffff")},
        {"empty exponent", withWord(8, "00000000")},
        {"modulus size near 2^32", withWord(12, "ffffffff")},
        {"prime size one larger", withWord(16, "81000000")},
        {"one byte short", blob.substr(0, blob.size() - 1)},
        {"one byte over", blob + '\0'},
        {"header only", blob.substr(0, 24)},
        {"half a header", blob.substr(0, 12)},
    };
    for (const auto& [what, damaged] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(keyFromRsaFullPrivateBlob(damaged), std::nullopt);
    }
}

}  // namespace
}  // namespace oz
