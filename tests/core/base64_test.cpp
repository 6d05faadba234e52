#include "core/base64.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace oz {
namespace {

TEST(Base64, EncodesTheRfc4648Vectors) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},           {"f", "Zg=="},         {"fo", "Zm8="},       {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
        {std::string("\xFB\xFF\x00", 3), "+/8A"},
    };
    for (const auto& [bytes, text] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(base64Encode(bytes), text);
        EXPECT_EQ(base64Decode(text, 64), bytes);
    }
}

TEST(Base64, EveryByteValueAndLengthRoundTrips) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
    for (std::size_t length = 0; length <= bytes.size(); length += 37) {
        const std::string piece = bytes.substr(bytes.size() - length);
        EXPECT_EQ(base64Decode(base64Encode(piece), 256), piece) << length;
    }
}

TEST(Base64, DecodeRefusesAnythingButCanonicalPaddedText) {
    const std::string refused[] = {
        "Zg",          // no padding
        "Zg=",         // short padding
        "Z===",        // three pad characters
        "=Zg=",        // padding in front
        "Zg==Zg==",    // padding before the end
        "Zh==",        // unused bits set: would also read as "f"
        "Zm9=",        // the same with one pad character
        "Zm9v\n",      // line end
        "Zm 9v",       // blank
        "Zm9-",        // URL-safe alphabet
        "Zm9_",
        std::string("Zm\0v", 4),
        "Zm9v\xC3\xA9==",
    };
    for (const auto& text : refused) {
        SCOPED_TRACE(testing::PrintToString(text));
        EXPECT_EQ(base64Decode(text, 64), std::nullopt);
    }
}

TEST(Base64, DecodeHonoursTheByteLimit) {
    EXPECT_EQ(base64Decode("Zm9v", 3), "foo");
    EXPECT_EQ(base64Decode("Zm9v", 2), std::nullopt);
    EXPECT_EQ(base64Decode("Zm8=", 2), "fo");
    EXPECT_EQ(base64Decode("Zm9vYg==", 3), std::nullopt);
    EXPECT_EQ(base64Decode(std::string(4000, 'A'), 2999), std::nullopt);
    EXPECT_EQ(base64Decode("", 0), "");
}

}  // namespace
}  // namespace oz
