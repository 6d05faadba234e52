#pragma once
// The program's life: entry, start-up with GDI+ and the information icon, and the end.
#include <memory>
#include <span>

#include "runtime/gdiplus_win.h"
#include "runtime/handles_win.h"

namespace oz {

class ConsoleHost;

// The one interpreter host: made at entry, dropped by the exit routine. Workers hold their own
// reference, so one still running at the end never sees it destroyed under it.
extern std::shared_ptr<ConsoleHost> theConsole;
// The decoded information icon; set before the main window exists, disposed after it has closed.
extern GpImage* iconImage;

int programEntry();
int startUp();
void exitCleanup();

// A GDI+ image from the bytes of a picture file; empty on any failure.
UniqueGdipImage decodeImageFromBytes(std::span<const unsigned char> bytes);

// Drops the reference through the typed interface; returns what Release returned, 0 when empty.
template <typename Interface>
ULONG releaseInterface(ComPtr<Interface>& pointer) {
    Interface* raw = pointer.release();
    return raw ? raw->Release() : 0;
}

}  // namespace oz
