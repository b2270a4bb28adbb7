// Fuzzes the BMP checks: an accepted image must lie wholly inside the bytes it came from.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "render/bitmap_file.h"
#include "render/bitmap_pixels.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so that AddressSanitizer catches any read past the end.
    const std::vector<std::uint8_t> bytes(data, data + size);
    BitmapFileLayout layout{};
    BitmapPixels picture;
    const bool decoded = DecodeBitmapPixels(bytes.data(), bytes.size(), picture);
    if (!ParseBitmapFile(bytes.data(), bytes.size(), layout)) {
        if (decoded) std::abort();  // the decoder takes only what the checks accept
        return 0;
    }
    if (decoded && picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height) std::abort();

    const std::size_t table_end = kBitmapFileHeaderSize + layout.header_bytes;
    if (table_end > size || layout.bits_offset < table_end || layout.bits_offset > size ||
        layout.bits_size > size - layout.bits_offset) {
        std::abort();
    }
    const std::size_t rows = static_cast<std::size_t>(
        layout.height < 0 ? -static_cast<std::int64_t>(layout.height) : layout.height);
    const std::size_t stride =
        (static_cast<std::size_t>(layout.width) * layout.bit_count + 31) / 32 * 4;
    if (layout.width <= 0 || rows == 0 || stride * rows != layout.bits_size) std::abort();
    if (layout.bit_count <= 8 && layout.colour_count > (std::size_t{1} << layout.bit_count))
        std::abort();

    // Touch every byte GDI would read: the header, the colour table and the pixel rows.
    unsigned sum = 0;
    for (std::size_t i = kBitmapFileHeaderSize; i < table_end; ++i) sum += bytes[i];
    for (std::size_t i = 0; i < layout.bits_size; ++i) sum += bytes[layout.bits_offset + i];
    volatile unsigned sink = sum;
    (void)sink;
    return 0;
}
