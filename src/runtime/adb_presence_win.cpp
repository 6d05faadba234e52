#include "runtime/adb_presence_win.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "runtime/environment_win.h"

namespace oz {
namespace {

bool holdsAdbProgram(std::wstring_view folder) {
    if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"') folder = folder.substr(1, folder.size() - 2);
    if (folder.empty()) return false;
    const bool separated = folder.back() == L'\\' || folder.back() == L'/';
    const std::wstring candidate = std::wstring(folder) + (separated ? L"adb.exe" : L"\\adb.exe");
    const DWORD attributes = ::GetFileAttributesW(candidate.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

// Folder by folder rather than SearchPathW over the joined list: SearchPathW stops at the first
// match, and a folder named adb.exe in the program folder would hide a real adb.exe on PATH.
bool adbExeAvailable(const std::wstring& runDirectory) {
    if (holdsAdbProgram(runDirectory)) return true;
    const std::wstring path = environmentValue(L"PATH").value_or(L"");
    for (std::size_t begin = 0; begin <= path.size();) {
        const std::size_t end = std::min(path.find(L';', begin), path.size());
        if (holdsAdbProgram(std::wstring_view(path).substr(begin, end - begin))) return true;
        begin = end + 1;
    }
    return false;
}

}  // namespace oz
