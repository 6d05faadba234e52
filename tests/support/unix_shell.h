#pragma once
// Under Wine, Linux programs (the TV double, openssl) run from the Windows tests through
// /bin/sh. Wine starts a Unix program given to CreateProcessW but hands back no process handle,
// so a script tells that it has ended by a file it writes last.
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace oz::test {

// The Unix path of a Windows path; nullopt outside Wine.
std::optional<std::string> unixPathOf(const std::filesystem::path& path);

// 'text' for sh, with any quote in it kept.
std::string shellQuoted(std::string_view text);

// Starts script with /bin/sh in folder and does not wait for it.
bool startUnixScript(const std::filesystem::path& folder, std::string_view script);

struct UnixRun {
    int exitCode = -1;
    std::string output;  // stdout and stderr
};

// Runs script in folder; nullopt when it did not end within timeout.
std::optional<UnixRun> runUnixScript(const std::filesystem::path& folder, std::string_view script,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(30));

std::string readWholeFile(const std::filesystem::path& path);

// Polls (every 20 ms) until path exists; false at the deadline.
bool waitForFile(const std::filesystem::path& path, std::chrono::milliseconds timeout);

}  // namespace oz::test
