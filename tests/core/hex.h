#pragma once
// Byte strings written as hex in test tables; blanks are skipped so that fields can be grouped.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace oz::test {

inline std::string fromHex(std::string_view hex) {
    std::string digits;
    for (const char c : hex) {
        if (c != ' ') digits.push_back(c);
    }
    if (digits.size() % 2 != 0) throw std::invalid_argument("odd number of hex digits");
    std::string bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

inline std::string toHex(std::string_view bytes) {
    constexpr std::string_view kDigits = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        hex.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
        hex.push_back(kDigits[static_cast<unsigned char>(c) & 0x0F]);
    }
    return hex;
}

}  // namespace oz::test
