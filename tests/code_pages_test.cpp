// Each test program runs under an English and a Chinese locale (tests/CMakeLists.txt); this
// checks that the locale really reached the system, so a green Chinese run means what it says.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

TEST(CodePages, AreTheOnesThisRunIsMeantFor) {
    const std::string actual = std::to_string(::GetOEMCP()) + " " + std::to_string(::GetACP());
    std::printf("code pages: OEM %u, ANSI %u\n", ::GetOEMCP(), ::GetACP());
    const char* expected = std::getenv("OZ_EXPECT_CODE_PAGES");  // "OEM ANSI", set by ctest
    if (!expected) GTEST_SKIP() << "OZ_EXPECT_CODE_PAGES is not set; code pages " << actual;
    EXPECT_EQ(actual, expected);
}

}  // namespace
