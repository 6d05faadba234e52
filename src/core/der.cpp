#include "core/der.h"

namespace oz {
namespace {

constexpr std::size_t kMaxLengthBytes = 4;

// Reads a definite length at the front of bytes; the count of bytes it took goes to used.
std::optional<std::size_t> readLength(std::string_view bytes, std::size_t& used) {
    if (bytes.empty()) return std::nullopt;
    const auto first = static_cast<std::uint8_t>(bytes[0]);
    if (first < 0x80) {
        used = 1;
        return first;
    }
    const std::size_t count = first & 0x7F;
    // 0x80 is BER's indefinite length; a leading zero byte is a non-minimal long form.
    if (count == 0 || count > kMaxLengthBytes || bytes.size() <= count || bytes[1] == 0) return std::nullopt;
    std::size_t length = 0;
    for (std::size_t i = 1; i <= count; ++i) length = length << 8 | static_cast<std::uint8_t>(bytes[i]);
    if (length < 0x80) return std::nullopt;  // would have fitted the short form
    used = 1 + count;
    return length;
}

void appendLength(std::string& out, std::size_t length) {
    if (length < 0x80) {
        out.push_back(static_cast<char>(length));
        return;
    }
    std::string digits;
    for (; length != 0; length >>= 8) digits.insert(digits.begin(), static_cast<char>(length & 0xFF));
    out.push_back(static_cast<char>(0x80 | digits.size()));
    out += digits;
}

}  // namespace

std::optional<std::string_view> DerReader::take(DerTag tag) {
    if (rest_.empty() || static_cast<std::uint8_t>(rest_[0]) != tag) return std::nullopt;
    std::size_t used = 0;
    const auto length = readLength(rest_.substr(1), used);
    if (!length || *length > rest_.size() - 1 - used) return std::nullopt;
    const std::string_view contents = rest_.substr(1 + used, *length);
    rest_.remove_prefix(1 + used + *length);
    return contents;
}

std::optional<std::string> DerReader::takeUnsigned() {
    DerReader probe = *this;
    const auto contents = probe.take(DER_INTEGER);
    if (!contents || contents->empty()) return std::nullopt;
    const auto first = static_cast<std::uint8_t>((*contents)[0]);
    if (first & 0x80) return std::nullopt;  // negative
    std::string_view magnitude = *contents;
    if (first == 0 && magnitude.size() > 1) {
        if (!(static_cast<std::uint8_t>(magnitude[1]) & 0x80)) return std::nullopt;  // not minimal
        magnitude.remove_prefix(1);
    }
    if (magnitude.size() > kDerMaxIntegerBytes) return std::nullopt;
    *this = probe;
    return std::string(stripLeadingZeros(magnitude));
}

std::string derElement(DerTag tag, std::string_view contents) {
    std::string out(1, static_cast<char>(tag));
    appendLength(out, contents.size());
    out += contents;
    return out;
}

std::string derUnsigned(std::string_view bigEndian) {
    const std::string_view magnitude = stripLeadingZeros(bigEndian);
    std::string contents;
    if (magnitude.empty() || static_cast<std::uint8_t>(magnitude[0]) & 0x80) contents.push_back('\0');
    contents += magnitude;
    return derElement(DER_INTEGER, contents);
}

std::string_view stripLeadingZeros(std::string_view bigEndian) {
    const std::size_t first = bigEndian.find_first_not_of('\0');
    return first == std::string_view::npos ? std::string_view{} : bigEndian.substr(first);
}

}  // namespace oz
