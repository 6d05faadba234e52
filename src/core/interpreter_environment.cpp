#include "core/interpreter_environment.h"

#include <string_view>

namespace oz {
namespace {

bool namesPrompt(std::string_view entry) {
    constexpr std::string_view name = "prompt=";
    if (entry.size() < name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = entry[i];
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != name[i]) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> interpreterEnvironment(const std::vector<std::string>& entries) {
    std::vector<std::string> result;
    bool placed = false;
    for (const std::string& entry : entries) {
        if (!namesPrompt(entry)) {
            result.push_back(entry);
        } else if (!placed) {
            result.emplace_back(kKnownPrompt);
            placed = true;
        }
    }
    if (!placed) result.emplace_back(kKnownPrompt);
    return result;
}

}  // namespace oz
