#include "core/android_pubkey.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/base64.h"
#include "core/little_endian.h"
#include "tests/core/hex.h"
#include "tests/core/rsa_test_key.h"

namespace oz {
namespace {

using test::fromHex;

const std::string kExponent65537 = fromHex("010001");

std::string fixtureModulus() { return fromHex(test_key::kModulusHex); }

std::uint32_t wordAt(std::string_view bytes, std::size_t index) { return littleEndian32At(bytes, 4 * index); }

TEST(AndroidPublicKey, MatchesTheStructComputedApartForTheFixtureKey) {
    const auto key = androidPublicKey(fixtureModulus(), kExponent65537);
    ASSERT_TRUE(key);
    ASSERT_EQ(key->size(), kAndroidKeyBytes);
    EXPECT_EQ(wordAt(*key, 1), test_key::kN0inv);
    EXPECT_EQ(base64Encode(*key), test_key::kAndroidKeyBase64);
    // Leading zero bytes, as a DER integer or a CNG field may carry them, change nothing.
    EXPECT_EQ(androidPublicKey('\0' + fixtureModulus(), '\0' + kExponent65537), key);
}

// Moduli whose constants follow by hand: for n = 2^2048 - 1, 2^2048 = 1 (mod n) so rr = 1, and
// n0 = -1 is its own inverse, so n0inv = 1. For n = 2^2047 + 1, 2^2047 = -1 so 2^4096 = 4, and
// n0 = 1 gives n0inv = -1.
TEST(AndroidPublicKey, ComputesMontgomeryConstantsOfHandCheckedModuli) {
    struct Case {
        std::string modulus;
        std::uint32_t n0inv;
        std::uint32_t rrLowWord;
    };
    const Case cases[] = {
        {std::string(256, '\xFF'), 1, 1},
        {'\x80' + std::string(254, '\0') + '\x01', 0xFFFFFFFF, 4},
    };
    for (const auto& c : cases) {
        const auto key = androidPublicKey(c.modulus, fromHex("03"));
        ASSERT_TRUE(key);
        EXPECT_EQ(wordAt(*key, 0), 64u);
        EXPECT_EQ(wordAt(*key, 1), c.n0inv);
        EXPECT_EQ(wordAt(*key, 2 + 64), c.rrLowWord);
        for (std::size_t i = 1; i < 64; ++i) EXPECT_EQ(wordAt(*key, 2 + 64 + i), 0u) << i;
        EXPECT_EQ(wordAt(*key, 2 + 128), 3u);
    }
}

TEST(AndroidPublicKey, RefusesKeysTheFormatCannotHold) {
    const std::string n = fixtureModulus();
    std::string even = n;
    even.back() = static_cast<char>(even.back() & ~1);
    const std::pair<std::string, std::string> cases[] = {
        {n.substr(1), kExponent65537},                   // 2040 bits
        {'\x01' + n, kExponent65537},                    // 2049 bits
        {'\x7F' + n.substr(1), kExponent65537},          // 2047 bits
        {even, kExponent65537},
        {"", kExponent65537},
        {n, ""},
        {n, fromHex("00")},
        {n, fromHex("01 00 00")},                        // even
        {n, fromHex("01 00 00 00 01")},                  // wider than 32 bits
    };
    for (const auto& [modulus, exponent] : cases) {
        SCOPED_TRACE(test::toHex(modulus.substr(0, 2)) + " / " + test::toHex(exponent));
        EXPECT_EQ(androidPublicKey(modulus, exponent), std::nullopt);
    }
}

TEST(AndroidPublicKey, DecodesItsStructAndRefusesAnyInconsistentOne) {
    const std::string key = *base64Decode(test_key::kAndroidKeyBase64, kAndroidKeyBytes);
    EXPECT_EQ(decodeAndroidPublicKey(key), (AndroidPublicKey{fixtureModulus(), 65537}));
    const std::pair<const char*, std::size_t> damage[] = {
        {"len", 0}, {"n0inv", 4}, {"lowest modulus word", 8}, {"highest modulus word", 8 + 255},
        {"rr", 8 + 256 + 100}, {"exponent to 65536", 8 + 512},
    };
    for (const auto& [what, offset] : damage) {
        SCOPED_TRACE(what);
        std::string damaged = key;
        damaged[offset] = static_cast<char>(damaged[offset] ^ 0x01);
        EXPECT_EQ(decodeAndroidPublicKey(damaged), std::nullopt);
    }
    EXPECT_EQ(decodeAndroidPublicKey(key.substr(1)), std::nullopt);
    EXPECT_EQ(decodeAndroidPublicKey(key + '\0'), std::nullopt);
}

TEST(AndroidPublicKeyText, IsTheBase64AndTheOwnersName) {
    const std::string expected = std::string(test_key::kAndroidKeyBase64) + " user@host";
    EXPECT_EQ(androidPublicKeyText(fixtureModulus(), kExponent65537, "user@host"), expected);
    const AndroidPublicKey key{fixtureModulus(), 65537};
    EXPECT_EQ(readAndroidPublicKeyText(expected), key);
    EXPECT_EQ(readAndroidPublicKeyText(test_key::kAndroidKeyBase64), key);
    EXPECT_EQ(readAndroidPublicKeyText("x" + expected), std::nullopt);
    EXPECT_EQ(readAndroidPublicKeyText(" user@host"), std::nullopt);
    EXPECT_EQ(androidPublicKeyText(fixtureModulus().substr(1), kExponent65537, "user@host"), std::nullopt);
}

}  // namespace
}  // namespace oz
