#pragma once
// The small part of DER that adb's key files use: SEQUENCE, INTEGER, NULL, OBJECT IDENTIFIER and
// OCTET STRING. The reader takes a key file's bytes, which may be damaged or hostile, so every
// length is checked against what is left before it is used; the writer produces the canonical
// encoding, which is what makes a key file read and written again come out byte for byte.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace oz {

enum DerTag : std::uint8_t {
    DER_INTEGER = 0x02,
    DER_OCTET_STRING = 0x04,
    DER_NULL = 0x05,
    DER_OBJECT_IDENTIFIER = 0x06,
    DER_SEQUENCE = 0x30,
};

// Integers larger than this (a 4096-bit key's modulus) are refused.
inline constexpr std::size_t kDerMaxIntegerBytes = 512;

// Reads elements one after another from a view of DER bytes. A failed read leaves the reader
// where it was.
class DerReader {
public:
    explicit DerReader(std::string_view bytes) : rest_(bytes) {}
    // It only views the bytes: a temporary string would be gone before the first read.
    explicit DerReader(std::string&&) = delete;

    // The contents of the next element when it has this tag and a definite, minimally encoded
    // length (at most four length bytes) that fits in what is left.
    std::optional<std::string_view> take(DerTag tag);
    // A non-negative, minimally encoded INTEGER of at most kDerMaxIntegerBytes (not counting the
    // 0x00 that keeps the top bit clear), as big-endian bytes without leading zeros ("" for 0).
    std::optional<std::string> takeUnsigned();

    bool atEnd() const { return rest_.empty(); }

private:
    std::string_view rest_;
};

// Tag, minimal length and contents.
std::string derElement(DerTag tag, std::string_view contents);
// An INTEGER from big-endian bytes; leading zeros are dropped and a 0x00 is put in front of a
// set top bit, so the value always reads back as non-negative.
std::string derUnsigned(std::string_view bigEndian);

// Big-endian bytes without their leading zero bytes.
std::string_view stripLeadingZeros(std::string_view bigEndian);

}  // namespace oz
