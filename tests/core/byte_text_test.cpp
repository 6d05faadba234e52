#include "core/byte_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace oz {
namespace {

using namespace std::string_literals;

// 0x81 0x43 is one double-byte character whose trail byte is 'C' under a Chinese code page.
const std::string kTrailC = "\x81" "C";
// U+4E2D in UTF-8: its last byte (0xAD) looks like a lead byte to the high-bit rule.
const std::string kUtf8Zhong = "\xE4\xB8\xAD";

enum class Rule { HighBit, None };

LeadBytes ruleOf(Rule r) { return r == Rule::HighBit ? LeadBytes::highBit() : LeadBytes::none(); }

TEST(LeadBytes, PairsOnlyWithAByteThatCanTrail) {
    const LeadBytes high = LeadBytes::highBit();
    EXPECT_EQ(high.charLength("\x81\x40", 0), 2u);
    EXPECT_EQ(high.charLength("\x81\xFF", 0), 2u);
    EXPECT_EQ(high.charLength("\x81\x3F", 0), 1u);
    EXPECT_EQ(high.charLength("\xAD\r\n", 0), 1u);
    EXPECT_EQ(high.charLength("a\x81", 1), 1u);  // lead byte at the very end
    EXPECT_EQ(high.charLength("A\x81", 0), 1u);
    EXPECT_EQ(LeadBytes::none().charLength("\x81\x40", 0), 1u);

    std::array<bool, 256> table{};
    table[0xA1] = true;
    const LeadBytes custom = LeadBytes::fromTable(table);
    EXPECT_EQ(custom.charLength("\xA1\xA1", 0), 2u);
    EXPECT_EQ(custom.charLength("\x81\x40", 0), 1u);
}

struct FindCase {
    std::string text;
    std::string needle;
    Rule rule;
    std::optional<std::size_t> first;
    std::optional<std::size_t> last;
};

TEST(FindText, FirstAndLastStartOnlyAtCharacterStarts) {
    const FindCase cases[] = {
        {"abcabc", "bc", Rule::None, 1, 4},
        {"abc", "", Rule::None, std::nullopt, std::nullopt},
        {"ab", "abc", Rule::None, std::nullopt, std::nullopt},
        {"", "a", Rule::None, std::nullopt, std::nullopt},
        {"aaa", "aa", Rule::None, 0, 1},
        // 'C' as trail byte is no match under the high-bit rule, a match without lead bytes.
        {"x" + kTrailC + ":", "C:", Rule::HighBit, std::nullopt, std::nullopt},
        {"x" + kTrailC + ":", "C:", Rule::None, 2, 2},
        {kTrailC + "C", "C", Rule::HighBit, 2, 2},
        // 0x81 0x81 pairs, so the 'C' after it starts a character.
        {"\x81\x81" "C", "C", Rule::HighBit, 2, 2},
        // Three lead bytes: pairs (0,1), then 0x81 'C' pairs and hides the 'C'.
        {"\x81\x81\x81" "C", "C", Rule::HighBit, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text) + " / " + testing::PrintToString(c.needle));
        EXPECT_EQ(findText(c.text, c.needle, ruleOf(c.rule)), c.first);
        EXPECT_EQ(findLastText(c.text, c.needle, ruleOf(c.rule)), c.last);
    }
}

struct AfterLastCase {
    std::string text;
    std::string separator;
    Rule rule;
    std::string expected;
};

TEST(TextAfterLast, TakesTheTextAfterTheLastSeparatorAtACharacterStart) {
    const AfterLastCase cases[] = {
        {"a\r\nb\r\nC:\\x>", "\r\n", Rule::HighBit, "C:\\x>"},
        {"C:\\x>", "\r\n", Rule::HighBit, ""},
        {"a\r\n", "\r\n", Rule::HighBit, ""},
        {"", "\r\n", Rule::HighBit, ""},
        {"abc", "", Rule::HighBit, ""},
        {"a>b>c", ">", Rule::None, "c"},
        // The last 'C' is a trail byte: the high-bit rule takes the earlier one.
        {"aCb" + kTrailC + "d", "C", Rule::HighBit, "b" + kTrailC + "d"},
        {"aCb" + kTrailC + "d", "C", Rule::None, "d"},
        // A prompt glued behind a double-byte character whose trail is the prompt's first byte.
        {"out\r\n" + kTrailC + ":\\x>", "C:\\x>", Rule::HighBit, ""},
        {"out\r\n" + kTrailC + ":\\x>tail", "C:\\x>", Rule::None, "tail"},
        // UTF-8 and single-byte high characters right before CR LF do not swallow the CR.
        {"a\r\n" + kUtf8Zhong + "\r\nC:\\x>", "\r\n", Rule::HighBit, "C:\\x>"},
        {"caf\xE9\r\nC:\\x>", "\r\n", Rule::HighBit, "C:\\x>"},
        {"\xC3\xA9\r\nC:\\x>", "\r\n", Rule::HighBit, "C:\\x>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text) + " / " + testing::PrintToString(c.separator));
        EXPECT_EQ(textAfterLast(c.text, c.separator, ruleOf(c.rule)), c.expected);
    }
}

TEST(RemoveEvery, ScansLeftToRightWithoutOverlap) {
    const LeadBytes none = LeadBytes::none();
    EXPECT_EQ(removeEvery("aaa", "aa", none), "a");
    EXPECT_EQ(removeEvery("abcabc", "", none), "abcabc");
    EXPECT_EQ(removeEvery("xyxy", "xy", none), "");
    // The scan never looks back: pieces that meet once a match is cut do not form a new match.
    EXPECT_EQ(removeEvery("aabb", "ab", none), "ab");
    EXPECT_EQ(removeEvery(kTrailC + "C", "C", LeadBytes::highBit()), kTrailC);
}

struct TrimCase {
    std::string text;
    std::string expected;
};

TEST(TrimBlankLines, DropsEmptyLinesAtBothEndsOnly) {
    const TrimCase cases[] = {
        {"", ""},
        {"\r\n", ""},
        {"\r\n\r\n\r\n", ""},
        {"a", "a"},
        {"a\r\n", "a"},
        {"\r\n\r\na\r\n\r\nb\r\n\r\n", "a\r\n\r\nb"},
        {"a\r\n\r\n\r\nb", "a\r\n\r\n\r\nb"},
        {" \r\n", " "},
        {"\r\n \r\n\t\r\n", " \r\n\t"},
        {"a\n\nb\n", "a\n\nb\n"},   // bare LF does not end a line
        {"\r\r\n", "\r"},           // a lone CR is content
        {"\r\n\ra", "\ra"},
        {kUtf8Zhong + "\r\n\r\n", kUtf8Zhong},
        {"\r\n\x81\r\n", "\x81"},   // a lead byte before CR stays a character of its own
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(trimBlankLines(c.text, LeadBytes::highBit()), c.expected);
    }
}

TEST(SplitCrLfLines, PieceAfterLastCrLfIsALineOnlyWhenNotEmpty) {
    const LeadBytes rule = LeadBytes::highBit();
    EXPECT_TRUE(splitCrLfLines("", rule).empty());
    EXPECT_EQ(splitCrLfLines("a\r\n", rule), (std::vector<std::string_view>{"a"}));
    EXPECT_EQ(splitCrLfLines("a\r\n\r\nb", rule), (std::vector<std::string_view>{"a", "", "b"}));
    EXPECT_EQ(splitCrLfLines("\r\n\r\n", rule), (std::vector<std::string_view>{"", ""}));
}

struct CleanCase {
    std::string name;
    std::string collected;
    std::string lastCommand;
    std::string prompt;
    Rule rule;
    std::string expected;
};

TEST(CleanOutput, LeavesOnlyTheCommandsOwnAnswer) {
    const std::string prompt = "C:\\oz>";
    const std::string connect = "adb connect 10.0.0.7:5555\r\n";
    const CleanCase cases[] = {
        {"echo, line, empty line, prompt", connect + "connected to 10.0.0.7:5555\r\n\r\n" + prompt, connect, prompt,
         Rule::HighBit, "connected to 10.0.0.7:5555"},
        {"echo behind the prompt (Windows)", prompt + connect + "connected to 10.0.0.7:5555\r\n\r\n" + prompt, connect,
         prompt, Rule::HighBit, "connected to 10.0.0.7:5555"},
        {"inner empty lines and blank lines stay", connect + "\r\na\r\n\r\n  \r\nb\r\n\r\n" + prompt, connect, prompt,
         Rule::HighBit, "a\r\n\r\n  \r\nb"},
        {"prompt text inside the answer goes too", "x C:\\oz> y\r\n" + prompt, "", prompt, Rule::HighBit, "x  y"},
        {"empty command removes nothing", "a\r\nb\r\n" + prompt, "", prompt, Rule::HighBit, "a\r\nb"},
        {"bare CR LF command removes every CR LF", "a\r\nb\r\n" + prompt, "\r\n", prompt, Rule::HighBit, "ab"},
        {"empty prompt removes nothing", "a\r\nC:\\oz>", "", "", Rule::HighBit, "a\r\nC:\\oz>"},
        {"case matters", "ADB CONNECT 10.0.0.7:5555\r\nx", connect, prompt, Rule::HighBit,
         "ADB CONNECT 10.0.0.7:5555\r\nx"},
        // The command goes first: removing the prompt first would leave "y" behind.
        {"command before prompt", "C:\\x>y\r\nout\r\n" "C:\\x>", "x>y\r\n", "C:\\x>", Rule::HighBit, "C:\\out"},
        {"prompt hidden in a double-byte character stays", "a" + kTrailC + ":\\x>\r\nC:\\x>", "", "C:\\x>",
         Rule::HighBit, "a" + kTrailC + ":\\x>"},
        {"same bytes without lead bytes are a prompt", "a" + kTrailC + ":\\x>\r\nC:\\x>", "", "C:\\x>", Rule::None,
         "a\x81"},
        {"UTF-8 answer keeps its line breaks", connect + kUtf8Zhong + "\r\n" + kUtf8Zhong + "\r\n" + prompt, connect,
         prompt, Rule::HighBit, kUtf8Zhong + "\r\n" + kUtf8Zhong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cleanOutput(c.collected, c.lastCommand, c.prompt, ruleOf(c.rule)), c.expected);
    }
}

TEST(RecognisePrompt, OnlyALineOfTheFolderPromptsFormEndsAnAnswer) {
    const LeadBytes rule = LeadBytes::highBit();
    struct Case {
        const char* name;
        std::string collected;
        std::optional<std::string> prompt;
    };
    const Case cases[] = {
        {"banner then first prompt", "banner\r\nC:\\oz>", "C:\\oz>"},
        {"drive root", "\r\nD:\\>", "D:\\>"},
        {"UNC form", "\r\n\\\\server\\share>", "\\\\server\\share>"},
        {"Chinese folder", kUtf8Zhong + "\r\nD:\\" + kUtf8Zhong + ">", "D:\\" + kUtf8Zhong + ">"},
        {"after an answer", "Success\r\n\r\nc:\\oz>", "c:\\oz>"},
        {"a program's question", "a\r\nOverwrite? (Yes/No)>", std::nullopt},
        {"adb's LF line ending in '>'", "echo\r\nprogress\nx>", std::nullopt},
        {"adb's LF line that looks like a prompt", "echo\r\nout\nC:\\oz>", std::nullopt},
        {"a bare 'x>'", "echo\r\nx>", std::nullopt},
        {"a drive letter alone", "echo\r\nC:>", std::nullopt},
        {"two '>'", "echo\r\nC:\\a>b>", std::nullopt},
        {"a control character", "echo\r\nC:\\a\tb>", std::nullopt},
        {"no CR LF before it", "C:\\oz>", std::nullopt},
        {"blank after it", "a\r\nC:\\oz> ", std::nullopt},
        {"line already ended", "a\r\nC:\\oz>\r\n", std::nullopt},
        {"no '>' yet", "a\r\nC:\\oz", std::nullopt},
        {"nothing", "", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(recognisePrompt(c.collected, rule), c.prompt);
    }
}

// What a read does: append chunk by chunk and stop at the first chunk that completes a prompt.
std::optional<std::string> readInChunks(std::string_view full, std::size_t chunkSize, std::size_t& consumed) {
    std::string collected;
    for (consumed = 0; consumed < full.size();) {
        collected += full.substr(consumed, chunkSize);
        consumed = collected.size();
        if (auto prompt = recognisePrompt(collected, LeadBytes::highBit())) return prompt;
    }
    return std::nullopt;
}

TEST(RecognisePrompt, FoundExactlyWhenAllOutputHasArrived) {
    // Windows echoes "prompt + command" first; with no CR LF before it, that '>' is no prompt.
    const std::string full = "C:\\Program Files\\oz>adb connect 1.2.3.4:5555\r\n"
                             "* daemon started successfully\r\n" +
                             kUtf8Zhong + "\r\n\r\nC:\\Program Files\\oz>";
    for (std::size_t end = 0; end < full.size(); ++end) {
        SCOPED_TRACE(end);
        EXPECT_EQ(recognisePrompt(full.substr(0, end), LeadBytes::highBit()), std::nullopt);
    }
    for (std::size_t chunk = 1; chunk <= full.size(); ++chunk) {
        SCOPED_TRACE(chunk);
        std::size_t consumed = 0;
        EXPECT_EQ(readInChunks(full, chunk, consumed), "C:\\Program Files\\oz>");
        EXPECT_EQ(consumed, full.size());
    }
}

TEST(NormaliseLineEnds, OnlyBareLineFeedsChange) {
    const TrimCase cases[] = {
        {"", ""},
        {"a\nb", "a\r\nb"},
        {"\n\n", "\r\n\r\n"},
        {"a\r\nb", "a\r\nb"},
        {"a\rb", "a\rb"},
        {"\r\r\n", "\r\r\n"},
        {"connected to x\n\r\n", "connected to x\r\n\r\n"},
        {kUtf8Zhong + "\n", kUtf8Zhong + "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(normaliseLineEnds(c.text), c.expected);
    }
}

TEST(IsValidUtf8, StrictDecoding) {
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"plain ASCII", true},
        {kUtf8Zhong, true},
        {"\xC2\x80", true},              // U+0080
        {"\xED\x9F\xBF", true},          // U+D7FF
        {"\xEE\x80\x80", true},          // U+E000
        {"\xF4\x8F\xBF\xBF", true},      // U+10FFFF
        {"\xF0\x9F\x98\x80", true},      // U+1F600
        {"\xC0\xAF", false},             // overlong '/'
        {"\xC1\xBF", false},
        {"\xE0\x80\xAF", false},
        {"\xE0\x9F\xBF", false},
        {"\xF0\x80\x80\xAF", false},
        {"\xF0\x8F\xBF\xBF", false},
        {"\xED\xA0\x80", false},         // surrogate U+D800
        {"\xED\xBF\xBF", false},
        {"\xF4\x90\x80\x80", false},     // past U+10FFFF
        {"\xF5\x80\x80\x80", false},
        {"\xFF", false},
        {"\x80", false},                 // stray continuation
        {"\xE4\xB8", false},             // cut short
        {"\xE4\xB8" "a", false},
        {"\xF0\x9F\x98" "a", false},
        {"caf\xE9", false},              // Latin-1
    };
    for (const auto& [bytes, valid] : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        EXPECT_EQ(isValidUtf8(bytes), valid);
    }
}

}  // namespace
}  // namespace oz
