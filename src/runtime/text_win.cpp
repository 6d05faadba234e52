#include "runtime/text_win.h"

#include <windows.h>

#include <algorithm>

#include "core/byte_text.h"

namespace oz {

std::wstring widen(std::string_view text, unsigned codePage) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string narrow(std::wstring_view text, unsigned codePage) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

ConsoleText toConsoleText(std::wstring_view text) {
    ConsoleText result;
    if (text.empty()) return result;
    const UINT codePage = ::GetOEMCP();
    // UTF-8 takes neither flag nor default character.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
    result.bytes.assign(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(codePage, flags, text.data(), size, result.bytes.data(), length, nullptr, usedDefaultOut);
    result.lossless = !usedDefault;
    return result;
}

// Line by line: adb's UTF-8 and cmd.exe's own messages in the console's code page may come in one
// answer. LF is no trail byte of any code page, so the split never cuts a character.
std::string decodeAnswer(std::string_view bytes) {
    std::string text;
    while (!bytes.empty()) {
        const std::size_t end = std::min(bytes.find('\n'), bytes.size() - 1) + 1;
        const std::string_view line = bytes.substr(0, end);
        text += isValidUtf8(line) ? std::string(line) : toUtf8(widen(line, ::GetOEMCP()));
        bytes.remove_prefix(end);
    }
    return text;
}

}  // namespace oz
