#include "core/adb_status.h"

#include <gtest/gtest.h>

#include <set>
#include <string_view>

namespace oz {
namespace {

TEST(AdbStatus, EveryCodeHasItsOwnDescription) {
    std::set<std::string_view> seen;
    for (int code = 0; code <= static_cast<int>(AdbStatus::BadArgument); ++code) {
        const std::string_view text = describe(static_cast<AdbStatus>(code));
        EXPECT_NE(text, "unknown status") << code;
        EXPECT_TRUE(seen.insert(text).second) << text;
    }
}

}  // namespace
}  // namespace oz
