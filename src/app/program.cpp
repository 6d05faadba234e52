#include "app/program.h"

#include <cstring>

#include "app/main_window.h"
#include "console/console_host_win.h"
#include "resources/info_icon_gif.h"
#include "runtime/program_win.h"

namespace oz {

std::shared_ptr<ConsoleHost> theConsole;
GpImage* iconImage = nullptr;

int programEntry() {
    theConsole = std::make_shared<ConsoleHost>();
    registerExitRoutine(exitCleanup);
    startUp();
    return 0;
}

int startUp() {
    GdiplusSession gdiplus;
    UniqueGdipImage icon = decodeImageFromBytes({iconGifBytes, iconGifSize});
    iconImage = icon.get();
    std::make_shared<MainWindow>(theConsole)->showModal();
    iconImage = nullptr;
    return 0;
}

void exitCleanup() {
    theConsole.reset();
}

UniqueGdipImage decodeImageFromBytes(std::span<const unsigned char> bytes) {
    if (bytes.empty()) return {};
    UniqueGlobalMemory block(::GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    if (!block) return {};
    void* data = ::GlobalLock(block.get());
    if (!data) return {};
    std::memcpy(data, bytes.data(), bytes.size());
    ::GlobalUnlock(block.get());
    ComPtr<IStream> stream;
    if (::CreateStreamOnHGlobal(block.get(), TRUE, stream.put()) != S_OK) return {};
    (void)block.release();  // the stream frees it with its last reference
    UniqueGdipImage image;
    gdip::GdipLoadImageFromStream(stream.get(), image.put());
    // GDI+ keeps its own reference to the stream for as long as the image needs it.
    releaseInterface(stream);
    return image;
}

}  // namespace oz
