#include "core/adb_address.h"

#include <algorithm>

namespace oz {
namespace {

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

// Names and IPv4 addresses: letters, digits, dots and hyphens. IPv6: hex digits, colons, dots
// (an embedded IPv4 address) and a zone after '%'.
bool validHost(std::string_view host, bool bracketed) {
    if (host.empty() || host.size() > kMaxAdbHostLength) return false;
    return std::all_of(host.begin(), host.end(), [bracketed](char c) {
        return isNameCharacter(c) || (bracketed && (c == ':' || c == '%'));
    });
}

std::optional<std::string> validPort(std::string_view port) {
    if (port.empty() || port.size() > 5 || port.front() == '0') return std::nullopt;
    unsigned value = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 65535) return std::nullopt;
    return std::string(port);
}

std::optional<AdbAddress> withPort(std::string_view host, bool bracketed, std::string_view port) {
    if (!validHost(host, bracketed)) return std::nullopt;
    std::optional<std::string> checked = validPort(port);
    if (!checked) return std::nullopt;
    return AdbAddress{std::string(host), *checked};
}

std::optional<AdbAddress> parseBracketed(std::string_view text) {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return std::nullopt;
    return withPort(text.substr(1, close - 1), true, rest.empty() ? kAdbDefaultPort : rest.substr(1));
}

}  // namespace

std::optional<AdbAddress> parseAdbAddress(std::string_view text) {
    if (!text.empty() && text.front() == '[') return parseBracketed(text);
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return withPort(text, false, kAdbDefaultPort);
    // More than one colon: a bare IPv6 address, which cannot carry a port.
    if (text.find(':', colon + 1) != std::string_view::npos) return withPort(text, true, kAdbDefaultPort);
    return withPort(text.substr(0, colon), false, text.substr(colon + 1));
}

std::string displayAdbAddress(const AdbAddress& address) {
    const bool bracket = address.host.find(':') != std::string::npos;
    return (bracket ? "[" + address.host + "]" : address.host) + ":" + address.port;
}

}  // namespace oz
