// The column layout file: header checks, record images and the mending of loaded values.
#include "grid/column_layout_file.h"

#include <algorithm>
#include <cstring>

#include "render/text_layout.h"
#include "base/byte_order.h"

namespace {

std::int32_t ReadInt32(const std::uint8_t* bytes) { return static_cast<std::int32_t>(ReadUint32(bytes)); }

void WriteInt32(std::uint8_t* bytes, std::int32_t value) {
    WriteUint32(bytes, static_cast<std::uint32_t>(value));
}

std::int32_t ClampWidth(std::int32_t width) { return std::clamp(width, 0, kColumnWidthLimit); }

}  // namespace

bool ParseLayoutFileHeader(const std::uint8_t* bytes, std::size_t size, LayoutFileHeader& header) {
    if (bytes == nullptr || size < kLayoutFileFixedPartEnd) return false;
    if (ReadUint32(bytes) != kLayoutFileMagic || ReadUint16(bytes + 4) != kLayoutFileTag ||
        ReadUint16(bytes + 8) != kLayoutFileRecordSize) {
        return false;
    }
    header.record_offset = ReadUint16(bytes + 6);
    header.column_count = ReadUint32(bytes + 10);
    if (header.column_count == 0 || header.column_count > kLayoutFileColumnLimit) return false;
    if (header.record_offset < kLayoutFileFixedPartEnd) return false;
    const std::uint64_t records_end = static_cast<std::uint64_t>(header.record_offset) +
                                      static_cast<std::uint64_t>(header.column_count) * kLayoutFileRecordSize;
    if (records_end > size) return false;
    header.style = ReadTableStyle(bytes + kLayoutFileStyleOffset);
    return true;
}

namespace {

constexpr char kOptionsTag[4] = {'P', 'R', 'T', '1'};

}  // namespace

PrintOptions ReadLayoutFileOptions(const std::uint8_t* bytes, const LayoutFileHeader& header) {
    PrintOptions options;
    if (bytes == nullptr || header.record_offset < kLayoutFileOptionsEnd) return options;
    const std::uint8_t* record = bytes + kLayoutFileOptionsOffset;
    if (std::memcmp(record, kOptionsTag, sizeof kOptionsTag) != 0) return options;
    options.key_columns = ReadUint16(record + 4);
    options.page_number_style = record[6];
    options.fit_to_width = record[7];
    options.sum_lines = record[8];
    return options;
}

GridColumn ReadGridColumn(const std::uint8_t* bytes) {
    GridColumn column;
    column.source = ReadInt32(bytes + 0);
    column.flags = ReadUint32(bytes + 4);
    column.alignment = ReadInt32(bytes + 8);
    column.max_lines = ReadInt32(bytes + 12);
    column.type = ReadInt32(bytes + 16);
    column.width = ReadInt32(bytes + 20);
    column.natural_width = ReadInt32(bytes + 24);
    column.print_width = ReadInt32(bytes + 28);
    column.print_natural_width = ReadInt32(bytes + 32);
    column.title_offset = ReadUint32(bytes + 36);
    column.character_width = ReadInt32(bytes + 40);
    column.character_width_used = ReadInt32(bytes + 44);
    return column;
}

void WriteGridColumn(std::uint8_t* bytes, const GridColumn& column) {
    WriteInt32(bytes + 0, column.source);
    WriteUint32(bytes + 4, column.flags);
    WriteInt32(bytes + 8, column.alignment);
    WriteInt32(bytes + 12, column.max_lines);
    WriteInt32(bytes + 16, column.type);
    WriteInt32(bytes + 20, column.width);
    WriteInt32(bytes + 24, column.natural_width);
    WriteInt32(bytes + 28, column.print_width);
    WriteInt32(bytes + 32, column.print_natural_width);
    WriteUint32(bytes + 36, column.title_offset);
    WriteInt32(bytes + 40, column.character_width);
    WriteInt32(bytes + 44, column.character_width_used);
}

TableStyle ReadTableStyle(const std::uint8_t* bytes) {
    TableStyle style;
    style.line_type = bytes[0];
    style.cell_height = ReadUint16(bytes + 1);
    style.page_number_position = bytes[3];
    style.flags = ReadUint32(bytes + 4);
    return style;
}

void WriteTableStyle(std::uint8_t* bytes, const TableStyle& style) {
    bytes[0] = style.line_type;
    WriteUint16(bytes + 1, style.cell_height);
    bytes[3] = style.page_number_position;
    WriteUint32(bytes + 4, style.flags);
}

void ReadFontPrefix(const std::uint8_t* bytes, FontSpec& font) {
    std::memcpy(font.face_name, bytes, sizeof font.face_name);
    font.size = ReadInt32(bytes + 32);
    font.style = ReadUint32(bytes + 36);
    font.char_set = ReadUint32(bytes + 40);
    font.reserved_first = ReadUint32(bytes + 44);
    font.reserved_second = ReadUint32(bytes + 48);
    // Only the low half of the last field is stored; its high half stays what it was.
    font.reserved_last = (font.reserved_last & 0xFFFF0000u) | ReadUint16(bytes + 52);
}

void WriteFontPrefix(std::uint8_t* bytes, const FontSpec& font) {
    std::memcpy(bytes, font.face_name, sizeof font.face_name);
    WriteInt32(bytes + 32, font.size);
    WriteUint32(bytes + 36, font.style);
    WriteUint32(bytes + 40, font.char_set);
    WriteUint32(bytes + 44, font.reserved_first);
    WriteUint32(bytes + 48, font.reserved_second);
    WriteUint16(bytes + 52, static_cast<std::uint16_t>(font.reserved_last & 0xFFFF));
}

std::vector<std::uint8_t> BuildLayoutFile(const TableStyle& style, const FontSpec& font,
                                          const GridColumn* columns, int count,
                                          const PrintOptions& options) {
    if (columns == nullptr || count < 0) count = 0;
    std::vector<std::uint8_t> image(kLayoutFileRecordOffset +
                                        static_cast<std::size_t>(count) * kLayoutFileRecordSize,
                                    0);
    std::uint8_t* bytes = image.data();
    WriteUint32(bytes, kLayoutFileMagic);
    WriteUint16(bytes + 4, kLayoutFileTag);
    WriteUint16(bytes + 6, kLayoutFileRecordOffset);
    WriteUint16(bytes + 8, kLayoutFileRecordSize);
    WriteUint32(bytes + 10, static_cast<std::uint32_t>(count));
    WriteTableStyle(bytes + kLayoutFileStyleOffset, style);
    WriteFontPrefix(bytes + kLayoutFileFontOffset, font);
    if (options != PrintOptions{}) {
        std::uint8_t* record = bytes + kLayoutFileOptionsOffset;
        std::memcpy(record, kOptionsTag, sizeof kOptionsTag);
        WriteUint16(record + 4, options.key_columns);
        record[6] = options.page_number_style;
        record[7] = options.fit_to_width;
        record[8] = options.sum_lines;
    }
    for (int i = 0; i < count; ++i) {
        WriteGridColumn(bytes + kLayoutFileRecordOffset + static_cast<std::size_t>(i) * kLayoutFileRecordSize,
                        columns[i]);
    }
    return image;
}

void MendLoadedColumn(GridColumn& column) {
    if (column.alignment != kAlignLeft && column.alignment != kAlignRight &&
        column.alignment != kAlignCenter) {
        column.alignment = kAlignLeft;
    }
    if (column.max_lines < 2) column.max_lines = 0;
    column.width = ClampWidth(column.width);
    column.natural_width = ClampWidth(column.natural_width);
    column.print_width = ClampWidth(column.print_width);
    column.print_natural_width = ClampWidth(column.print_natural_width);
    column.character_width = ClampWidth(column.character_width);
    column.character_width_used = ClampWidth(column.character_width_used);
}

void MendLoadedStyle(TableStyle& style) {
    if (style.line_type < LineType::Single || style.line_type > LineType::Double) {
        style.line_type = LineType::Single;
    }
    if (style.cell_height > 100) style.cell_height = 0;
    if (style.page_number_position > PageNumberPosition::BottomRight) {
        style.page_number_position = PageNumberPosition::TopRight;
    }
}

void MendLoadedOptions(PrintOptions& options) {
    if (options.key_columns > kLayoutFileColumnLimit) options.key_columns = 0;
    if (options.page_number_style > PageNumberStyle::PageOfPages) options.page_number_style = PageNumberStyle::Plain;
    if (options.fit_to_width != 0) options.fit_to_width = 1;
    options.sum_lines &= SumPlacement::PageTotals | SumPlacement::BroughtForward | SumPlacement::GroupTotals |
                         SumPlacement::NoEndTotal;
}

void MendLoadedFont(FontSpec& font) {
    font.face_name[sizeof font.face_name - 1] = '\0';
    if (font.size < 1 || font.size > kFontSizeLimit) font.size = 100;
}
