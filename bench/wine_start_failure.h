#pragma once
// Wine 8's cmd.exe now and then fails to start an adb.exe that is there and that it has just run
// many times; it then answers as for a command it cannot find (docs/wine-vs-windows.md). The soak
// and the reliability suite tell that case apart from every other failure by this answer.
#include <string>
#include <string_view>

namespace oz::bench {

// The command line an answer (a log line after its action's prefix) says cmd.exe could not
// start, in Wine's English or Chinese wording; empty for any other answer.
inline std::wstring notStartedCommand(std::wstring_view answer) {
    struct Wording {
        std::wstring_view before, after;
    };
    constexpr Wording wordings[] = {
        {L"Can't recognize '", L"' as an internal or external command, or batch script."},
        {L"无法将 \"", L"\" 识别为内部或外部命令，或者批处理脚本。"},
    };
    for (const Wording& wording : wordings)
        if (answer.size() > wording.before.size() + wording.after.size() && answer.starts_with(wording.before) &&
            answer.ends_with(wording.after))
            return std::wstring(answer.substr(wording.before.size(),
                                              answer.size() - wording.before.size() - wording.after.size()));
    return {};
}

}  // namespace oz::bench
