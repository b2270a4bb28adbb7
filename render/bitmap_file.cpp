// Checks a BMP file image before any of it is handed to GDI, so that no header is trusted.
#include "render/bitmap_file.h"

#include "base/byte_order.h"

namespace {

constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kBitFields = 3;

bool IsKnownInfoSize(std::uint32_t size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

}  // namespace

bool ParseBitmapFile(const std::uint8_t* bytes, std::size_t size, BitmapFileLayout& layout) {
    constexpr std::size_t kInfoStart = kBitmapFileHeaderSize;
    if (bytes == nullptr || size < kInfoStart + 40) return false;
    if (bytes[0] != 'B' || bytes[1] != 'M') return false;
    const std::uint32_t bits_offset = ReadUint32(bytes + 10);
    const std::uint8_t* info = bytes + kInfoStart;
    const std::uint32_t info_size = ReadUint32(info);
    if (!IsKnownInfoSize(info_size) || info_size > size - kInfoStart) return false;

    const std::int32_t width = static_cast<std::int32_t>(ReadUint32(info + 4));
    const std::int32_t height = static_cast<std::int32_t>(ReadUint32(info + 8));
    const std::uint16_t planes = ReadUint16(info + 12);
    const std::uint16_t bit_count = ReadUint16(info + 14);
    const std::uint32_t compression = ReadUint32(info + 16);
    const std::uint32_t colours_used = ReadUint32(info + 32);
    if (planes != 1) return false;
    if (width < 1 || width > kBitmapDimensionLimit) return false;
    if (height == 0 || height < -kBitmapDimensionLimit || height > kBitmapDimensionLimit)
        return false;
    switch (bit_count) {
        case 1:
        case 4:
        case 8:
        case 24:
            if (compression != kUncompressed) return false;
            break;
        case 16:
        case 32:
            if (compression != kUncompressed && compression != kBitFields) return false;
            break;
        default:
            return false;
    }

    std::size_t colour_count = colours_used;
    if (bit_count <= 8) {
        const std::size_t full_table = std::size_t{1} << bit_count;
        if (colour_count == 0) colour_count = full_table;
        if (colour_count > full_table) return false;
    } else if (colour_count > 256) {
        return false;
    }
    // A 40-byte header keeps its three bit-field masks after itself; longer ones hold them.
    const std::size_t masks = compression == kBitFields && info_size == 40 ? 12 : 0;
    const std::size_t header_bytes = info_size + masks + 4 * colour_count;
    if (header_bytes > size - kInfoStart) return false;
    const std::size_t table_end = kInfoStart + header_bytes;

    const std::size_t rows_start = bits_offset != 0 ? bits_offset : table_end;
    if (rows_start < table_end || rows_start > size) return false;
    const std::size_t stride = (static_cast<std::size_t>(width) * bit_count + 31) / 32 * 4;
    const std::size_t rows =
        static_cast<std::size_t>(height < 0 ? -static_cast<std::int64_t>(height) : height);
    if (rows > (size - rows_start) / stride) return false;

    layout.info_size = info_size;
    layout.header_bytes = header_bytes;
    layout.colour_count = colour_count;
    layout.bits_offset = rows_start;
    layout.bits_size = stride * rows;
    layout.width = width;
    layout.height = height;
    layout.bit_count = bit_count;
    layout.compression = compression;
    return true;
}
