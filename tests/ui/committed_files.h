#pragma once
// Files the ui tests compare against: the pictures committed in the source tree and the
// program file built next to the test program.
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace oz::test {

// OZ_SOURCE_DIR is a build-machine path. A Unix one reaches Wine's view of the root
// filesystem through drive Z:; on Windows the path is used as it is.
inline std::string sourcePath(const std::string& relative) {
    const std::string root = OZ_SOURCE_DIR;
    return (root.starts_with('/') ? "Z:" + root : root) + "/" + relative;
}

inline std::vector<std::uint8_t> readSourceFile(const std::string& relative) {
    std::ifstream in(sourcePath(relative), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Ozarith.exe lies in the same bin folder as the test programs.
inline std::wstring programFilePath() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"Ozarith.exe";
}

}  // namespace oz::test
