// The table font description: one 56-byte record shared by the grid, the layout file and MakeFont.
#ifndef LINTARO_GRID_FONT_SPEC_H
#define LINTARO_GRID_FONT_SPEC_H

#include <cstddef>
#include <cstdint>

// Bits of FontSpec::style.
enum : std::uint32_t {
    kFontBold = 1,
    kFontItalic = 2,
    kFontUnderline = 4,
    kFontStrikeOut = 8,
};

// The layout is a file format (the column layout file keeps its first 54 bytes): no padding,
// little-endian. Sizes are tenths of a point; the character set is the low byte of char_set
// (1 is the Windows "default" character set). The last three fields are not interpreted here:
// they are only copied along with the record.
struct FontSpec {
    char face_name[32] = "MS Sans Serif";  // NUL-terminated
    std::int32_t size = 100;
    std::uint32_t style = 0;
    std::uint32_t char_set = 1;
    std::uint32_t reserved_first = 0;
    std::uint32_t reserved_second = 0;
    std::uint32_t reserved_last = 0;
};
static_assert(sizeof(FontSpec) == 56, "FontSpec is the 56-byte table font record");
static_assert(offsetof(FontSpec, size) == 32 && offsetof(FontSpec, char_set) == 40 &&
                  offsetof(FontSpec, reserved_last) == 52,
              "FontSpec fields sit at their file offsets");

// How many leading bytes of a FontSpec the grid compares and the column layout file stores.
constexpr std::size_t kFontSpecStoredBytes = 54;

#endif
