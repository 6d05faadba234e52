#include "core/direct_adb_outcome.h"

#include <gtest/gtest.h>

#include <set>
#include <string_view>

namespace oz {
namespace {

TEST(DirectAdbOutcome, EveryOutcomeHasItsOwnChineseAndEnglishText) {
    std::set<std::string_view> seen;
    for (int code = 0; code <= static_cast<int>(DirectAdbOutcome::NotConnected); ++code) {
        const std::string_view text = outcomeText(static_cast<DirectAdbOutcome>(code));
        EXPECT_NE(text, outcomeText(static_cast<DirectAdbOutcome>(-1))) << code;
        EXPECT_TRUE(seen.insert(text).second) << text;
        // Chinese first (UTF-8 lead bytes), then the English in brackets.
        EXPECT_GE(static_cast<unsigned char>(text.front()), 0xE0u) << text;
        EXPECT_EQ(text.back(), ')') << text;
        EXPECT_NE(text.find(" ("), std::string_view::npos) << text;
    }
}

struct StatusCase {
    AdbStatus status;
    DirectAdbOutcome outcome;
};

const StatusCase kStatuses[] = {
    {AdbStatus::BadMagic, DirectAdbOutcome::ProtocolError},
    {AdbStatus::UnknownCommand, DirectAdbOutcome::ProtocolError},
    {AdbStatus::PayloadTooLarge, DirectAdbOutcome::ProtocolError},
    {AdbStatus::BadChecksum, DirectAdbOutcome::ProtocolError},
    {AdbStatus::UnexpectedMessage, DirectAdbOutcome::ProtocolError},
    {AdbStatus::WrongStreamId, DirectAdbOutcome::ProtocolError},
    {AdbStatus::MalformedMessage, DirectAdbOutcome::ProtocolError},
    {AdbStatus::KeyRefused, DirectAdbOutcome::KeyRefused},
    {AdbStatus::NeedsTlsPairing, DirectAdbOutcome::TlsPairingNeeded},
    {AdbStatus::ConnectionClosed, DirectAdbOutcome::Dropped},
    {AdbStatus::CommandRefused, DirectAdbOutcome::CommandRefused},
    {AdbStatus::CommandTooLong, DirectAdbOutcome::CommandTooLong},
    {AdbStatus::NotReady, DirectAdbOutcome::NotConnected},
    {AdbStatus::BadArgument, DirectAdbOutcome::BadCommand},
};

TEST(DirectAdbOutcome, EveryFaultStatusHasAnOutcome) {
    static_assert(std::size(kStatuses) == static_cast<std::size_t>(AdbStatus::BadArgument));
    for (const StatusCase& c : kStatuses) EXPECT_EQ(outcomeOfStatus(c.status), c.outcome) << describe(c.status);
}

}  // namespace
}  // namespace oz
