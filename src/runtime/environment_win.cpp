#include "runtime/environment_win.h"

#include <windows.h>

namespace oz {

std::optional<std::wstring> environmentValue(const wchar_t* name) {
    std::wstring value(256, L'\0');
    // A second try with the size the first one asked for; a value that grows in between is lost.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) return std::nullopt;
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
    return std::nullopt;
}

}  // namespace oz
