#include "ui/instruction_picture_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "committed_files.h"

namespace {

using oz::DecodedPicture;
using Bytes = std::vector<std::uint8_t>;

// 3 x 2, 8-bit RGB. Top row: red, green, blue; bottom row: white, black, (0x12, 0x34, 0x56).
// Written with Python's zlib and struct.
const Bytes kSmallPng = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0x12, 0x16, 0xF1,
    0x4D, 0x00, 0x00, 0x00, 0x15, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0xF8, 0xCF, 0xC0, 0xC0,
    0x00, 0xC1, 0xFF, 0xFF, 0x83, 0x68, 0x21, 0x93, 0x30, 0x00, 0x45, 0xC3, 0x06, 0x97, 0x50, 0x8D,
    0x98, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82,
};
const Bytes kSmallBgra = {
    0x00, 0x00, 0xFF, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x56, 0x34, 0x12, 0xFF,
};

// A well-formed header claiming 1,000,000 x 1,000,000 pixels (libpng's own limit), with a
// token image stream: nothing to decode, and nothing to allocate 4 TB for.
const Bytes kHugeHeaderPng = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x0F, 0x42, 0x40, 0x00, 0x0F, 0x42, 0x40, 0x08, 0x02, 0x00, 0x00, 0x00, 0xD3, 0x0F, 0xAF,
    0x2A, 0x00, 0x00, 0x00, 0x0C, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0x60, 0xA0, 0x0C, 0x00,
    0x00, 0x00, 0x40, 0x00, 0x01, 0x89, 0xC9, 0xAF, 0x43, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E,
    0x44, 0xAE, 0x42, 0x60, 0x82,
};

Bytes committedPicture() { return oz::test::readSourceFile("resources/help-picture.png"); }

const std::uint8_t* pixel(const DecodedPicture& picture, int x, int y) {
    return &picture.bgra[(static_cast<std::size_t>(y) * picture.width + x) * 4];
}

bool isOpaqueWhite(const std::uint8_t* p) {
    return p[0] == 0xFF && p[1] == 0xFF && p[2] == 0xFF && p[3] == 0xFF;
}

Bytes truncated(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

TEST(DecodePng, GivesBgraRowsFromTheTop) {
    const DecodedPicture picture = oz::decodePng(kSmallPng);
    EXPECT_EQ(3, picture.width);
    EXPECT_EQ(2, picture.height);
    EXPECT_EQ(kSmallBgra, picture.bgra);
}

TEST(DecodePng, CommittedPictureIsBlackLetteringOnWhite) {
    const Bytes png = committedPicture();
    ASSERT_FALSE(png.empty()) << oz::test::sourcePath("resources/help-picture.png");
    const DecodedPicture picture = oz::decodePng(png);
    ASSERT_EQ(641, picture.width);
    ASSERT_EQ(273, picture.height);
    ASSERT_EQ(641u * 273u * 4u, picture.bgra.size());

    for (auto [x, y] : std::array<std::pair<int, int>, 4>{{{0, 0}, {640, 0}, {0, 272}, {640, 272}}}) {
        EXPECT_TRUE(isOpaqueWhite(pixel(picture, x, y))) << x << ", " << y;
    }
    std::size_t dark = 0;
    for (std::size_t i = 0; i < picture.bgra.size(); i += 4) {
        const std::uint8_t* p = &picture.bgra[i];
        EXPECT_TRUE(p[0] == p[1] && p[1] == p[2] && p[3] == 0xFF) << "pixel " << i / 4 << ": not opaque grey";
        if (p[0] < 64) ++dark;
        if (HasFailure()) break;
    }
    // Ten lines of lettering leave thousands of near-black pixels.
    EXPECT_GT(dark, 5000u);
}

TEST(DecodePng, BytesThatAreNoWholePngGiveNothing) {
    Bytes badChecksum = kSmallPng;
    badChecksum[45] ^= 0x01;  // inside the image data, so its CRC no longer matches
    const Bytes picture = committedPicture();
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"empty", {}},
        {"text", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}},
        {"signature only", truncated(kSmallPng, 8)},
        {"cut inside the image data", truncated(kSmallPng, 50)},
        {"committed picture cut in half", truncated(picture, picture.size() / 2)},
        {"bad checksum", badChecksum},
        {"absurd size", kHugeHeaderPng},
    };
    for (const auto& [name, bytes] : cases) {
        const DecodedPicture decoded = oz::decodePng(bytes);
        EXPECT_TRUE(decoded.empty()) << name;
    }
}

TEST(PictureBitmap, IsTopDown32BitCopyOfThePixels) {
    const oz::UniqueGdiObject bitmap = oz::makePictureBitmap(oz::decodePng(kSmallPng));
    ASSERT_TRUE(bitmap);
    DIBSECTION dib{};
    ASSERT_EQ(static_cast<int>(sizeof dib), ::GetObjectW(bitmap.get(), sizeof dib, &dib));
    EXPECT_EQ(3, dib.dsBm.bmWidth);
    EXPECT_EQ(2, dib.dsBm.bmHeight);
    EXPECT_EQ(32, dib.dsBm.bmBitsPixel);
    ASSERT_NE(nullptr, dib.dsBm.bmBits);
    const auto* bits = static_cast<const std::uint8_t*>(dib.dsBm.bmBits);
    EXPECT_TRUE(std::equal(kSmallBgra.begin(), kSmallBgra.end(), bits));

    // What GDI itself reads back: red at the top left, white at the bottom left.
    oz::UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    const oz::UniqueSelection selected = oz::selectInto(dc.get(), bitmap.get());
    EXPECT_EQ(RGB(255, 0, 0), ::GetPixel(dc.get(), 0, 0));
    EXPECT_EQ(RGB(255, 255, 255), ::GetPixel(dc.get(), 0, 1));
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), ::GetPixel(dc.get(), 2, 1));
}

TEST(PictureBitmap, EmptyPictureGivesNoBitmap) {
    EXPECT_FALSE(oz::makePictureBitmap(DecodedPicture{}));
}

TEST(HelpPicture, ProgramFileCarriesTheCommittedPicture) {
    const oz::UniqueModule program(::LoadLibraryExW(oz::test::programFilePath().c_str(), nullptr,
                                                    LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(program) << "error " << ::GetLastError();
    const auto bytes = oz::helpPictureBytes(program.get());
    EXPECT_EQ(committedPicture(), Bytes(bytes.begin(), bytes.end()));

    const oz::UniqueGdiObject bitmap = oz::loadHelpPicture(program.get());
    ASSERT_TRUE(bitmap);
    BITMAP info{};
    ASSERT_NE(0, ::GetObjectW(bitmap.get(), sizeof info, &info));
    EXPECT_EQ(641, info.bmWidth);
    EXPECT_EQ(273, info.bmHeight);
}

TEST(HelpPicture, ModuleWithoutThePictureGivesNothing) {
    // The test program itself carries no resources.
    EXPECT_TRUE(oz::helpPictureBytes(::GetModuleHandleW(nullptr)).empty());
    EXPECT_FALSE(oz::loadHelpPicture(::GetModuleHandleW(nullptr)));
}

}  // namespace
