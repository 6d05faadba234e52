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

using UniqueGdipImage = Owned<ClosedBy<GpImage*, &gdip::GdipDisposeImage>>;
using UniqueGdipGraphics = Owned<ClosedBy<GpGraphics*, &gdip::GdipDeleteGraphics>>;
using UniqueGdipBrush = Owned<ClosedBy<GpBrush*, &gdip::GdipDeleteBrush>>;

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
