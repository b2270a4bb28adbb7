// The column layout file: the grid's columns, table style and font kept between runs.
#ifndef LINTARO_GRID_COLUMN_LAYOUT_FILE_H
#define LINTARO_GRID_COLUMN_LAYOUT_FILE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/font_record.h"
#include "grid/grid_records.h"

// Little-endian, in this order:
//   0  u32  magic 12345678 (0x00BC614E)
//   4  u16  20
//   6  u16  offset of the first column record (the grid writes 128)
//   8  u16  48, the size of a column record
//  10  u32  column count
//  14       12 zero bytes
//  26       TableStyle, 8 bytes
//  34       the first 54 bytes of the FontSpec
//  88       40 bytes: the print options record, or zeros (see below)
// 128       the GridColumn records in display order, as the grid holds them
//
// The print options record, all zero when every option has its plain value, so that such a
// file is byte for byte what the options' absence wrote:
//  88  4    "PRT1"
//  92  u16  key columns
//  94  u8   page-number style
//  95  u8   fit to width
//  96  u8   sum lines (SumPlacement bits)
//  97       31 zero bytes, room for later options
// It is read only when the records start at 128 or later (before that these bytes are records).
constexpr std::uint32_t kLayoutFileMagic = 12345678;
constexpr std::uint16_t kLayoutFileTag = 20;
constexpr std::uint16_t kLayoutFileRecordOffset = 128;
constexpr std::uint16_t kLayoutFileRecordSize = 48;
constexpr std::size_t kLayoutFileStyleOffset = 26;
constexpr std::size_t kLayoutFileFontOffset = 34;
constexpr std::size_t kLayoutFileOptionsOffset = 88;
constexpr std::size_t kLayoutFileOptionsEnd = 128;
// The font bytes end here; records may not start before it.
constexpr std::size_t kLayoutFileFixedPartEnd = kLayoutFileFontOffset + kFontSpecStoredBytes;

// Limits applied to what a file brings in. No grid has more columns (the table store numbers
// columns in 16 bits), and with both limits no sum of widths and rules over all columns can
// overflow 32 bits.
constexpr std::uint32_t kLayoutFileColumnLimit = 32767;
constexpr std::int32_t kColumnWidthLimit = 32767;
// Font sizes, in tenths of a point, that a file may bring (up to 1638 points).
constexpr std::int32_t kFontSizeLimit = 16380;

struct LayoutFileHeader {
    std::uint32_t column_count;
    std::uint16_t record_offset;
    TableStyle style;  // as in the file, not yet mended
};

// The font bytes are left to ReadFontPrefix, which merges them into a record.
// Accepts a header when the magic, 20 and 48 match, the column count is 1 ..
// kLayoutFileColumnLimit, the records start at or after the font bytes, and the fixed part and
// every record lie inside `size` bytes. False, with `header` unspecified, for anything else.
bool ParseLayoutFileHeader(const std::uint8_t* bytes, std::size_t size, LayoutFileHeader& header);

// The print options of an accepted file: the plain ones unless the records leave room for
// them and the record's tag is there. Not yet mended.
PrintOptions ReadLayoutFileOptions(const std::uint8_t* bytes, const LayoutFileHeader& header);

// Record and style images, field by field little-endian.
GridColumn ReadGridColumn(const std::uint8_t* bytes);
void WriteGridColumn(std::uint8_t* bytes, const GridColumn& column);
TableStyle ReadTableStyle(const std::uint8_t* bytes);
void WriteTableStyle(std::uint8_t* bytes, const TableStyle& style);
// The first 54 bytes of a FontSpec (the last field only by its low 16 bits).
void ReadFontPrefix(const std::uint8_t* bytes, FontSpec& font);
void WriteFontPrefix(std::uint8_t* bytes, const FontSpec& font);

// The whole file for these columns, style, font and print options.
std::vector<std::uint8_t> BuildLayoutFile(const TableStyle& style, const FontSpec& font,
                                          const GridColumn* columns, int count,
                                          const PrintOptions& options = PrintOptions{});

// Values no grid writes, brought to safe ones so that later code may index and add with them:
// alignment outside Left/Right/Center becomes Left; max lines below 2 becomes 0; widths and
// character widths are held to 0 .. kColumnWidthLimit. Source, flags and type stay (unknown
// ones are harmless), and the title offset is the caller's to derive.
void MendLoadedColumn(GridColumn& column);
// A line type other than 1..3 becomes Single, a cell height above 100 % normal (0), a
// page-number position above 6 Top Right. Flags stay.
void MendLoadedStyle(TableStyle& style);
// Key columns above kLayoutFileColumnLimit become 0, an unknown page-number style Plain, and
// any fit-to-width value but 0 becomes 1; sum-line bits no grid writes are dropped.
void MendLoadedOptions(PrintOptions& options);
// The face name is cut to 31 characters so that it is terminated; a size outside
// 1 .. kFontSizeLimit becomes 100 (10 points).
void MendLoadedFont(FontSpec& font);

#endif
