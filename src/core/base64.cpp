#include "core/base64.h"

#include <array>
#include <cstdint>

namespace oz {
namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kNotBase64 = 0xFF;

constexpr std::array<std::uint8_t, 256> makeValues() {
    std::array<std::uint8_t, 256> values{};
    values.fill(kNotBase64);
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
        values[static_cast<std::uint8_t>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
    }
    return values;
}
constexpr std::array<std::uint8_t, 256> kValues = makeValues();

std::uint8_t byteAt(std::string_view bytes, std::size_t pos) {
    return pos < bytes.size() ? static_cast<std::uint8_t>(bytes[pos]) : 0;
}

// Decodes one group of four characters into up to three bytes; false when it is not base64 or
// its padding is not where a final group may have it.
bool decodeGroup(std::string_view group, bool last, std::string& out) {
    const std::size_t padding = group[3] != '=' ? 0 : group[2] != '=' ? 1 : 2;
    if (padding != 0 && !last) return false;
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4 - padding; ++i) {
        const std::uint8_t value = kValues[static_cast<std::uint8_t>(group[i])];
        if (value == kNotBase64) return false;
        bits = bits << 6 | value;
    }
    bits <<= 6 * padding;
    // A last group must not hide set bits behind its padding: "QR==" and "QQ==" are not both "A".
    if ((padding == 1 && (bits & 0xFF) != 0) || (padding == 2 && (bits & 0xFFFF) != 0)) return false;
    for (std::size_t i = 0; i < 3 - padding; ++i) {
        out.push_back(static_cast<char>(bits >> (16 - 8 * i) & 0xFF));
    }
    return true;
}

}  // namespace

std::string base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t pos = 0; pos < bytes.size(); pos += 3) {
        const std::uint32_t bits = static_cast<std::uint32_t>(byteAt(bytes, pos)) << 16 |
                                   static_cast<std::uint32_t>(byteAt(bytes, pos + 1)) << 8 |
                                   byteAt(bytes, pos + 2);
        const std::size_t kept = bytes.size() - pos >= 3 ? 4 : bytes.size() - pos + 1;
        for (std::size_t i = 0; i < 4; ++i) {
            out.push_back(i < kept ? kAlphabet[bits >> (18 - 6 * i) & 0x3F] : '=');
        }
    }
    return out;
}

std::optional<std::string> base64Decode(std::string_view text, std::size_t maxBytes) {
    if (text.size() % 4 != 0 || text.size() / 4 > maxBytes / 3 + 1) return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t pos = 0; pos < text.size(); pos += 4) {
        if (!decodeGroup(text.substr(pos, 4), pos + 4 == text.size(), out)) return std::nullopt;
    }
    if (out.size() > maxBytes) return std::nullopt;
    return out;
}

}  // namespace oz
