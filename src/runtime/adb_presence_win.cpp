#include "runtime/adb_presence_win.h"

#include <windows.h>

#include <string>

#include "runtime/environment_win.h"

namespace oz {

bool adbExeAvailable(const std::filesystem::path& runDirectory) {
    const std::wstring folders = runDirectory.wstring() + L";" + environmentValue(L"PATH").value_or(L"");
    std::wstring found(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = ::SearchPathW(folders.c_str(), L"adb.exe", nullptr, static_cast<DWORD>(found.size()),
                                           found.data(), nullptr);
        if (length == 0) return false;
        if (length < found.size()) {
            found.resize(length);
            const DWORD attributes = ::GetFileAttributesW(found.c_str());
            return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        }
        found.resize(length);
    }
    return false;
}

}  // namespace oz
