#pragma once
// What the action worker's source files share.
#include <string>
#include <string_view>

namespace oz {

// A line for the log: the UTF-8 text and CR LF.
std::string logLine(std::string_view lineUtf8);

}  // namespace oz
