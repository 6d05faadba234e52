#pragma once
// How a connection to the TV or a command on it through the built-in adb client turned out,
// with the line the log shows for it: Chinese for the user, English after it in brackets.
#include <string_view>

#include "core/adb_status.h"

namespace oz {

enum class DirectAdbOutcome {
    Connected,
    Finished,  // the command ran; its output is the TV's answer
    BadAddress,
    NameNotFound,
    Refused,
    Unreachable,
    TimedOut,
    Stopped,
    NetworkUnavailable,
    KeyUnavailable,
    KeyRefused,
    OwnerDidNotAllow,
    TlsPairingNeeded,
    ProtocolError,
    Dropped,
    NoAnswer,
    CommandRefused,
    CommandTooLong,
    BadCommand,
    NotConnected,  // last: the tests walk the outcomes up to here
};

// Logged once when the TV does not know this computer's key and shows its owner a prompt.
inline constexpr std::string_view kWaitingForOwnerText =
    "请在电视上允许 USB 调试 (waiting for the TV's owner to allow USB debugging)";

std::string_view outcomeText(DirectAdbOutcome outcome);

// The outcome for a status the protocol core ended a connection or refused a call with.
DirectAdbOutcome outcomeOfStatus(AdbStatus status);

}  // namespace oz
