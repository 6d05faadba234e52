#include "runtime/settings_win.h"

#include <windows.h>

#include <algorithm>

#include "core/byte_text.h"
#include "runtime/handles_win.h"
#include "runtime/text_win.h"

namespace oz {
namespace {

// A UTF-16 unit is never fewer UTF-8 bytes, so a longer value is too long anyway.
constexpr std::size_t kBufferUnits = kMaxRememberedAddressBytes + 1;

const std::wstring& valueName() {
    static const std::wstring name(kLastAddressValueName);
    return name;
}

bool storable(std::string_view address) {
    return !address.empty() && address.size() <= kMaxRememberedAddressBytes &&
           address.find('\0') == std::string_view::npos && isValidUtf8(address);
}

}  // namespace

std::optional<std::string> readLastAddress(std::string_view keyPath) {
    UniqueRegistryKey key;
    const std::wstring path = fromUtf8(keyPath);
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::wstring buffer(kBufferUnits, L'\0');
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    // ERROR_MORE_DATA, a value longer than the buffer, is refused like any other failure.
    const LSTATUS status = ::RegQueryValueExW(key.get(), valueName().c_str(), nullptr, &type,
                                              reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    buffer.resize(size / sizeof(wchar_t));
    buffer.resize(std::min(buffer.find(L'\0'), buffer.size()));
    std::string address = toUtf8(buffer);
    if (address.empty() || address.size() > kMaxRememberedAddressBytes) return std::nullopt;
    return address;
}

bool writeLastAddress(std::string_view addressUtf8, std::string_view keyPath) {
    if (!storable(addressUtf8)) return false;
    UniqueRegistryKey key;
    const std::wstring path = fromUtf8(keyPath);
    const LSTATUS created = ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                              KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (created != ERROR_SUCCESS) return false;
    const std::wstring value = fromUtf8(addressUtf8);
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.get(), valueName().c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            bytes) == ERROR_SUCCESS;
}

}  // namespace oz
