#pragma once
// adb's own public key format (libcrypto_utils' android_pubkey), which is what the TV stores in
// its adb_keys and shows a fingerprint of in the "Allow USB debugging?" dialog. It carries the
// Montgomery constants the device's verifier needs, so they are computed here from the modulus
// with a few lines of fixed-size arithmetic rather than with a crypto library.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace oz {

inline constexpr std::size_t kAndroidKeyWords = 64;                   // RSA-2048
inline constexpr std::size_t kAndroidKeyBytes = 4 * (3 + 2 * kAndroidKeyWords);  // 524

// { len = 64, n0inv = -1/n mod 2^32, n[64], rr[64] = 2^4096 mod n, exponent }, all little-endian
// words. nullopt unless the modulus is exactly 2048 bits (leading zero bytes aside) and odd, and
// the exponent is odd and fits 32 bits.
std::optional<std::string> androidPublicKey(std::string_view modulus, std::string_view exponent);

struct AndroidPublicKey {
    std::string modulus;  // big-endian, 256 bytes
    std::uint32_t exponent = 0;
    bool operator==(const AndroidPublicKey&) const = default;
};

// The modulus and exponent of a 524-byte struct; nullopt unless len, n0inv and rr are exactly
// the values the modulus gives, so a damaged key is never taken for a different valid one.
std::optional<AndroidPublicKey> decodeAndroidPublicKey(std::string_view bytes);

// The line adb sends and keeps in adbkey.pub (without its line end): base64 of the struct, a
// blank, then the owner's name (adb uses "user@host").
std::optional<std::string> androidPublicKeyText(std::string_view modulus, std::string_view exponent,
                                                std::string_view name);

// The key of such a line: the base64 up to the first blank (or the end).
std::optional<AndroidPublicKey> readAndroidPublicKeyText(std::string_view line);

}  // namespace oz
