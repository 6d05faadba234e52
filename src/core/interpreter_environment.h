#pragma once
// The environment the hidden interpreter starts with. It is the program's own, so adb finds
// what the user set up (PATH, ANDROID_USER_HOME, ...), except for the prompt: a user's own
// PROMPT ("$P$G$S", colours, a time) would keep the exchange from ever seeing an answer end.
#include <string>
#include <vector>

namespace oz {

inline constexpr char kKnownPrompt[] = "PROMPT=$P$G";

// entries: "NAME=value" strings in their order (hidden "=C:=C:\\..." entries included). Every
// PROMPT entry, whatever its letter case, is replaced by one kKnownPrompt; one is added when
// there was none. The rest keeps its order.
std::vector<std::string> interpreterEnvironment(const std::vector<std::string>& entries);

}  // namespace oz
