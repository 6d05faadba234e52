// Whether adb.exe is there decides between the interpreter and the built-in client.
#include "runtime/adb_presence_win.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/test_support.h"

namespace oz {
namespace {

namespace fs = std::filesystem;

TEST(AdbPresence, LooksInTheProgramFolderThenOnPath) {
    const test::TempFolder program(L"program");
    const test::TempFolder onPath(L"on path");
    const test::TempFolder elsewhere(L"elsewhere");
    const test::ScopedEnvironment path(L"PATH", elsewhere.path().wstring());
    EXPECT_FALSE(adbExeAvailable(program.path()));

    // A folder of that name is not a program.
    fs::create_directory(program.path() / L"adb.exe");
    EXPECT_FALSE(adbExeAvailable(program.path()));

    std::ofstream(onPath.path() / L"adb.exe") << "MZ";
    path.set(elsewhere.path().wstring() + L";;\"" + onPath.path().wstring() + L"\"");
    EXPECT_TRUE(adbExeAvailable(program.path()));

    path.set(std::nullopt);
    EXPECT_FALSE(adbExeAvailable(program.path()));
    std::ofstream(elsewhere.path() / L"adb.exe") << "MZ";
    EXPECT_TRUE(adbExeAvailable(elsewhere.path()));
}

}  // namespace
}  // namespace oz
