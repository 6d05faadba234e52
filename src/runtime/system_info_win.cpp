#include "runtime/system_info_win.h"

#include <array>

#include "runtime/text_win.h"

namespace oz {

namespace {

bool platformIs(DWORD platformId) {
    OSVERSIONINFOEXW wanted{};
    wanted.dwOSVersionInfoSize = sizeof wanted;
    wanted.dwPlatformId = platformId;
    const ULONGLONG condition = ::VerSetConditionMask(0, VER_PLATFORMID, VER_EQUAL);
    return ::VerifyVersionInfoW(&wanted, VER_PLATFORMID, condition) != FALSE;
}

std::wstring programFile() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

int osType() {
    if (platformIs(VER_PLATFORM_WIN32_NT)) return 3;
    if (platformIs(VER_PLATFORM_WIN32_WINDOWS)) return 2;
    if (platformIs(VER_PLATFORM_WIN32s)) return 1;
    return 0;
}

std::uint32_t uptime() { return ::GetTickCount(); }

std::wstring systemDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    const UINT length = ::GetSystemDirectoryW(path.data(), MAX_PATH);
    path.resize(length < MAX_PATH ? length : 0);
    return path;
}

std::wstring runDirectory() {
    std::wstring path = programFile();
    const auto slash = path.find_last_of(L"\\/");
    path.resize(slash == std::wstring::npos ? 0 : slash);
    return path;
}

std::string runDirectoryBytes(UINT codePage) { return narrow(runDirectory(), codePage); }

LeadBytes leadBytesOf(UINT codePage) {
    std::array<bool, 256> table{};
    for (std::size_t byte = 0; byte < table.size(); ++byte) {
        table[byte] = ::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(byte)) != FALSE;
    }
    return LeadBytes::fromTable(table);
}

LeadBytes consoleLeadBytes() { return leadBytesOf(::GetOEMCP()); }

}  // namespace oz
