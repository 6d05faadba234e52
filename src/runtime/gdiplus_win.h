#pragma once
// GDI+ through its flat interface, with owners for the objects the program makes.
#include <windows.h>
#include <objidl.h>

#include <algorithm>
// The GDI+ headers use unqualified min and max, which NOMINMAX takes away.
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include "core/owned.h"

namespace oz {

namespace gdip = Gdiplus::DllExports;
using Gdiplus::GpBrush;
using Gdiplus::GpGraphics;
using Gdiplus::GpImage;
using Gdiplus::GpSolidFill;

struct GdipImageTraits {
    using Value = GpImage*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value image) noexcept { gdip::GdipDisposeImage(image); }
};
using UniqueGdipImage = Owned<GdipImageTraits>;

struct GdipGraphicsTraits {
    using Value = GpGraphics*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value graphics) noexcept { gdip::GdipDeleteGraphics(graphics); }
};
using UniqueGdipGraphics = Owned<GdipGraphicsTraits>;

struct GdipBrushTraits {
    using Value = GpBrush*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value brush) noexcept { gdip::GdipDeleteBrush(brush); }
};
using UniqueGdipBrush = Owned<GdipBrushTraits>;

// GdiplusStartup to GdiplusShutdown as one owner.
class GdiplusSession {
public:
    GdiplusSession() noexcept {
        Gdiplus::GdiplusStartupInput input;
        input.GdiplusVersion = 1;
        Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    }
    ~GdiplusSession() {
        if (token_) Gdiplus::GdiplusShutdown(token_);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

private:
    ULONG_PTR token_ = 0;
};

}  // namespace oz
