#pragma once
// Owners for the Win32 resources the program holds. Every handle, GDI object, selected
// object, paint DC and COM pointer lives in one of these; nothing is closed by hand.
#include <windows.h>
#include <objidl.h>

#include "core/owned.h"

namespace oz {

using UniqueHandle = Owned<ClosedBy<HANDLE, &::CloseHandle>>;
using UniqueGdiObject = Owned<ClosedBy<HGDIOBJ, &::DeleteObject>>;
using UniqueMemoryDc = Owned<ClosedBy<HDC, &::DeleteDC>>;
using UniqueGlobalMemory = Owned<ClosedBy<HGLOBAL, &::GlobalFree>>;
// Blocks the system hands out from LocalAlloc (CommandLineToArgvW, FormatMessageW).
using UniqueLocalMemory = Owned<ClosedBy<HLOCAL, &::LocalFree>>;
using UniqueMenu = Owned<ClosedBy<HMENU, &::DestroyMenu>>;
using UniqueWindow = Owned<ClosedBy<HWND, &::DestroyWindow>>;
// The block GetEnvironmentStringsW hands out.
using UniqueEnvironmentStrings = Owned<ClosedBy<LPWCH, &::FreeEnvironmentStringsW>>;
// Modules from LoadLibraryExW (also those mapped only as data, to read their resources).
using UniqueModule = Owned<ClosedBy<HMODULE, &::FreeLibrary>>;
// Registry keys from RegOpenKeyExW and RegCreateKeyExW.
using UniqueRegistryKey = Owned<ClosedBy<HKEY, &::RegCloseKey>>;

// CreateToolhelp32Snapshot and CreateFile report failure as INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Value = HANDLE;
    static Value empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Value h) noexcept { ::CloseHandle(h); }
};
using UniqueFileHandle = Owned<FileHandleTraits>;

// An object selected into a DC: giving it back selects the previous object again.
struct Selection {
    HDC dc = nullptr;
    HGDIOBJ previous = nullptr;
    bool operator==(const Selection& o) const noexcept { return dc == o.dc && previous == o.previous; }
};
struct SelectionTraits {
    using Value = Selection;
    static Value empty() noexcept { return {}; }
    static void close(Value s) noexcept { ::SelectObject(s.dc, s.previous); }
};
using UniqueSelection = Owned<SelectionTraits>;

inline UniqueSelection selectInto(HDC dc, HGDIOBJ object) {
    return UniqueSelection(Selection{dc, ::SelectObject(dc, object)});
}

// BeginPaint/EndPaint as one owner; the PAINTSTRUCT lives with it.
class PaintScope {
public:
    explicit PaintScope(HWND window) noexcept : window_(window) { dc_ = ::BeginPaint(window_, &paint_); }
    ~PaintScope() { ::EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc() const noexcept { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};

template <typename Interface>
struct ComTraits {
    using Value = Interface*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value p) noexcept { p->Release(); }
};
template <typename Interface>
using ComPtr = Owned<ComTraits<Interface>>;

// A window's DC from GetDC: given back with ReleaseDC to the same window.
struct WindowDc {
    HWND window = nullptr;
    HDC dc = nullptr;
    bool operator==(const WindowDc& o) const noexcept { return window == o.window && dc == o.dc; }
};
struct WindowDcTraits {
    using Value = WindowDc;
    static Value empty() noexcept { return {}; }
    static void close(Value d) noexcept { ::ReleaseDC(d.window, d.dc); }
};
using UniqueWindowDc = Owned<WindowDcTraits>;

inline UniqueWindowDc windowDc(HWND window) { return UniqueWindowDc(WindowDc{window, ::GetDC(window)}); }

}  // namespace oz
