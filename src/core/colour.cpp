#include "core/colour.h"

namespace oz {
namespace {

std::uint8_t byteOf(std::uint32_t value, int index) { return static_cast<std::uint8_t>(value >> (8 * index)); }

}  // namespace

std::uint32_t argbFromComponents(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha) {
    return std::uint32_t{alpha} << 24 | std::uint32_t{red} << 16 | std::uint32_t{green} << 8 | std::uint32_t{blue};
}

std::uint32_t colorRefToArgb(std::uint32_t colorRef, std::uint8_t alpha) {
    return argbFromComponents(byteOf(colorRef, 0), byteOf(colorRef, 1), byteOf(colorRef, 2), alpha);
}

}  // namespace oz
