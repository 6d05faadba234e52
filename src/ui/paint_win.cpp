#include "ui/paint_win.h"

#include "core/colour.h"
#include "runtime/handles_win.h"
#include "ui/offscreen_canvas_win.h"

namespace oz {
namespace {

void measureClient(HWND hwnd, std::int16_t& clientWidth, std::int16_t& clientHeight) {
    RECT client{};
    ::GetClientRect(hwnd, &client);
    clientWidth = static_cast<std::int16_t>(client.right - client.left);
    clientHeight = static_cast<std::int16_t>(client.bottom - client.top);
}

void fillBackground(GpGraphics* graphics, std::uint32_t argb, int width, int height) {
    UniqueGdipBrush brush;
    GpSolidFill* fill = nullptr;
    gdip::GdipCreateSolidFill(argb, &fill);
    brush.reset(fill);
    gdip::GdipFillRectangle(graphics, brush.get(), 0.0f, 0.0f, static_cast<Gdiplus::REAL>(width),
                            static_cast<Gdiplus::REAL>(height));
}

void drawIcon(GpGraphics* graphics, GpImage* icon, const Rect& at) {
    if (!icon) return;
    gdip::GdipDrawImageRect(graphics, icon, static_cast<Gdiplus::REAL>(at.left), static_cast<Gdiplus::REAL>(at.top),
                            static_cast<Gdiplus::REAL>(at.right - at.left),
                            static_cast<Gdiplus::REAL>(at.bottom - at.top));
}

}  // namespace

LRESULT onPaint(HWND hwnd, std::int16_t& clientWidth, std::int16_t& clientHeight, const Rect& iconRect,
                GpImage* icon) {
    if (clientWidth == 0 || clientHeight == 0) measureClient(hwnd, clientWidth, clientHeight);
    // Read on every paint, so a change of the system colours shows at the next one.
    const std::uint32_t fill = colorRefToArgb(::GetSysColor(COLOR_BTNFACE), 255);
    PaintScope paint(hwnd);
    OffscreenCanvas canvas;
    GpGraphics* graphics = nullptr;
    canvas.create(clientWidth, clientHeight, &graphics, true);
    gdip::GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeAntiAlias);
    fillBackground(graphics, fill, clientWidth, clientHeight);
    drawIcon(graphics, icon, iconRect);
    gdip::GdipFlush(graphics, Gdiplus::FlushIntentionSync);
    // The whole client area in one transfer; the paint DC clips it to the invalid region.
    canvas.copyTo(paint.dc(), 0, 0, clientWidth, clientHeight);
    canvas.release();
    return 0;
}

}  // namespace oz
