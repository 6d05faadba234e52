// What the program learns about the system and itself.
#include <gtest/gtest.h>

#include "runtime/system_info_win.h"

namespace oz {
namespace {

TEST(SystemInfo, ThisIsTheNtFamily) { EXPECT_EQ(osType(), 3); }

TEST(SystemInfo, RunDirectoryHoldsThisProgramAndEndsWithoutBackslash) {
    const std::wstring folder = runDirectory();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), L'\\');
    EXPECT_NE(::GetFileAttributesW((folder + L"\\console_tests.exe").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(::GetFileAttributesA((runDirectoryBytes(CP_ACP) + "\\console_tests.exe").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(SystemInfo, LeadBytesFollowTheCodePage) {
    const LeadBytes chinese = leadBytesOf(936);
    EXPECT_TRUE(chinese.isLead(0x81));
    EXPECT_TRUE(chinese.isLead(0xFE));
    EXPECT_FALSE(chinese.isLead(0x80));
    EXPECT_FALSE(chinese.isLead(0xFF));
    EXPECT_FALSE(chinese.isLead('A'));
    const LeadBytes western = leadBytesOf(1252);
    for (int byte = 0; byte < 256; ++byte) EXPECT_FALSE(western.isLead(static_cast<std::uint8_t>(byte))) << byte;
}

}  // namespace
}  // namespace oz
