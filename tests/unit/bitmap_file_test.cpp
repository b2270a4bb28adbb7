// Tests of the BMP checks: valid images of every accepted kind, and headers that lie.
#include "render/bitmap_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "render/bitmap_pixels.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct ImageShape {
    std::int32_t width;
    std::int32_t height;
    std::uint16_t bit_count;
    std::uint32_t colours_used = 0;
    std::uint32_t compression = 0;
    std::uint32_t info_size = 40;
    bool zero_bits_offset = false;
    std::size_t gap = 0;       // bytes between the colour table and the pixel rows
    std::size_t trailing = 0;  // bytes after the pixel rows
};

std::size_t Stride(const ImageShape& shape) {
    return (static_cast<std::size_t>(shape.width) * shape.bit_count + 31) / 32 * 4;
}

std::size_t Rows(const ImageShape& shape) {
    return static_cast<std::size_t>(shape.height < 0 ? -shape.height : shape.height);
}

std::size_t ColourEntries(const ImageShape& shape) {
    if (shape.colours_used != 0) return shape.colours_used;
    return shape.bit_count <= 8 ? std::size_t{1} << shape.bit_count : 0;
}

std::size_t MaskBytes(const ImageShape& shape) {
    return shape.compression == 3 && shape.info_size == 40 ? 12 : 0;
}

// Writes a BMP image the way common tools do, independently of the code under test.
Bytes BuildBitmap(const ImageShape& shape) {
    const std::size_t table_end = 14 + shape.info_size + MaskBytes(shape) + 4 * ColourEntries(shape);
    const std::size_t bits_offset = table_end + shape.gap;
    const std::size_t bits_size = Stride(shape) * Rows(shape);
    Bytes bytes(bits_offset + bits_size + shape.trailing, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    WriteUint32(&bytes[2], static_cast<std::uint32_t>(bytes.size()));
    WriteUint32(&bytes[10], shape.zero_bits_offset ? 0 : static_cast<std::uint32_t>(bits_offset));
    std::uint8_t* info = &bytes[14];
    WriteUint32(info, shape.info_size);
    WriteUint32(info + 4, static_cast<std::uint32_t>(shape.width));
    WriteUint32(info + 8, static_cast<std::uint32_t>(shape.height));
    WriteUint16(info + 12, 1);
    WriteUint16(info + 14, shape.bit_count);
    WriteUint32(info + 16, shape.compression);
    WriteUint32(info + 20, static_cast<std::uint32_t>(bits_size));
    WriteUint32(info + 24, 2835);
    WriteUint32(info + 28, 2835);
    WriteUint32(info + 32, shape.colours_used);
    for (std::size_t i = bits_offset; i < bits_offset + bits_size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    }
    return bytes;
}

struct ValidCase {
    const char* name;
    ImageShape shape;
};

const ValidCase kValidCases[] = {
    {"1 bit bottom-up", {13, 5, 1}},
    {"1 bit top-down", {13, -5, 1}},
    {"4 bits bottom-up", {7, 3, 4}},
    {"4 bits top-down", {7, -3, 4}},
    {"8 bits, 3 colours", {5, 4, 8, 3}},
    {"8 bits top-down", {56, -30, 8}},
    {"16 bits", {3, 3, 16}},
    {"24 bits bottom-up", {40, 36, 24}},
    {"24 bits top-down", {3, -2, 24}},
    {"24 bits with a palette", {3, 2, 24, 2}},
    {"32 bits with masks after the header", {2, 2, 32, 0, 3}},
    {"32 bits, version 4 header", {2, 2, 32, 0, 3, 108}},
    {"24 bits, version 5 header", {2, 2, 24, 0, 0, 124}},
    {"bit offset 0", {7, 3, 4, 0, 0, 40, true}},
    {"gap before the rows", {7, 3, 4, 0, 0, 40, false, 10}},
    {"bytes after the rows", {7, 3, 4, 0, 0, 40, false, 0, 9}},
    {"one pixel", {1, 1, 1}},
};

TEST(ParseBitmapFile, AcceptsWellFormedImagesAndLocatesTheirParts) {
    for (const ValidCase& c : kValidCases) {
        const Bytes bytes = BuildBitmap(c.shape);
        BitmapFileLayout layout{};
        ASSERT_TRUE(ParseBitmapFile(bytes.data(), bytes.size(), layout)) << c.name;
        EXPECT_EQ(layout.info_size, c.shape.info_size) << c.name;
        EXPECT_EQ(layout.colour_count, ColourEntries(c.shape)) << c.name;
        EXPECT_EQ(layout.header_bytes,
                  c.shape.info_size + MaskBytes(c.shape) + 4 * ColourEntries(c.shape))
            << c.name;
        EXPECT_EQ(layout.bits_offset, 14 + layout.header_bytes + c.shape.gap) << c.name;
        EXPECT_EQ(layout.bits_size, Stride(c.shape) * Rows(c.shape)) << c.name;
        EXPECT_EQ(layout.bits_offset + layout.bits_size + c.shape.trailing, bytes.size()) << c.name;
        EXPECT_EQ(layout.width, c.shape.width) << c.name;
        EXPECT_EQ(layout.height, c.shape.height) << c.name;
        EXPECT_EQ(layout.bit_count, c.shape.bit_count) << c.name;
    }
}

TEST(ParseBitmapFile, RefusesEveryTruncatedImage) {
    for (const ValidCase& c : kValidCases) {
        if (c.shape.trailing != 0) continue;
        const Bytes bytes = BuildBitmap(c.shape);
        for (std::size_t size = 0; size < bytes.size(); ++size) {
            // A copy of exactly `size` bytes, so that AddressSanitizer sees any read beyond it.
            const Bytes prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
            BitmapFileLayout layout{};
            EXPECT_FALSE(ParseBitmapFile(prefix.data(), prefix.size(), layout))
                << c.name << " cut to " << size << " bytes";
        }
    }
}

struct BrokenCase {
    const char* name;
    ImageShape shape;
    std::function<void(Bytes&)> damage;
};

void SetUint32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    WriteUint32(&bytes[offset], value);
}

void SetUint16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
    WriteUint16(&bytes[offset], value);
}

TEST(ParseBitmapFile, RefusesHeadersThatDoNotFitTheFile) {
    const ImageShape four_bits{7, 3, 4};
    const ImageShape eight_bits{5, 4, 8, 3};
    const ImageShape true_colour{3, 2, 24};
    const BrokenCase cases[] = {
        {"not BM", four_bits, [](Bytes& b) { b[1] = 'A'; }},
        {"core header", four_bits, [](Bytes& b) { SetUint32(b, 14, 12); }},
        {"OS/2 header", four_bits, [](Bytes& b) { SetUint32(b, 14, 64); }},
        {"header size 39", four_bits, [](Bytes& b) { SetUint32(b, 14, 39); }},
        {"header beyond the file", {1, 1, 1}, [](Bytes& b) { SetUint32(b, 14, 124); }},
        {"width 0", four_bits, [](Bytes& b) { SetUint32(b, 18, 0); }},
        {"negative width", four_bits, [](Bytes& b) { SetUint32(b, 18, 0xFFFFFFF9u); }},
        {"width over the limit", {1, 1, 1}, [](Bytes& b) { SetUint32(b, 18, 40000); }},
        {"height 0", four_bits, [](Bytes& b) { SetUint32(b, 22, 0); }},
        {"height over the limit", {1, 1, 1}, [](Bytes& b) { SetUint32(b, 22, 40000); }},
        {"top-down over the limit", {1, 1, 1}, [](Bytes& b) { SetUint32(b, 22, 0xFFFF0000u); }},
        {"most negative height", four_bits, [](Bytes& b) { SetUint32(b, 22, 0x80000000u); }},
        {"more rows than the file", four_bits, [](Bytes& b) { SetUint32(b, 22, 4); }},
        {"more top-down rows", four_bits, [](Bytes& b) { SetUint32(b, 22, 0xFFFFFFFCu); }},
        {"wider rows than the file", four_bits, [](Bytes& b) { SetUint32(b, 18, 9); }},
        {"huge picture", true_colour,
         [](Bytes& b) { SetUint32(b, 18, 32767); SetUint32(b, 22, 32767); }},
        {"two planes", four_bits, [](Bytes& b) { SetUint16(b, 26, 2); }},
        {"0 bits", four_bits, [](Bytes& b) { SetUint16(b, 28, 0); }},
        {"2 bits", four_bits, [](Bytes& b) { SetUint16(b, 28, 2); }},
        {"64 bits", four_bits, [](Bytes& b) { SetUint16(b, 28, 64); }},
        {"more bits per pixel than rows hold", four_bits, [](Bytes& b) { SetUint16(b, 28, 8); }},
        {"run-length 8", eight_bits, [](Bytes& b) { SetUint32(b, 30, 1); }},
        {"run-length 4", four_bits, [](Bytes& b) { SetUint32(b, 30, 2); }},
        {"bit fields at 24 bits", true_colour, [](Bytes& b) { SetUint32(b, 30, 3); }},
        {"JPEG", true_colour, [](Bytes& b) { SetUint32(b, 30, 4); }},
        {"17 colours at 4 bits", four_bits, [](Bytes& b) { SetUint32(b, 46, 17); }},
        {"257 colours at 24 bits", true_colour, [](Bytes& b) { SetUint32(b, 46, 257); }},
        {"colour count wraps round", true_colour, [](Bytes& b) { SetUint32(b, 46, 0xC0000001u); }},
        {"colour table beyond the file", eight_bits, [](Bytes& b) { SetUint32(b, 46, 200); }},
        {"rows inside the colour table", four_bits, [](Bytes& b) { SetUint32(b, 10, 60); }},
        {"rows inside the header", four_bits, [](Bytes& b) { SetUint32(b, 10, 14); }},
        {"rows past the end", four_bits,
         [](Bytes& b) { SetUint32(b, 10, static_cast<std::uint32_t>(b.size()) + 1); }},
        {"rows ending past the end", four_bits,
         [](Bytes& b) { SetUint32(b, 10, ReadUint32(&b[10]) + 1); }},
        {"largest offset", four_bits, [](Bytes& b) { SetUint32(b, 10, 0xFFFFFFFFu); }},
    };
    for (const BrokenCase& c : cases) {
        Bytes bytes = BuildBitmap(c.shape);
        BitmapFileLayout layout{};
        ASSERT_TRUE(ParseBitmapFile(bytes.data(), bytes.size(), layout)) << c.name << " undamaged";
        c.damage(bytes);
        EXPECT_FALSE(ParseBitmapFile(bytes.data(), bytes.size(), layout)) << c.name;
    }
    BitmapFileLayout layout{};
    EXPECT_FALSE(ParseBitmapFile(nullptr, 100, layout));
}

}  // namespace

TEST(DecodeBitmapPixels, EveryAcceptedKindDecodesToItsSizeAndARefusedOneToNothing) {
    for (const ValidCase& c : kValidCases) {
        const Bytes bytes = BuildBitmap(c.shape);
        BitmapPixels picture;
        ASSERT_TRUE(DecodeBitmapPixels(bytes.data(), bytes.size(), picture)) << c.name;
        EXPECT_EQ(picture.width, c.shape.width) << c.name;
        EXPECT_EQ(picture.height, static_cast<int>(Rows(c.shape))) << c.name;
        EXPECT_EQ(picture.pixels.size(), Rows(c.shape) * static_cast<std::size_t>(c.shape.width)) << c.name;
        const Bytes cut(bytes.begin(), bytes.end() - 1 - static_cast<long>(c.shape.trailing));
        EXPECT_FALSE(DecodeBitmapPixels(cut.data(), cut.size(), picture)) << c.name;
        EXPECT_TRUE(picture.pixels.empty()) << c.name;
    }
}

TEST(DecodeBitmapPixels, PixelsComeOutTopRowFirstAsRgb) {
    struct Case {
        const char* name;
        ImageShape shape;
        std::vector<std::pair<std::size_t, std::uint8_t>> bytes;  // offsets from the first row
        std::vector<std::uint32_t> expected;                      // top row first
    };
    const Case cases[] = {
        // Bottom-up: the file's first row (blue, green) is the picture's last.
        {"24 bits", {2, 2, 24}, {{0, 0xFF}, {1, 0}, {2, 0}, {3, 0}, {4, 0xFF}, {5, 0}, {8, 0}, {9, 0}, {10, 0x80},
                                 {11, 0xFF}, {12, 0xFF}, {13, 0xFF}},
         {0x800000, 0xFFFFFF, 0x0000FF, 0x00FF00}},
        // Five bits per channel: red, then white.
        {"16 bits", {2, -1, 16}, {{0, 0x00}, {1, 0x7C}, {2, 0xFF}, {3, 0x7F}}, {0xFF0000, 0xFFFFFF}},
        // Palette entry 0 black, 1 white (written below); pixels 0, 1, 1.
        {"1 bit", {3, -1, 1}, {{0, 0x60}, {1, 0}, {2, 0}, {3, 0}}, {0x000000, 0xFFFFFF, 0xFFFFFF}},
    };
    for (const Case& c : cases) {
        Bytes bytes = BuildBitmap(c.shape);
        const std::size_t rows_start = ReadUint32(&bytes[10]);
        for (const auto& [offset, value] : c.bytes) bytes[rows_start + offset] = value;
        if (c.shape.bit_count == 1) {
            for (std::size_t i = 0; i < 3; ++i) bytes[14 + 40 + 4 + i] = 0xFF;  // entry 1 white
            for (std::size_t i = 0; i < 3; ++i) bytes[14 + 40 + i] = 0;          // entry 0 black
        }
        BitmapPixels picture;
        ASSERT_TRUE(DecodeBitmapPixels(bytes.data(), bytes.size(), picture)) << c.name;
        EXPECT_EQ(picture.pixels, c.expected) << c.name;
    }
}

TEST(LoadBitmapPixels, FindsPicturesBelowTheFolderAndNoneOutsideIt) {
    char folder[] = "/tmp/lintaro-pictures-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string sub = std::string(folder) + "/sub";
    ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
    const Bytes bytes = BuildBitmap(ImageShape{3, 2, 24});
    const std::string path = sub + "/p.bmp";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    struct Case {
        const char* name;
        bool found;
    };
    for (const Case c : {Case{"sub\\p.bmp", true}, Case{"sub/p.bmp", true}, Case{"p.bmp", false},
                         Case{"\\sub\\p.bmp", false}, Case{"C:\\sub\\p.bmp", false}, Case{"", false}}) {
        BitmapPixels picture;
        EXPECT_EQ(LoadBitmapPixels(folder, c.name, picture), c.found) << c.name;
        EXPECT_EQ(picture.width, c.found ? 3 : 0) << c.name;
    }
    BitmapPixels absolute;
    EXPECT_FALSE(LoadBitmapPixels(nullptr, path.c_str(), absolute));
    std::remove(path.c_str());
    rmdir(sub.c_str());
    rmdir(folder);
}
