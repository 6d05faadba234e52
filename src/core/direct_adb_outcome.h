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


std::string_view outcomeText(DirectAdbOutcome outcome);

// The outcome for a status the protocol core ended a connection or refused a call with.
DirectAdbOutcome outcomeOfStatus(AdbStatus status);

}  // namespace oz
