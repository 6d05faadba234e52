#pragma once
// 32-bit little-endian words, the unit of adb's message header, its public key struct and CNG's
// key blobs. The byte order is spelled out so the result is the same on any host.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace oz {

inline void appendLittleEndian32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift & 0xFF));
}

// The word at byte offset pos; the caller has checked that four bytes are there.
inline std::uint32_t littleEndian32At(std::string_view bytes, std::size_t pos) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) value = value << 8 | static_cast<std::uint8_t>(bytes[pos + i]);
    return value;
}

}  // namespace oz
