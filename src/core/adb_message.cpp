#include "core/adb_message.h"

#include <algorithm>

#include "core/little_endian.h"

namespace oz {
namespace {

bool isKnownCommand(std::uint32_t command) {
    switch (command) {
        case A_CNXN: case A_AUTH: case A_OPEN: case A_OKAY: case A_CLSE: case A_WRTE: case A_STLS: return true;
        default: return false;
    }
}

std::uint32_t headerWord(const std::array<char, kAdbHeaderBytes>& header, std::size_t index) {
    return littleEndian32At(std::string_view(header.data(), header.size()), 4 * index);
}

}  // namespace

std::uint32_t adbChecksum(std::string_view payload) {
    std::uint32_t sum = 0;
    for (const char c : payload) sum += static_cast<std::uint8_t>(c);
    return sum;
}

std::string encodeAdbMessage(const AdbMessage& message, bool withChecksum) {
    std::string out;
    out.reserve(kAdbHeaderBytes + message.payload.size());
    for (const std::uint32_t word : {message.command, message.arg0, message.arg1}) appendLittleEndian32(out, word);
    appendLittleEndian32(out, static_cast<std::uint32_t>(message.payload.size()));
    appendLittleEndian32(out, withChecksum ? adbChecksum(message.payload) : 0);
    appendLittleEndian32(out, message.command ^ 0xFFFFFFFFu);
    return out + message.payload;
}

AdbStatus AdbDecoder::checkHeader() {
    const std::uint32_t command = headerWord(header_, 0);
    if (headerWord(header_, 5) != (command ^ 0xFFFFFFFFu)) return AdbStatus::BadMagic;
    if (!isKnownCommand(command)) return AdbStatus::UnknownCommand;
    payloadLength_ = headerWord(header_, 3);
    if (payloadLength_ > maxPayload_) return AdbStatus::PayloadTooLarge;
    pending_ = AdbMessage{command, headerWord(header_, 1), headerWord(header_, 2), {}};
    pending_.payload.reserve(payloadLength_);
    return AdbStatus::Ok;
}

AdbStatus AdbDecoder::finishMessage(std::vector<AdbMessage>& out) {
    const std::uint32_t check = headerWord(header_, 4);
    // A zero check is what adb sends once both sides speak 0x01000001; never compared then.
    if (check != 0 && check != adbChecksum(pending_.payload)) return AdbStatus::BadChecksum;
    out.push_back(std::move(pending_));
    pending_ = AdbMessage{};
    headerFill_ = 0;
    return AdbStatus::Ok;
}

AdbDecoded AdbDecoder::feed(std::string_view bytes) {
    AdbDecoded result;
    while (fault_ == AdbStatus::Ok) {
        if (headerFill_ < kAdbHeaderBytes) {
            if (bytes.empty()) break;
            const std::size_t take = std::min(bytes.size(), kAdbHeaderBytes - headerFill_);
            std::copy_n(bytes.begin(), take, header_.begin() + static_cast<std::ptrdiff_t>(headerFill_));
            headerFill_ += take;
            bytes.remove_prefix(take);
            if (headerFill_ == kAdbHeaderBytes) fault_ = checkHeader();
            continue;
        }
        const std::size_t take = std::min<std::size_t>(bytes.size(), payloadLength_ - pending_.payload.size());
        pending_.payload.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (pending_.payload.size() < payloadLength_) break;  // every byte taken, more to come
        fault_ = finishMessage(result.messages);
    }
    result.status = fault_;
    return result;
}

}  // namespace oz
