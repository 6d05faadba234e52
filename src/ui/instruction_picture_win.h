#pragma once
// The help popup's instruction picture: a PNG kept in the program's resources, decoded with
// libpng into a 32-bit top-down DIB section that a static control or BitBlt can show.
#include <windows.h>

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/handles_win.h"

namespace oz {

// Rows from the top, 4 bytes a pixel: blue, green, red, alpha (straight, not premultiplied).
struct DecodedPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgra;

    bool empty() const noexcept { return bgra.empty(); }
};

// Decodes a PNG held in memory. Empty when the bytes are not one whole, readable PNG, or when
// it claims more pixels than a picture of this program could sensibly have.
DecodedPicture decodePng(std::span<const std::uint8_t> bytes);

// The bytes of one of the module's resources; empty when it has none of that name and type.
// They stay valid as long as the module stays loaded.
std::span<const std::uint8_t> resourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type);

// The instruction picture's PNG bytes, from the module's RT_RCDATA resources.
std::span<const std::uint8_t> helpPictureBytes(HMODULE module);

// A 32-bit top-down DIB section with the picture's pixels; empty for an empty picture or
// when GDI refuses.
UniqueGdiObject makePictureBitmap(const DecodedPicture& picture);

// The module's instruction picture, ready to show; empty when any step fails.
UniqueGdiObject loadHelpPicture(HMODULE module);

}  // namespace oz
