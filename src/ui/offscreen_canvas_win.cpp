#include "ui/offscreen_canvas_win.h"

#include <utility>

namespace oz {
namespace {

// The 40-byte header and one (zero) colour entry; the entry is not used at 32 bits a pixel.
static_assert(sizeof(BITMAPINFO) == 44);

HBITMAP createDibSection32(HDC dc, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: rows bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(static_cast<std::int64_t>(width) * height * 4);
    // A zero width or height gives no bitmap; the DC then keeps its 1 x 1 default.
    return ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
}

}  // namespace

OffscreenCanvas& OffscreenCanvas::operator=(OffscreenCanvas&& other) noexcept {
    if (this != &other) {
        release();
        dc_ = std::move(other.dc_);
        bitmap_ = std::move(other.bitmap_);
        selection_ = std::move(other.selection_);
        graphics_ = std::move(other.graphics_);
    }
    return *this;
}

HDC OffscreenCanvas::create(int width, int height, GpGraphics** graphicsOut, bool withGraphics) {
    release();
    dc_.reset(::CreateCompatibleDC(nullptr));
    bitmap_.reset(createDibSection32(dc_.get(), width, height));
    if (bitmap_) selection_ = selectInto(dc_.get(), bitmap_.get());
    if (withGraphics) {
        GpGraphics* graphics = nullptr;
        gdip::GdipCreateFromHDC(dc_.get(), &graphics);
        graphics_.reset(graphics);
        if (graphicsOut) *graphicsOut = graphics;
    }
    return dc_.get();
}

BOOL OffscreenCanvas::copyTo(HDC target, int x, int y, int width, int height) const {
    return ::BitBlt(target, x, y, width, height, dc_.get(), 0, 0, SRCCOPY);
}

BOOL OffscreenCanvas::blendTo(HDC target, int x, int y, int width, int height, std::uint8_t alpha) const {
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, 0};
    return ::AlphaBlend(target, x, y, width, height, dc_.get(), 0, 0, width, height, blend);
}

void OffscreenCanvas::release() noexcept {
    graphics_.reset();
    selection_.reset();
    bitmap_.reset();
    dc_.reset();
}

}  // namespace oz
