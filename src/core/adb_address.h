#pragma once
// The address the user typed for the TV, as adb reads it for "adb connect": "host", "host:port",
// "[v6]" or "[v6]:port"; without a port adb uses 5555. Only what is typed is ever reached, so
// the text is checked strictly before any name is looked up.
#include <optional>
#include <string>
#include <string_view>

namespace oz {

inline constexpr std::string_view kAdbDefaultPort = "5555";
// A DNS name is at most 253 characters; a bracketed IPv6 address with a zone fits too.
inline constexpr std::size_t kMaxAdbHostLength = 253;

struct AdbAddress {
    std::string host;  // without brackets
    std::string port;  // decimal, 1 to 65535, no leading zeros
    bool operator==(const AdbAddress&) const = default;
};

// nullopt for an empty host, a host with characters no address or name has, a bracket that is
// not closed, a bare IPv6 address with a port, or a port that is not 1 to 65535.
std::optional<AdbAddress> parseAdbAddress(std::string_view text);

// "host:port", or "[host]:port" when the host holds a colon: what adb prints after "connected to".
std::string displayAdbAddress(const AdbAddress& address);

}  // namespace oz
