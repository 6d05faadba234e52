#include "core/byte_text.h"

#include <algorithm>

namespace oz {
namespace {

// No double-byte code page uses a trail byte below this.
constexpr std::uint8_t kLowestTrailByte = 0x40;

std::uint8_t byteAt(std::string_view text, std::size_t pos) { return static_cast<std::uint8_t>(text[pos]); }

bool matchesAt(std::string_view text, std::size_t pos, std::string_view needle) {
    return text.substr(pos, needle.size()) == needle;
}

}  // namespace

LeadBytes LeadBytes::highBit() {
    std::array<bool, 256> table{};
    for (std::size_t b = 0x80; b < table.size(); ++b) table[b] = true;
    return fromTable(table);
}

LeadBytes LeadBytes::none() { return fromTable({}); }

LeadBytes LeadBytes::fromTable(const std::array<bool, 256>& table) {
    LeadBytes rule;
    rule.table_ = table;
    return rule;
}

std::size_t LeadBytes::charLength(std::string_view text, std::size_t pos) const {
    const bool paired = isLead(byteAt(text, pos)) && pos + 1 < text.size() && byteAt(text, pos + 1) >= kLowestTrailByte;
    return paired ? 2 : 1;
}

std::optional<std::size_t> findText(std::string_view text, std::string_view needle, const LeadBytes& rule) {
    if (needle.empty()) return std::nullopt;
    for (std::size_t pos = 0; pos < text.size(); pos += rule.charLength(text, pos)) {
        if (matchesAt(text, pos, needle)) return pos;
    }
    return std::nullopt;
}

std::optional<std::size_t> findLastText(std::string_view text, std::string_view needle, const LeadBytes& rule) {
    std::optional<std::size_t> last;
    if (needle.empty()) return last;
    // Character starts are only known walking forwards, so walk the whole text.
    for (std::size_t pos = 0; pos < text.size(); pos += rule.charLength(text, pos)) {
        if (matchesAt(text, pos, needle)) last = pos;
    }
    return last;
}

std::string textAfterLast(std::string_view text, std::string_view separator, const LeadBytes& rule) {
    const auto pos = findLastText(text, separator, rule);
    if (!pos) return {};
    return std::string(text.substr(*pos + separator.size()));
}

std::string removeEvery(std::string_view text, std::string_view needle, const LeadBytes& rule) {
    if (needle.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (matchesAt(text, pos, needle)) {
            pos += needle.size();
            continue;
        }
        const std::size_t length = rule.charLength(text, pos);
        out.append(text.substr(pos, length));
        pos += length;
    }
    return out;
}

std::vector<std::string_view> splitCrLfLines(std::string_view text, const LeadBytes& rule) {
    std::vector<std::string_view> lines;
    std::size_t lineStart = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (matchesAt(text, pos, kCrLf)) {
            lines.push_back(text.substr(lineStart, pos - lineStart));
            pos += kCrLf.size();
            lineStart = pos;
            continue;
        }
        pos += rule.charLength(text, pos);
    }
    if (lineStart < text.size()) lines.push_back(text.substr(lineStart));
    return lines;
}

std::string trimBlankLines(std::string_view text, const LeadBytes& rule) {
    const auto lines = splitCrLfLines(text, rule);
    std::size_t first = 0;
    std::size_t end = lines.size();
    while (first < end && lines[first].empty()) ++first;
    while (end > first && lines[end - 1].empty()) --end;
    std::string out;
    for (std::size_t i = first; i < end; ++i) {
        if (i > first) out += kCrLf;
        out += lines[i];
    }
    return out;
}

std::string cleanOutput(std::string_view collected, std::string_view lastCommand, std::string_view prompt,
                        const LeadBytes& rule) {
    const std::string withoutEcho = removeEvery(collected, lastCommand, rule);
    return trimBlankLines(removeEvery(withoutEcho, prompt, rule), rule);
}

bool isFolderPrompt(std::string_view line) {
    const bool drive = line.size() >= 4 && ((line[0] | 0x20) >= 'a' && (line[0] | 0x20) <= 'z') && line[1] == ':' &&
                       line[2] == '\\';
    const bool unc = line.starts_with("\\\\");
    // No byte of a folder name is '>' or below a blank; trail bytes of double-byte code pages are 0x40 and above.
    const auto odd = [](char c) { return c == '>' || static_cast<std::uint8_t>(c) < 0x20; };
    return (drive || unc) && line.back() == '>' && std::none_of(line.begin(), line.end() - 1, odd);
}

std::optional<std::string> recognisePrompt(std::string_view collected, const LeadBytes& rule) {
    std::string lastLine = textAfterLast(collected, kCrLf, rule);
    if (!isFolderPrompt(lastLine)) return std::nullopt;
    return lastLine;
}

std::string normaliseLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        // LF is below every trail byte, so a byte-wise look at the previous byte is safe.
        if (text[pos] == '\n' && (pos == 0 || text[pos - 1] != '\r')) out += '\r';
        out += text[pos];
    }
    return out;
}

namespace {

// Length of the UTF-8 sequence that starts with lead, with the allowed range of its second
// byte (which rules out overlongs, surrogates and values past U+10FFFF); 0 when lead is invalid.
struct Utf8Lead {
    std::size_t length;
    std::uint8_t secondLow;
    std::uint8_t secondHigh;
};

Utf8Lead utf8Lead(std::uint8_t lead) {
    if (lead < 0x80) return {1, 0, 0};
    if (lead < 0xC2) return {0, 0, 0};
    if (lead < 0xE0) return {2, 0x80, 0xBF};
    if (lead == 0xE0) return {3, 0xA0, 0xBF};
    if (lead == 0xED) return {3, 0x80, 0x9F};
    if (lead < 0xF0) return {3, 0x80, 0xBF};
    if (lead == 0xF0) return {4, 0x90, 0xBF};
    if (lead < 0xF4) return {4, 0x80, 0xBF};
    if (lead == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

bool validSequenceAt(std::string_view bytes, std::size_t pos, const Utf8Lead& lead) {
    if (lead.length == 0 || pos + lead.length > bytes.size()) return false;
    if (lead.length == 1) return true;
    const std::uint8_t second = byteAt(bytes, pos + 1);
    if (second < lead.secondLow || second > lead.secondHigh) return false;
    for (std::size_t i = 2; i < lead.length; ++i) {
        if ((byteAt(bytes, pos + i) & 0xC0) != 0x80) return false;
    }
    return true;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const Utf8Lead lead = utf8Lead(byteAt(bytes, pos));
        if (!validSequenceAt(bytes, pos, lead)) return false;
        pos += lead.length;
    }
    return true;
}

}  // namespace oz
