#pragma once
// An off-screen drawing surface: a memory DC with a 32-bit DIB section selected into it and,
// on request, a GDI+ graphics drawing on it. A picture built here reaches the screen in one
// transfer, so the window never shows a half-painted state.
#include <windows.h>

#include <cstdint>

#include "runtime/gdiplus_win.h"
#include "runtime/handles_win.h"

namespace oz {

// Move-only, and deliberately without a clone: two canvases sharing one DC would both give it
// back. Nothing in the program copies a canvas.
class OffscreenCanvas {
public:
    OffscreenCanvas() = default;
    ~OffscreenCanvas() { destroy(); }
    OffscreenCanvas(OffscreenCanvas&&) noexcept = default;
    OffscreenCanvas& operator=(OffscreenCanvas&& other) noexcept;

    // What the destructor does: gives everything back.
    void destroy() noexcept { release(); }

    // Makes the surface (width x height, bottom-up, 32 bits a pixel) and, with withGraphics, a
    // GDI+ graphics on it that is also stored through graphicsOut (which is left alone
    // otherwise). Returns the memory DC. A ready canvas is released first.
    HDC create(int width, int height, GpGraphics** graphicsOut, bool withGraphics);

    // BitBlt of the canvas from its top-left corner; the platform's result.
    BOOL copyTo(HDC target, int x, int y, int width, int height) const;

    // AlphaBlend with one opacity for the whole surface (the pixels' own alpha bytes, which GDI
    // leaves at 0, are not used); the platform's result.
    BOOL blendTo(HDC target, int x, int y, int width, int height, std::uint8_t alpha) const;

    // Graphics, selection, bitmap, DC, in that order; harmless on an empty canvas.
    void release() noexcept;

    HDC deviceContext() const noexcept { return dc_.get(); }
    GpGraphics* graphics() const noexcept { return graphics_.get(); }

private:
    // Declared so that the implicit member order of destruction is the release order too.
    UniqueMemoryDc dc_;
    UniqueGdiObject bitmap_;
    UniqueSelection selection_;
    UniqueGdipGraphics graphics_;
};

}  // namespace oz
