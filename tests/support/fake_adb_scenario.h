#pragma once
// A private scenario, command log and server state for the fake adb.exe (tests/fakes/README.md).
// While one lives, this process's OZ_FAKE_ADB_* variables point into its temp folder, so every
// adb.exe started from here (directly, through cmd.exe or through Ozarith.exe) uses them.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_support.h"

namespace oz::test {

class FakeAdbScenario {
public:
    // Until write() is called, adb.exe answers with its built-in default (everything succeeds).
    explicit FakeAdbScenario(std::wstring_view folderName = L"fake adb");

    // Replaces the scenario (UTF-8 text); adb.exe reads it afresh on every run.
    void write(std::string_view rules) const;

    // Every command line adb.exe received so far, oldest first, arguments joined by one blank.
    std::vector<std::string> calls() const;

    const std::filesystem::path& folder() const { return folder_.path(); }

    // The adb.exe built next to the test program.
    static std::filesystem::path adbExe();

private:
    TempFolder folder_;
    ScopedEnvironment scenario_;
    ScopedEnvironment log_;
    ScopedEnvironment state_;
};

}  // namespace oz::test
