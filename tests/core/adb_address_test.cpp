#include "core/adb_address.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace oz {
namespace {

struct AddressCase {
    const char* typed;
    std::optional<AdbAddress> parsed;
    const char* shown;  // what "connected to" names; unused when refused
};

const AddressCase kAddresses[] = {
    {"192.168.1.20", AdbAddress{"192.168.1.20", "5555"}, "192.168.1.20:5555"},
    {"192.168.1.20:5037", AdbAddress{"192.168.1.20", "5037"}, "192.168.1.20:5037"},
    {"127.0.0.1:65535", AdbAddress{"127.0.0.1", "65535"}, "127.0.0.1:65535"},
    {"127.0.0.1:1", AdbAddress{"127.0.0.1", "1"}, "127.0.0.1:1"},
    {"mitv-living-room.local:5555", AdbAddress{"mitv-living-room.local", "5555"}, "mitv-living-room.local:5555"},
    {"[::1]:5556", AdbAddress{"::1", "5556"}, "[::1]:5556"},
    {"[fe80::1%eth0]", AdbAddress{"fe80::1%eth0", "5555"}, "[fe80::1%eth0]:5555"},
    {"fe80::1", AdbAddress{"fe80::1", "5555"}, "[fe80::1]:5555"},
    {"", std::nullopt, ""},
    {":5555", std::nullopt, ""},
    {"1.2.3.4:", std::nullopt, ""},
    {"1.2.3.4:0", std::nullopt, ""},
    {"1.2.3.4:65536", std::nullopt, ""},
    {"1.2.3.4:05555", std::nullopt, ""},
    {"1.2.3.4:55x", std::nullopt, ""},
    {"1.2.3.4:123456", std::nullopt, ""},
    {"1.2.3.4 & calc", std::nullopt, ""},
    {"1.2.3.4/24", std::nullopt, ""},
    {"[::1", std::nullopt, ""},
    {"[]:5555", std::nullopt, ""},
    {"[::1]5555", std::nullopt, ""},
    {"[::1]:", std::nullopt, ""},
    {"[a b]:1", std::nullopt, ""},
    {"电视:5555", std::nullopt, ""},
};

TEST(AdbAddress, ReadsWhatAdbConnectTakesAndNothingElse) {
    for (const AddressCase& c : kAddresses) {
        const std::optional<AdbAddress> parsed = parseAdbAddress(c.typed);
        EXPECT_EQ(parsed, c.parsed) << c.typed;
        if (parsed) {
            EXPECT_EQ(displayAdbAddress(*parsed), c.shown) << c.typed;
        }
    }
}

TEST(AdbAddress, HostLengthIsBounded) {
    const std::string longest(kMaxAdbHostLength, 'a');
    EXPECT_TRUE(parseAdbAddress(longest + ":5555"));
    EXPECT_FALSE(parseAdbAddress(longest + "a:5555"));
    EXPECT_FALSE(parseAdbAddress("[" + longest + ":]:5555"));
}

}  // namespace
}  // namespace oz
