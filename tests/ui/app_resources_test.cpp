// What Ozarith.exe carries besides code: its icon, manifest and version information, and the
// information icon's GIF bytes compiled into it.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "resources/info_icon_gif.h"
#include "resources/resource_ids.h"
#include "committed_files.h"
#include "runtime/gdiplus_win.h"
#include "runtime/handles_win.h"
#include "ui/instruction_picture_win.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Resource types as wide names; the RT_* macros follow the UNICODE setting.
const wchar_t* const kIconType = MAKEINTRESOURCEW(3);
const wchar_t* const kGroupIconType = MAKEINTRESOURCEW(14);
const wchar_t* const kManifestType = MAKEINTRESOURCEW(24);

Bytes resourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type) {
    const auto bytes = oz::resourceBytes(module, name, type);
    return {bytes.begin(), bytes.end()};
}

template <typename T>
T readAt(const Bytes& bytes, std::size_t offset) {
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(program_) << "error " << ::GetLastError(); }

    std::wstring versionString(const std::wstring& block, const std::wstring& name) const {
        void* value = nullptr;
        UINT length = 0;
        const std::wstring path = L"\\StringFileInfo\\" + block + L"\\" + name;
        if (!::VerQueryValueW(version_.data(), path.c_str(), &value, &length) || length == 0) return {};
        return static_cast<const wchar_t*>(value);
    }

    oz::UniqueModule program_{
        ::LoadLibraryExW(oz::test::programFilePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)};
    std::vector<std::uint8_t> version_ = [] {
        const std::wstring path = oz::test::programFilePath();
        std::vector<std::uint8_t> data(::GetFileVersionInfoSizeW(path.c_str(), nullptr));
        const auto size = static_cast<DWORD>(data.size());
        if (!data.empty() && !::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) data.clear();
        return data;
    }();
};

// Icon group 1 lists a 48 x 48 32-bit image, and that image has a transparent surround and
// an opaque note.
TEST_F(ProgramResources, IconOneHasA48PixelImageWithAlpha) {
    const Bytes group = resourceBytes(program_.get(), MAKEINTRESOURCEW(IDI_APP_ICON), kGroupIconType);
    ASSERT_GE(group.size(), 6u);
    const auto count = readAt<std::uint16_t>(group, 4);
    ASSERT_EQ(group.size(), 6u + 14u * count);
    std::uint16_t id48 = 0;
    for (std::size_t entry = 6; entry < group.size(); entry += 14) {
        if (group[entry] == 48 && group[entry + 1] == 48 && readAt<std::uint16_t>(group, entry + 6) == 32) {
            id48 = readAt<std::uint16_t>(group, entry + 12);
        }
    }
    ASSERT_NE(0, id48) << "no 48 x 48 32-bit entry";

    const Bytes image = resourceBytes(program_.get(), MAKEINTRESOURCEW(id48), kIconType);
    ASSERT_GE(image.size(), 40u + 48u * 48u * 4u);
    const auto header = readAt<BITMAPINFOHEADER>(image, 0);
    EXPECT_EQ(48, header.biWidth);
    EXPECT_EQ(96, header.biHeight);  // colour and mask stacked
    EXPECT_EQ(32, header.biBitCount);
    std::size_t clear = 0, solid = 0;
    for (std::size_t alpha = 40 + 3; alpha < 40 + 48 * 48 * 4; alpha += 4) {
        clear += image[alpha] == 0;
        solid += image[alpha] == 255;
    }
    EXPECT_GT(clear, 48u * 48u / 3) << "transparent ground";
    EXPECT_GT(solid, 48u * 48u / 8) << "opaque note";
}

TEST_F(ProgramResources, ManifestAsksForVisualStylesAsInvoker) {
    const Bytes manifest = resourceBytes(program_.get(), MAKEINTRESOURCEW(1), kManifestType);
    const std::string text(manifest.begin(), manifest.end());
    EXPECT_NE(std::string::npos, text.find("Microsoft.Windows.Common-Controls")) << text;
    EXPECT_NE(std::string::npos, text.find("\"asInvoker\""));
    EXPECT_NE(std::string::npos, text.find(">unaware<"));
}

TEST_F(ProgramResources, VersionInformationInEnglishAndChinese) {
    ASSERT_FALSE(version_.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(version_.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);

    EXPECT_EQ(L"Ozarith", versionString(L"040904B0", L"ProductName"));
    EXPECT_EQ(L"1.0.0", versionString(L"040904B0", L"ProductVersion"));
    EXPECT_EQ(L"Copyright (C) 2026 Ozarith", versionString(L"040904B0", L"LegalCopyright"));
    // The Chinese strings are \x escapes in the .rc file; each must end where it was meant to.
    EXPECT_EQ(L"通过 ADB 删除电视的开机广告和系统更新", versionString(L"080404B0", L"FileDescription"));
    EXPECT_EQ(L"版权所有 (C) 2026 Ozarith", versionString(L"080404B0", L"LegalCopyright"));
}

// The compiled-in bytes are the committed GIF, which has the layout the painting relies on.
TEST(InfoIconGif, MatchesTheCommittedFileAndItsLayout) {
    const Bytes gif(oz::iconGifBytes, oz::iconGifBytes + oz::iconGifSize);
    EXPECT_EQ(oz::test::readSourceFile("resources/info-icon.gif"), gif);
    ASSERT_GE(gif.size(), 13u + 96u + 8u);
    EXPECT_EQ("GIF89a", std::string_view(reinterpret_cast<const char*>(gif.data()), 6));
    EXPECT_EQ(18, readAt<std::uint16_t>(gif, 6));
    EXPECT_EQ(18, readAt<std::uint16_t>(gif, 8));
    EXPECT_EQ(0x80, gif[10] & 0x80) << "global colour table";
    EXPECT_EQ(4, gif[10] & 0x07) << "of 32 entries";
    // The Graphic Control Extension right after the table marks entry 27 transparent.
    const Bytes control(gif.begin() + 13 + 96, gif.begin() + 13 + 96 + 8);
    EXPECT_EQ((Bytes{0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 27, 0x00}), control);
    EXPECT_EQ(0x3B, gif.back());
}

// Decoded as the program decodes it: clear corners, an opaque disc with no holes, the blue
// letter in the middle.
TEST(InfoIconGif, DecodesToOpaqueDiscWithBlueLetter) {
    const oz::GdiplusSession session;
    const auto size = static_cast<UINT>(oz::iconGifSize);
    const oz::ComPtr<IStream> stream(::SHCreateMemStream(oz::iconGifBytes, size));
    ASSERT_TRUE(stream);
    oz::UniqueGdipImage image;
    ASSERT_EQ(Gdiplus::Ok, oz::gdip::GdipLoadImageFromStream(stream.get(), image.put()));
    UINT width = 0, height = 0;
    oz::gdip::GdipGetImageWidth(image.get(), &width);
    oz::gdip::GdipGetImageHeight(image.get(), &height);
    ASSERT_EQ(18u, width);
    ASSERT_EQ(18u, height);

    auto* bitmap = static_cast<Gdiplus::GpBitmap*>(image.get());
    const auto argb = [&](int x, int y) {
        Gdiplus::ARGB colour = 0;
        oz::gdip::GdipBitmapGetPixel(bitmap, x, y, &colour);
        return colour;
    };
    for (int y = 0; y < 18; ++y) {
        for (int x = 0; x < 18; ++x) {
            const double dx = x + 0.5 - 9, dy = y + 0.5 - 9;
            const std::uint32_t alpha = argb(x, y) >> 24;
            const double squared = dx * dx + dy * dy;
            if (squared <= 7.5 * 7.5) {
                EXPECT_EQ(0xFFu, alpha) << "hole at " << x << ", " << y;
            } else if (squared >= 9 * 9) {
                EXPECT_EQ(0u, alpha) << "corner at " << x << ", " << y;
            }
        }
    }
    const auto channels = [](Gdiplus::ARGB c) {
        return std::array<std::uint32_t, 3>{c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF};
    };
    EXPECT_EQ(0xFF0099CCu, argb(9, 10)) << "the letter's stem";
    const auto dot = channels(argb(8, 4));  // its rounded edge is anti-aliased
    EXPECT_TRUE(dot[0] < 100 && dot[2] > 180) << "the letter's dot " << std::hex << argb(8, 4);
    const auto disc = channels(argb(4, 9));
    EXPECT_TRUE(disc[0] > 200 && disc[1] > 200 && disc[2] > 200) << "the disc " << std::hex << argb(4, 9);
}

}  // namespace
