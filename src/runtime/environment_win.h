#pragma once
// One variable of this process's environment.
#include <optional>
#include <string>

namespace oz {

// nullopt when the variable is not set or empty.
std::optional<std::wstring> environmentValue(const wchar_t* name);

}  // namespace oz
