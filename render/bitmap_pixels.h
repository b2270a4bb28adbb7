// The pixels of a BMP picture file, decoded without GDI, for drawing pictures off Windows.
#ifndef LINTARO_RENDER_BITMAP_PIXELS_H
#define LINTARO_RENDER_BITMAP_PIXELS_H

#include <cstddef>
#include <cstdint>
#include <vector>

// Pictures in cells are shown at the display's resolution; printing scales them from it.
constexpr int kDisplayPixelsPerInch = 96;

// Rows from the top, each pixel 0x00RRGGBB.
struct BitmapPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// Decodes an image that ParseBitmapFile accepts (1, 4, 8, 16, 24 and 32 bits, palettes and bit
// fields). False, with `out` empty, for anything else or for more than 64 million pixels.
bool DecodeBitmapPixels(const std::uint8_t* bytes, std::size_t size, BitmapPixels& out);

// Reads and decodes `name` (as a cell names it, '\' separating folders) in `folder` (null or
// empty: the current folder). False when the file is missing, unreadable or not such a BMP, and
// for names that leave the folder from the start: a leading separator or a drive.
bool LoadBitmapPixels(const char* folder, const char* name, BitmapPixels& out);

#endif
