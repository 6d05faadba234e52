#pragma once
// adb's transport messages: a 24-byte little-endian header and a payload. The decoder reads a
// TCP stream that anyone on the network could be sending, so it keeps at most one header and
// one payload of at most the agreed size, and checks the header before it reserves anything.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/adb_status.h"

namespace oz {

enum AdbCommand : std::uint32_t {
    A_CNXN = 0x4e584e43,
    A_AUTH = 0x48545541,
    A_OPEN = 0x4e45504f,
    A_OKAY = 0x59414b4f,
    A_CLSE = 0x45534c43,
    A_WRTE = 0x45545257,
    A_STLS = 0x534c5453,
};

inline constexpr std::size_t kAdbHeaderBytes = 24;
inline constexpr std::uint32_t kAdbMaxPayload = 256 * 1024;

struct AdbMessage {
    std::uint32_t command = 0;
    std::uint32_t arg0 = 0;
    std::uint32_t arg1 = 0;
    std::string payload;
    bool operator==(const AdbMessage&) const = default;
};

// Sum of the payload bytes, modulo 2^32.
std::uint32_t adbChecksum(std::string_view payload);

// Header and payload. Peers from protocol version 0x01000001 on ignore the checksum and adb
// sends 0 to them; older ones need it.
std::string encodeAdbMessage(const AdbMessage& message, bool withChecksum);

struct AdbDecoded {
    std::vector<AdbMessage> messages;  // every whole message, in order
    AdbStatus status = AdbStatus::Ok;  // the first fault; nothing after it is decoded
};

class AdbDecoder {
public:
    explicit AdbDecoder(std::uint32_t maxPayload = kAdbMaxPayload) : maxPayload_(maxPayload) {}

    // Takes the next bytes of the stream, split anywhere. After a fault every later call reports
    // that fault again and decodes nothing.
    AdbDecoded feed(std::string_view bytes);

private:
    AdbStatus checkHeader();
    AdbStatus finishMessage(std::vector<AdbMessage>& out);

    std::uint32_t maxPayload_;
    std::array<char, kAdbHeaderBytes> header_{};
    std::size_t headerFill_ = 0;
    AdbMessage pending_;
    std::uint32_t payloadLength_ = 0;
    AdbStatus fault_ = AdbStatus::Ok;
};

}  // namespace oz
