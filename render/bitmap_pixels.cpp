// BMP pixel rows to top-down RGB: palettes, bit fields, the row order of the file.
#include "render/bitmap_pixels.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/byte_order.h"
#include "render/bitmap_file.h"

namespace {

constexpr std::size_t kPixelLimit = std::size_t{64} << 20;
constexpr std::size_t kFileLimit = std::size_t{256} << 20;
constexpr std::uint32_t kBitFields = 3;

// One channel of a bit-field pixel, widened to 8 bits.
std::uint32_t Channel(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    const std::uint32_t maximum = mask >> shift;
    return ((pixel & mask) >> shift) * 255 / maximum;
}

}  // namespace

bool DecodeBitmapPixels(const std::uint8_t* bytes, std::size_t size, BitmapPixels& out) {
    out = BitmapPixels{};
    BitmapFileLayout layout{};
    if (bytes == nullptr || !ParseBitmapFile(bytes, size, layout)) return false;
    const std::size_t width = static_cast<std::size_t>(layout.width);
    const std::size_t rows = static_cast<std::size_t>(layout.height < 0 ? -static_cast<std::int64_t>(layout.height)
                                                                        : layout.height);
    if (width * rows > kPixelLimit) return false;
    const std::size_t palette = kBitmapFileHeaderSize + layout.header_bytes - 4 * layout.colour_count;
    std::uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (layout.bit_count == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0xFF00;
        masks[2] = 0xFF;
    }
    if (layout.compression == kBitFields) {
        for (int i = 0; i < 3; ++i) masks[i] = ReadUint32(bytes + kBitmapFileHeaderSize + 40 + 4 * i);
    }
    const std::size_t stride = layout.bits_size / rows;
    out.width = layout.width;
    out.height = static_cast<int>(rows);
    out.pixels.resize(width * rows);
    for (std::size_t row = 0; row < rows; ++row) {
        // Bottom-up files keep the picture's last row first.
        const std::size_t source_row = layout.height < 0 ? row : rows - 1 - row;
        const std::uint8_t* line = bytes + layout.bits_offset + source_row * stride;
        std::uint32_t* target = &out.pixels[row * width];
        for (std::size_t x = 0; x < width; ++x) {
            std::uint32_t colour = 0;
            if (layout.bit_count <= 8) {
                const std::size_t bit = x * layout.bit_count;
                const unsigned shift = static_cast<unsigned>(8 - layout.bit_count - bit % 8);
                const std::size_t index = (line[bit / 8] >> shift) & ((1u << layout.bit_count) - 1);
                if (index < layout.colour_count) {
                    const std::uint8_t* entry = bytes + palette + 4 * index;
                    colour = (std::uint32_t{entry[2]} << 16) | (std::uint32_t{entry[1]} << 8) | entry[0];
                }
            } else if (layout.bit_count == 24) {
                const std::uint8_t* pixel = line + 3 * x;
                colour = (std::uint32_t{pixel[2]} << 16) | (std::uint32_t{pixel[1]} << 8) | pixel[0];
            } else {
                const std::uint32_t pixel = layout.bit_count == 16 ? ReadUint16(line + 2 * x) : ReadUint32(line + 4 * x);
                colour = (Channel(pixel, masks[0]) << 16) | (Channel(pixel, masks[1]) << 8) | Channel(pixel, masks[2]);
            }
            target[x] = colour;
        }
    }
    return true;
}

bool LoadBitmapPixels(const char* folder, const char* name, BitmapPixels& out) {
    out = BitmapPixels{};
    if (name == nullptr || name[0] == '\0') return false;
    // Pictures lie in the data file's folder or below it, as the sizes the layout counts do.
    if (name[0] == '/' || name[0] == '\\' || std::strchr(name, ':') != nullptr) return false;
    std::string path = folder != nullptr ? folder : "";
    if (!path.empty() && path.back() != '/') path += '/';
    for (const char* c = name; *c != '\0'; ++c) path += *c == '\\' ? '/' : *c;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 && bytes.size() <= kFileLimit) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    std::fclose(file);
    return bytes.size() <= kFileLimit && DecodeBitmapPixels(bytes.data(), bytes.size(), out);
}
