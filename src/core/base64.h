#pragma once
// Base64 (RFC 4648, with padding) for adb's public key text and PEM bodies. Decoding is strict:
// a text that does not encode exactly one byte string is refused, so a damaged key file fails
// here instead of producing a key the TV would silently reject.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace oz {

std::string base64Encode(std::string_view bytes);

// nullopt for anything but canonical padded base64 (no blanks or line ends, length a multiple of
// four, '=' only at the end, unused bits zero) and for a result longer than maxBytes.
std::optional<std::string> base64Decode(std::string_view text, std::size_t maxBytes);

}  // namespace oz
