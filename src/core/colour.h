#pragma once
// GDI colour values to the ARGB values GDI+ brushes take.
#include <cstdint>

namespace oz {

// alpha << 24 | red << 16 | green << 8 | blue.
std::uint32_t argbFromComponents(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha);

// A COLORREF holds red in byte 0, green in byte 1, blue in byte 2; its top byte is a flag
// field (palette-relative and the like) and never reaches the result.
std::uint32_t colorRefToArgb(std::uint32_t colorRef, std::uint8_t alpha);

}  // namespace oz
