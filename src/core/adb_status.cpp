#include "core/adb_status.h"

namespace oz {

std::string_view describe(AdbStatus status) {
    switch (status) {
        case AdbStatus::Ok: return "ok";
        case AdbStatus::BadMagic: return "the TV sent a damaged message header (magic does not match)";
        case AdbStatus::UnknownCommand: return "the TV sent a message of an unknown kind";
        case AdbStatus::PayloadTooLarge: return "the TV sent a message larger than agreed";
        case AdbStatus::BadChecksum: return "the TV sent a message whose checksum does not match";
        case AdbStatus::UnexpectedMessage: return "the TV sent a message out of order";
        case AdbStatus::WrongStreamId: return "the TV answered for a stream that is not open";
        case AdbStatus::MalformedMessage: return "the TV sent a message with wrong contents";
        case AdbStatus::KeyRefused: return "the TV did not accept this computer's key";
        case AdbStatus::NeedsTlsPairing: return "the TV asks for wireless debugging with pairing (TLS), which is not supported";
        case AdbStatus::ConnectionClosed: return "the TV closed the connection";
        case AdbStatus::CommandRefused: return "the TV refused to run the command";
        case AdbStatus::CommandTooLong: return "the command is longer than the TV accepts";
        case AdbStatus::NotReady: return "not connected, or another command is still running";
        case AdbStatus::BadArgument: return "an empty or over-long banner, public key or signature, or a NUL in a command";
    }
    return "unknown status";
}

}  // namespace oz
