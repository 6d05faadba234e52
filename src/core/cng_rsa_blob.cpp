#include "core/cng_rsa_blob.h"

#include <array>
#include <cstddef>

#include "core/der.h"
#include "core/little_endian.h"

namespace oz {
namespace {

constexpr std::size_t kHeaderWords = 6;
constexpr std::size_t kHeaderBytes = kHeaderWords * 4;

enum Size : std::size_t { EXPONENT, MODULUS, PRIME1, PRIME2 };

struct Field {
    std::string RsaPrivateKey::*member;
    Size size;
};

// Blob order, each field with the header size it is padded to.
constexpr std::array<Field, 8> kLayout = {{
    {&RsaPrivateKey::publicExponent, EXPONENT},
    {&RsaPrivateKey::modulus, MODULUS},
    {&RsaPrivateKey::prime1, PRIME1},
    {&RsaPrivateKey::prime2, PRIME2},
    {&RsaPrivateKey::exponent1, PRIME1},
    {&RsaPrivateKey::exponent2, PRIME2},
    {&RsaPrivateKey::coefficient, PRIME1},
    {&RsaPrivateKey::privateExponent, MODULUS},
}};

std::size_t bitLength(std::string_view bigEndian) {
    if (bigEndian.empty()) return 0;
    std::size_t bits = bigEndian.size() * 8;
    for (auto top = static_cast<std::uint8_t>(bigEndian[0]); !(top & 0x80); top = static_cast<std::uint8_t>(top << 1)) {
        --bits;
    }
    return bits;
}

}  // namespace

std::optional<std::string> rsaFullPrivateBlob(const RsaPrivateKey& key) {
    const std::array<std::size_t, 4> sizes = {key.publicExponent.size(), key.modulus.size(), key.prime1.size(),
                                              key.prime2.size()};
    std::string out;
    appendLittleEndian32(out, kRsaFullPrivateMagic);
    appendLittleEndian32(out, static_cast<std::uint32_t>(bitLength(key.modulus)));
    for (const std::size_t size : sizes) {
        if (size == 0 || size > kDerMaxIntegerBytes) return std::nullopt;
        appendLittleEndian32(out, static_cast<std::uint32_t>(size));
    }
    for (const Field& field : kLayout) {
        const std::string_view value = stripLeadingZeros(key.*field.member);
        if (value.size() > sizes[field.size]) return std::nullopt;
        out.append(sizes[field.size] - value.size(), '\0');
        out += value;
    }
    return out;
}

std::optional<RsaPrivateKey> keyFromRsaFullPrivateBlob(std::string_view blob) {
    if (blob.size() < kHeaderBytes || littleEndian32At(blob, 0) != kRsaFullPrivateMagic) return std::nullopt;
    std::array<std::size_t, 4> sizes{};
    std::size_t total = kHeaderBytes;
    for (const Field& field : kLayout) {
        const std::uint32_t size = littleEndian32At(blob, 8 + 4 * field.size);
        if (size == 0 || size > kDerMaxIntegerBytes) return std::nullopt;
        sizes[field.size] = size;
        total += size;
    }
    if (blob.size() != total || (littleEndian32At(blob, 4) + 7) / 8 != sizes[MODULUS]) return std::nullopt;
    RsaPrivateKey key;
    std::size_t pos = kHeaderBytes;
    for (const Field& field : kLayout) {
        key.*field.member = std::string(stripLeadingZeros(blob.substr(pos, sizes[field.size])));
        pos += sizes[field.size];
    }
    return key;
}

}  // namespace oz
