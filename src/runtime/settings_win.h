#pragma once
// The one thing the program remembers: the last address that connected, a REG_SZ value under
// HKEY_CURRENT_USER (no administrator rights, no file beside the program). Texts are UTF-8;
// keyPath is relative to HKEY_CURRENT_USER, so tests can use a key of their own.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace oz {

inline constexpr std::string_view kSettingsKeyPath = "Software\\Ozarith";
inline constexpr std::wstring_view kLastAddressValueName = L"LastAddress";
// Far more than any host name and port; anything longer is not an address anyone typed.
inline constexpr std::size_t kMaxRememberedAddressBytes = 255;

// nullopt when nothing usable is stored: no key or value, not REG_SZ, empty, or longer than
// kMaxRememberedAddressBytes. A value with a NUL inside ends there.
std::optional<std::string> readLastAddress(std::string_view keyPath = kSettingsKeyPath);

// Stores the address, creating the key when needed. false when it is empty, not valid UTF-8,
// longer than kMaxRememberedAddressBytes, or the registry refused; nothing is written then.
bool writeLastAddress(std::string_view addressUtf8, std::string_view keyPath = kSettingsKeyPath);

}  // namespace oz
