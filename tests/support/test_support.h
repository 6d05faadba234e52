#pragma once
// Small helpers shared by the Windows test programs.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace oz::test {

// A fresh folder under %TEMP% named "oz-<namePart>-<unique>", removed with everything in it at
// the end. namePart may hold blanks, '&', Chinese and the like to exercise such paths.
class TempFolder {
public:
    explicit TempFolder(std::wstring_view namePart = L"test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Sets (or, with nullopt, removes) one variable of this process, which its children inherit;
// the previous state comes back at the end.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::wstring name, std::optional<std::wstring> value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void set(const std::optional<std::wstring>& value) const;

private:
    std::wstring name_;
    std::optional<std::wstring> previous_;
};

// The current directory (where a new interpreter starts) for the scope, then the previous one.
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::filesystem::path& directory);
    ~ScopedCurrentDirectory();
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

private:
    std::wstring previous_;
};

// The folder of the running test program: Ozarith.exe and adb.exe are built into it too.
std::filesystem::path buildBinDir();

struct ProgramRun {
    DWORD exitCode = 0;
    bool killed = false;  // still running at the deadline or when stopWhen held, so terminated
    std::string output;   // stdout and stderr bytes in the order written (one pipe)
};

// Runs program with the given argument text (appended after the quoted program path, as is) and
// standard input from NUL. Waits until it ends, but at most timeout and, when stopWhen is given,
// only until stopWhen(output so far) holds; a program still running then is terminated.
ProgramRun runProgram(const std::filesystem::path& program, std::wstring_view arguments,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30),
                      const std::function<bool(const std::string&)>& stopWhen = {});

}  // namespace oz::test
