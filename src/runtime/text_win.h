#pragma once
// Conversions between the program's byte texts and the wide texts that windows show.
#include <string>
#include <string_view>

namespace oz {

std::wstring widen(std::string_view text, unsigned codePage);
std::string narrow(std::wstring_view text, unsigned codePage);
inline std::wstring fromUtf8(std::string_view text) { return widen(text, 65001); }
inline std::string toUtf8(std::wstring_view text) { return narrow(text, 65001); }

// Text as the interpreter reads and writes it: the console (OEM) code page. Characters it
// cannot hold become '?' (never a best-fit look-alike); lossless says whether any did.
struct ConsoleText {
    std::string bytes;
    bool lossless = true;
};
ConsoleText toConsoleText(std::wstring_view text);
inline std::string toConsoleCodePage(std::wstring_view text) { return toConsoleText(text).bytes; }

// An interpreter answer as UTF-8, line by line: as it is where the line is valid UTF-8 (adb writes
// UTF-8), otherwise decoded from the console's code page (cmd.exe's own messages).
std::string decodeAnswer(std::string_view bytes);

}  // namespace oz
