#include "core/android_pubkey.h"

#include <array>

#include "core/base64.h"
#include "core/der.h"
#include "core/little_endian.h"

namespace oz {
namespace {

using Words = std::array<std::uint32_t, kAndroidKeyWords>;

constexpr std::size_t kModulusBytes = 4 * kAndroidKeyWords;
constexpr std::size_t kMaxTextBytes = 2048;

Words wordsFromBigEndian(std::string_view bytes) {
    Words words{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::size_t fromEnd = bytes.size() - 1 - i;
        words[fromEnd / 4] |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i])) << (8 * (fromEnd % 4));
    }
    return words;
}

// -1 / n0 mod 2^32 for odd n0. x = n0 is already its own inverse mod 8; each Newton step
// x = x (2 - n0 x) doubles the correct low bits: 3, 6, 12, 24, 48.
std::uint32_t negativeInverse(std::uint32_t n0) {
    std::uint32_t x = n0;
    for (int i = 0; i < 4; ++i) x *= 2u - n0 * x;
    return 0u - x;
}

bool lessThan(const Words& a, const Words& b) {
    for (std::size_t i = kAndroidKeyWords; i-- > 0;) {
        if (a[i] != b[i]) return a[i] < b[i];
    }
    return false;
}

void subtract(Words& a, const Words& b) {
    std::uint64_t borrow = 0;
    for (std::size_t i = 0; i < kAndroidKeyWords; ++i) {
        const std::uint64_t difference = std::uint64_t{a[i]} - b[i] - borrow;
        a[i] = static_cast<std::uint32_t>(difference);
        borrow = difference >> 63;
    }
}

// 2^4096 mod n by doubling 1 4096 times, keeping the value below n after every step. With
// r < n, 2r < 2n, so one subtraction is enough; the bit shifted out counts as 2^2048 > n.
Words montgomerySquare(const Words& n) {
    Words r{};
    r[0] = 1;
    for (int step = 0; step < 2 * 32 * static_cast<int>(kAndroidKeyWords); ++step) {
        const std::uint32_t carry = r[kAndroidKeyWords - 1] >> 31;
        for (std::size_t i = kAndroidKeyWords; i-- > 1;) r[i] = r[i] << 1 | r[i - 1] >> 31;
        r[0] <<= 1;
        if (carry != 0 || !lessThan(r, n)) subtract(r, n);
    }
    return r;
}

std::string bigEndianWord(std::uint32_t value) {
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift & 0xFF));
    return out;
}

}  // namespace

std::optional<std::string> androidPublicKey(std::string_view modulus, std::string_view exponent) {
    const std::string_view n = stripLeadingZeros(modulus);
    const std::string_view e = stripLeadingZeros(exponent);
    if (n.size() != kModulusBytes || !(static_cast<std::uint8_t>(n[0]) & 0x80) || e.empty() || e.size() > 4) {
        return std::nullopt;
    }
    const Words words = wordsFromBigEndian(n);
    // Both are odd in every RSA key: n is a product of odd primes, e must be prime to p-1 and q-1.
    if ((words[0] & 1) == 0 || (static_cast<std::uint8_t>(e.back()) & 1) == 0) return std::nullopt;
    std::string out;
    appendLittleEndian32(out, static_cast<std::uint32_t>(kAndroidKeyWords));
    appendLittleEndian32(out, negativeInverse(words[0]));
    for (const std::uint32_t word : words) appendLittleEndian32(out, word);
    for (const std::uint32_t word : montgomerySquare(words)) appendLittleEndian32(out, word);
    appendLittleEndian32(out, wordsFromBigEndian(e)[0]);
    return out;
}

std::optional<AndroidPublicKey> decodeAndroidPublicKey(std::string_view bytes) {
    if (bytes.size() != kAndroidKeyBytes) return std::nullopt;
    AndroidPublicKey key;
    for (std::size_t i = 2 + kAndroidKeyWords; i-- > 2;) key.modulus += bigEndianWord(littleEndian32At(bytes, 4 * i));
    key.exponent = littleEndian32At(bytes, 4 * (2 + 2 * kAndroidKeyWords));
    // Rebuilding the struct checks len, n0inv and rr in one comparison.
    if (androidPublicKey(key.modulus, bigEndianWord(key.exponent)) != bytes) return std::nullopt;
    return key;
}

std::optional<std::string> androidPublicKeyText(std::string_view modulus, std::string_view exponent,
                                                std::string_view name) {
    const auto key = androidPublicKey(modulus, exponent);
    if (!key) return std::nullopt;
    return base64Encode(*key) + " " + std::string(name);
}

std::optional<AndroidPublicKey> readAndroidPublicKeyText(std::string_view line) {
    const auto key = base64Decode(line.substr(0, line.find(' ')), kMaxTextBytes);
    if (!key) return std::nullopt;
    return decodeAndroidPublicKey(*key);
}

}  // namespace oz
