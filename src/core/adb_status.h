#pragma once
// Why a connection to the TV ended or a command did not run, as one code the Windows side maps
// to its log line. Each code has a short English description for the log.
#include <string_view>

namespace oz {

enum class AdbStatus {
    Ok,
    // The stream itself is damaged: not adb, or not adb as it is spoken.
    BadMagic,
    UnknownCommand,
    PayloadTooLarge,
    BadChecksum,
    // A well-formed message that does not belong where it came.
    UnexpectedMessage,
    WrongStreamId,
    MalformedMessage,
    // Outcomes of the handshake.
    KeyRefused,
    NeedsTlsPairing,
    ConnectionClosed,
    // A command the client was asked to run.
    CommandRefused,
    CommandTooLong,
    NotReady,
    BadArgument,  // last: the tests walk the codes up to here
};

std::string_view describe(AdbStatus status);

}  // namespace oz
