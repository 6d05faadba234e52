#pragma once
// What the file of a Windows program says about itself: its size, whether a symbol table is
// left in it, and the DLLs its import table names. Read from the file; nothing is loaded.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace oz::bench {

struct PeImage {
    std::uintmax_t bytes = 0;
    bool symbolTable = false;
    std::vector<std::string> importedDlls;
};

namespace detail {

class Bytes {
public:
    explicit Bytes(std::vector<char> data) : data_(std::move(data)) {}
    std::size_t size() const { return data_.size(); }

    template <typename T>
    std::optional<T> at(std::size_t offset) const {
        if (offset > data_.size() || data_.size() - offset < sizeof(T)) return std::nullopt;
        T value;
        std::memcpy(&value, data_.data() + offset, sizeof(T));
        return value;
    }
    // The zero-ended text at offset, or nothing when it runs past the end.
    std::optional<std::string> textAt(std::size_t offset) const {
        if (offset >= data_.size()) return std::nullopt;
        const char* begin = data_.data() + offset;
        const void* end = std::memchr(begin, 0, data_.size() - offset);
        if (!end) return std::nullopt;
        return std::string(begin, static_cast<const char*>(end));
    }

private:
    std::vector<char> data_;
};

// The file offset of a relative virtual address, through the section that holds it.
inline std::optional<std::size_t> fileOffset(const Bytes& file, std::size_t sections, WORD count, DWORD rva) {
    for (WORD i = 0; i < count; ++i) {
        const auto section = file.at<IMAGE_SECTION_HEADER>(sections + i * sizeof(IMAGE_SECTION_HEADER));
        if (!section) return std::nullopt;
        const DWORD extent = std::max(section->Misc.VirtualSize, section->SizeOfRawData);
        if (rva >= section->VirtualAddress && rva - section->VirtualAddress < extent)
            return std::size_t{rva - section->VirtualAddress + section->PointerToRawData};
    }
    return std::nullopt;
}

}  // namespace detail

// Nothing when the file cannot be read or is no PE image.
inline std::optional<PeImage> readPeImage(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const detail::Bytes file(std::vector<char>(std::istreambuf_iterator<char>(in), {}));
    const auto dos = file.at<IMAGE_DOS_HEADER>(0);
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return std::nullopt;
    const auto headerAt = static_cast<std::size_t>(dos->e_lfanew);
    const auto signature = file.at<DWORD>(headerAt);
    const auto header = file.at<IMAGE_FILE_HEADER>(headerAt + sizeof(DWORD));
    if (!signature || *signature != IMAGE_NT_SIGNATURE || !header) return std::nullopt;
    const std::size_t optionalAt = headerAt + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
    const auto magic = file.at<WORD>(optionalAt);
    std::optional<IMAGE_DATA_DIRECTORY> imports;
    if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        if (const auto optional = file.at<IMAGE_OPTIONAL_HEADER64>(optionalAt))
            imports = optional->DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    } else if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        if (const auto optional = file.at<IMAGE_OPTIONAL_HEADER32>(optionalAt))
            imports = optional->DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    }
    if (!imports) return std::nullopt;

    PeImage image;
    image.bytes = file.size();
    image.symbolTable = header->PointerToSymbolTable != 0 || header->NumberOfSymbols != 0;
    const std::size_t sections = optionalAt + header->SizeOfOptionalHeader;
    if (imports->VirtualAddress == 0) return image;
    const auto first = detail::fileOffset(file, sections, header->NumberOfSections, imports->VirtualAddress);
    if (!first) return std::nullopt;
    for (std::size_t at = *first;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto descriptor = file.at<IMAGE_IMPORT_DESCRIPTOR>(at);
        if (!descriptor || descriptor->Name == 0) break;
        const auto nameAt = detail::fileOffset(file, sections, header->NumberOfSections, descriptor->Name);
        const auto name = nameAt ? file.textAt(*nameAt) : std::nullopt;
        if (!name) return std::nullopt;
        image.importedDlls.push_back(*name);
    }
    return image;
}

}  // namespace oz::bench
