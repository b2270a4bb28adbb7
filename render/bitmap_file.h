// Checks a BMP file image before any of it is handed to GDI, so that no header is trusted.
#ifndef LINTARO_RENDER_BITMAP_FILE_H
#define LINTARO_RENDER_BITMAP_FILE_H

#include <cstddef>
#include <cstdint>

// Size of the BMP file header ("BM", file size, two reserved words, offset of the pixel bits).
constexpr std::size_t kBitmapFileHeaderSize = 14;

// Where the parts of an accepted BMP image lie; every range is inside the image.
struct BitmapFileLayout {
    std::size_t info_size;     // the info header's own size field (40, 52, 56, 108 or 124)
    std::size_t header_bytes;  // info header + colour masks + colour table, from offset 14
    std::size_t colour_count;  // colour table entries (biClrUsed, or the full table up to 8 bits)
    std::size_t bits_offset;   // first byte of the pixel rows
    std::size_t bits_size;     // bytes of all pixel rows, each padded to 4 bytes
    std::int32_t width;
    std::int32_t height;  // negative for a top-down image
    std::uint16_t bit_count;
    std::uint32_t compression;  // 0 uncompressed, 3 bit fields
};

// Pictures beyond this many pixels across or down are refused.
constexpr std::int32_t kBitmapDimensionLimit = 32767;

// Accepts only what can be drawn without reading past the image: "BM", a Windows info header
// that fits, one plane, 1, 4, 8, 16, 24 or 32 bits per pixel, no compression (bit fields for 16
// and 32 bits), sizes from 1 to kBitmapDimensionLimit, a colour table within 2^bits entries
// (256 above 8 bits), and pixel rows that start after the colour table and end inside the
// image. When the file header's bit offset is 0 the rows follow the colour table. Run-length
// compressed and OS/2 core images are refused. Returns false, leaving `layout` unspecified,
// for anything else.
bool ParseBitmapFile(const std::uint8_t* bytes, std::size_t size, BitmapFileLayout& layout);

#endif
