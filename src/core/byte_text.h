#pragma once
// Byte-text rules for what the command interpreter writes: texts are bytes in some code page,
// positions are byte offsets, and a match may only start where a character begins.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oz {

// The line end of the interpreter, of the log box and of message boxes.
inline constexpr std::string_view kCrLf = "\r\n";

// Which bytes begin a two-byte character. A lead byte pairs with the byte after it only when
// that byte can be a trail byte (0x40 or above in every double-byte code page), so CR, LF,
// digits and the like are never swallowed by a stray high byte (as happens with UTF-8 output).
class LeadBytes {
public:
    // Every byte of 0x80 and above leads (the classic rule of a Chinese ANSI code page).
    static LeadBytes highBit();
    // No byte leads: single-byte code pages and UTF-8.
    static LeadBytes none();
    static LeadBytes fromTable(const std::array<bool, 256>& table);

    bool isLead(std::uint8_t byte) const { return table_[byte]; }
    // Length of the character that starts at pos: 2 for a lead byte with a trail byte after it, else 1.
    std::size_t charLength(std::string_view text, std::size_t pos) const;

private:
    std::array<bool, 256> table_{};
};

// First / last occurrence of needle starting at a character boundary; nullopt when absent or needle empty.
std::optional<std::size_t> findText(std::string_view text, std::string_view needle, const LeadBytes& rule);
std::optional<std::size_t> findLastText(std::string_view text, std::string_view needle, const LeadBytes& rule);

// Everything after the last separator; "" when there is none or it ends the text.
std::string textAfterLast(std::string_view text, std::string_view separator, const LeadBytes& rule);

// Every non-overlapping occurrence removed, scanning left to right; an empty needle removes nothing.
std::string removeEvery(std::string_view text, std::string_view needle, const LeadBytes& rule);

// Lines split at CR LF; an empty piece after the last CR LF is not a line.
std::vector<std::string_view> splitCrLfLines(std::string_view text, const LeadBytes& rule);

// Empty lines removed from both ends; lines joined with CR LF, no CR LF at the end.
std::string trimBlankLines(std::string_view text, const LeadBytes& rule);

// The answer left once the echoed command and every prompt are removed, without blank ends.
std::string cleanOutput(std::string_view collected, std::string_view lastCommand, std::string_view prompt,
                        const LeadBytes& rule);

// The prompt that ends an answer: the text after the last CR LF, when it is a line of the form
// the interpreter prints with PROMPT=$P$G for its folder: a drive or UNC path and a final '>'. A
// line of a program's own output that happens to end in '>' ("x>", "Overwrite (Yes/No)>", or adb's
// LF-ended lines) is not one. Any folder's prompt counts, so a prompt known from before that has
// gone out of date can never keep a read waiting.
std::optional<std::string> recognisePrompt(std::string_view collected, const LeadBytes& rule);
// Whether line has the form of a $P$G prompt: "X:\..." or "\\...", no line break, no other '>'.
bool isFolderPrompt(std::string_view line);

// Bare LFs become CR LF (adb's lines may end in LF alone); CR LF pairs stay as they are.
std::string normaliseLineEnds(std::string_view text);

bool isValidUtf8(std::string_view bytes);

}  // namespace oz
