// libFuzzer entry for what reads bytes from the network or from a key file: the message
// decoder, the client and the key readers. The first byte picks the target. Built only with
// -DOZ_FUZZ=ON and clang; the seeded loops in adb_fuzz_test.cpp run with every test run instead.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/adb_client.h"
#include "core/adb_message.h"
#include "core/android_pubkey.h"
#include "core/rsa_key.h"

namespace {

void require(bool holds) {
    if (!holds) std::abort();
}

// The stream decodes the same whole and in pieces of every third byte.
void fuzzDecoder(std::string_view bytes) {
    const oz::AdbDecoded whole = oz::AdbDecoder(1024).feed(bytes);
    oz::AdbDecoder pieces(1024);
    std::size_t count = 0;
    oz::AdbStatus status = oz::AdbStatus::Ok;
    for (std::size_t pos = 0; pos < bytes.size(); pos += 3) {
        const oz::AdbDecoded piece = pieces.feed(bytes.substr(pos, 3));
        for (const oz::AdbMessage& message : piece.messages) require(message == whole.messages.at(count++));
        status = piece.status;
    }
    require(count == whole.messages.size() && status == whole.status);
}

// The client never speaks after it ended, and what it sends always decodes whole.
void fuzzClient(std::string_view bytes) {
    oz::AdbClient client(std::string(oz::kAdbDefaultHostBanner), "QUFBQQ== user@host");
    std::string sent = client.start().send;
    for (std::size_t pos = 0; pos < bytes.size(); pos += 16) {
        const bool endedBefore = client.state() == oz::AdbState::Ended;
        oz::AdbStep step = client.onBytes(bytes.substr(pos, 16));
        require(!endedBefore || (step.send.empty() && step.events.empty()));
        sent += step.send;
        for (const oz::AdbEvent& event : step.events) {
            if (event.kind == oz::AdbEventKind::SignToken) sent += client.onSignature(std::string(256, 's')).send;
            if (event.kind == oz::AdbEventKind::Connected) sent += client.runShell("id").send;
        }
    }
    const oz::AdbDecoded decoded = oz::AdbDecoder().feed(sent);
    std::size_t length = 0;
    for (const oz::AdbMessage& message : decoded.messages) length += oz::kAdbHeaderBytes + message.payload.size();
    require(decoded.status == oz::AdbStatus::Ok && length == sent.size());
}

void fuzzKeys(std::string_view bytes) {
    if (const auto key = oz::readPrivateKeyPem(bytes)) require(oz::readPrivateKeyPem(oz::writePrivateKeyPem(*key)) == key);
    if (const auto key = oz::decodeAndroidPublicKey(bytes)) require(!key->modulus.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
        case 0: fuzzDecoder(bytes); break;
        case 1: fuzzClient(bytes); break;
        default: fuzzKeys(bytes); break;
    }
    return 0;
}
