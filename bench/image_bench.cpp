// Ozarith.exe as a file: its size (target <= 1 MB; the release build is stripped) and the DLLs
// its import table names, which must all be Windows' own so that the program runs from a bare
// folder.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <string>
#include <string_view>

#include "bench_support.h"
#include "pe_image.h"
#include "runtime/system_info_win.h"

namespace {

// DLLs that Windows itself ships in its system folder. msvcrt.dll is among them: the
// MinGW runtime links to it, while its own DLLs (libstdc++, libgcc, libwinpthread) are not.
constexpr std::string_view windowsDlls[]{
    "advapi32.dll", "bcrypt.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll", "dwmapi.dll", "gdi32.dll",
    "gdiplus.dll", "imm32.dll", "kernel32.dll", "kernelbase.dll", "msimg32.dll", "msvcrt.dll", "ntdll.dll",
    "ole32.dll", "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "setupapi.dll", "shcore.dll", "shell32.dll",
    "shlwapi.dll", "ucrtbase.dll", "user32.dll", "userenv.dll", "uxtheme.dll", "version.dll",
    "windowscodecs.dll", "winmm.dll", "ws2_32.dll"};

bool isWindowsOwn(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name.starts_with("api-ms-win-") ||
           std::find(std::begin(windowsDlls), std::end(windowsDlls), name) != std::end(windowsDlls);
}

}  // namespace

int main() {
    const auto image = oz::bench::readPeImage(oz::runDirectory() + L"\\Ozarith.exe");
    if (!image) {
        std::puts("Ozarith.exe cannot be read as a PE image");
        return 1;
    }
    int foreign = 0;
    for (const std::string& dll : image->importedDlls) {
        const bool own = isWindowsOwn(dll);
        foreign += own ? 0 : 1;
        std::printf("IMPORT %s %s\n", dll.c_str(), own ? "windows" : "foreign");
    }
    std::printf("Ozarith.exe: %ju bytes (target <= 1 MB), %s, %zu DLLs imported, %d not Windows' own\n",
                image->bytes, image->symbolTable ? "with a symbol table" : "stripped", image->importedDlls.size(),
                foreign);
    oz::bench::printFigure("exe_bytes", static_cast<double>(image->bytes));
    oz::bench::printFigure("exe_symbol_table", image->symbolTable ? 1 : 0);
    oz::bench::printFigure("imports_foreign", foreign);
    return 0;
}
