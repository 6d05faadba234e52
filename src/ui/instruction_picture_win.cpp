#include "ui/instruction_picture_win.h"

#include <png.h>

#include <cstring>

#include "resources/resource_ids.h"

namespace oz {
namespace {

// Far beyond the 641 x 273 picture, far below what a bogus header could make us allocate.
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 24;

// RT_RCDATA as a wide name; the RT_RCDATA macro follows the UNICODE setting.
const wchar_t* const kRcDataType = MAKEINTRESOURCEW(10);

// libpng's reader state, freed on every way out of decodePng (freeing twice is harmless).
struct PngReaderTraits {
    using Value = png_image*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value image) noexcept { png_image_free(image); }
};

}  // namespace

DecodedPicture decodePng(std::span<const std::uint8_t> bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Owned<PngReaderTraits> reader(&image);
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
    if (std::uint64_t{image.width} * image.height > kMaxPixels) return {};

    image.format = PNG_FORMAT_BGRA;
    const std::size_t stride = std::size_t{image.width} * 4;
    DecodedPicture picture{static_cast<int>(image.width), static_cast<int>(image.height),
                           std::vector<std::uint8_t>(stride * image.height)};
    // A positive stride puts the first row at the start: top-down, as the DIB section wants.
    const auto rowStride = static_cast<png_int_32>(stride);
    if (!png_image_finish_read(&image, nullptr, picture.bgra.data(), rowStride, nullptr)) return {};
    return picture;
}

std::span<const std::uint8_t> resourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type) {
    HRSRC found = ::FindResourceW(module, name, type);
    if (!found) return {};
    // A loaded resource belongs to the module: nothing to free.
    const void* data = ::LockResource(::LoadResource(module, found));
    if (!data) return {};
    return {static_cast<const std::uint8_t*>(data), ::SizeofResource(module, found)};
}

std::span<const std::uint8_t> helpPictureBytes(HMODULE module) {
    return resourceBytes(module, MAKEINTRESOURCEW(IDR_HELP_PICTURE), kRcDataType);
}

UniqueGdiObject makePictureBitmap(const DecodedPicture& picture) {
    if (picture.empty()) return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;  // negative: first row at the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdiObject bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) return {};
    std::memcpy(bits, picture.bgra.data(), picture.bgra.size());
    return bitmap;
}

UniqueGdiObject loadHelpPicture(HMODULE module) {
    return makePictureBitmap(decodePng(helpPictureBytes(module)));
}

}  // namespace oz
