#include "core/interpreter_environment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace oz {
namespace {

using Entries = std::vector<std::string>;

TEST(InterpreterEnvironment, AnyPromptOfTheUserBecomesTheKnownOneAndTheRestStays) {
    const struct {
        const char* name;
        Entries given;
        Entries expected;
    } cases[] = {
        {"no prompt: one is added", {"=C:=C:\\oz", "PATH=C:\\w"}, {"=C:=C:\\oz", "PATH=C:\\w", kKnownPrompt}},
        {"a prompt with a blank after it", {"A=1", "PROMPT=$P$G$S", "B=2"}, {"A=1", kKnownPrompt, "B=2"}},
        {"a colour prompt in lower case", {"prompt=$E[32m$P$G$E[0m"}, {kKnownPrompt}},
        {"twice, in two spellings", {"Prompt=$T", "X=y", "PROMPT=$N$G"}, {kKnownPrompt, "X=y"}},
        {"names that only begin alike stay", {"PROMPTS=1", "PROMPT_OLD=$T$G"}, {"PROMPTS=1", "PROMPT_OLD=$T$G", kKnownPrompt}},
        {"a value that mentions PROMPT stays", {"X=PROMPT=$T"}, {"X=PROMPT=$T", kKnownPrompt}},
        {"nothing at all", {}, {kKnownPrompt}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(interpreterEnvironment(c.given), c.expected);
    }
}

}  // namespace
}  // namespace oz
