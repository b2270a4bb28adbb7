// Export writers: each line (or dBase record) is assembled in a byte list and written at once.
#include "print/export_writers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "grid/char_render.h"
#include "print/dos_cyrillic.h"
#include "render/control_bytes.h"
#include "base/byte_order.h"
#include "store/item_list.h"

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr std::int32_t kLineRoom = 1024;
constexpr std::size_t kTitleLimit = 255;

// dBase III header fields.
constexpr std::size_t kDbaseHeaderSize = 32;
constexpr std::size_t kDbaseDescriptorSize = 32;
constexpr std::uint8_t kDbaseVersion = 3;
constexpr std::uint8_t kDbaseHeaderEnd = 0x0D;
constexpr std::uint8_t kDbaseLiveRecord = 0x20;
constexpr std::size_t kDbaseLanguageDriverOffset = 29;
constexpr std::uint8_t kDbaseWindowsCyrillic = 0xC9;  // the language driver id of code page 1251
constexpr int kDbaseLongestField = 255;
constexpr std::int64_t kDbaseLongest16 = 65535;  // header and record lengths are 16-bit fields

std::vector<int> VisibleColumns(const GridModel& grid) {
    std::vector<int> visible;
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        if (grid.IsColumnVisible(i)) visible.push_back(i);
    }
    return visible;
}

// Appends `count` bytes, converted to DOS when asked, with every control byte blanked: a TAB,
// CR or LF of a cell would split a tab-separated record, and no output may carry a form feed or
// an ESC sequence from a cell to a printer.
bool AppendText(ItemList& line, const char* text, std::size_t count, bool convert) {
    const int start = line.Size();
    if (!line.Append(text, static_cast<std::int32_t>(count))) return false;
    char* appended = reinterpret_cast<char*>(line.Data()) + start;
    if (convert) ToDosCyrillic(appended, count);
    BlankControlBytes(appended, count);
    return true;
}

// Writes the list in one write; false when it did not go through in full.
bool WriteLine(ByteSink& file, const ItemList& line) {
    const std::size_t size = static_cast<std::size_t>(line.Size());
    return file.Write(line.Data(), size) == size;
}

std::string_view CutTitle(const GridModel& grid, int column) {
    const std::string_view title = grid.ColumnTitleText(column);
    return title.substr(0, std::min(title.size(), kTitleLimit));
}

// A CSV field followed by the separator. A field holding the separator, a quote or a line
// break is quoted with its quotes doubled, so that a reader splits the line where we did. The
// decision is made on the bytes written: the DOS table turns the typographic quotes into '"'.
// CR and LF stay inside the quotes; every other control byte becomes a blank.
bool AppendCsvField(ItemList& line, std::string_view text, bool convert) {
    std::string field(text);
    if (convert) ToDosCyrillic(field.data(), field.size());
    for (char& byte : field) {
        if (byte != '\r' && byte != '\n' && IsControlByte(static_cast<unsigned char>(byte))) byte = ' ';
    }
    const bool quoted = field.find_first_of(";\"\r\n") != std::string::npos;
    if (!quoted) return line.Append(field.data(), static_cast<std::int32_t>(field.size())) && line.Append(";", 1);
    if (!line.Append("\"", 1)) return false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '"') continue;
        if (!line.Append(field.data() + start, static_cast<std::int32_t>(i + 1 - start))) return false;
        start = i;  // the quote is written again: doubled
    }
    return line.Append(field.data() + start, static_cast<std::int32_t>(field.size() - start)) &&
           line.Append("\";", 2);
}

// The text of every visible column of a data line, joined by `separator` (or each followed by
// ";" for CSV).
bool AppendRow(const GridModel& grid, const LayoutLine& row, const std::vector<int>& columns, ItemList& line,
               bool convert, bool csv) {
    char text[kCellTextLimit + 1];
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const int length = grid.CellText(row, columns[c], text);
        const std::string_view cell(text, static_cast<std::size_t>(length));
        if (csv) {
            if (!AppendCsvField(line, cell, convert)) return false;
        } else {
            if (c > 0 && !line.Append("\t", 1)) return false;
            if (!AppendText(line, cell.data(), cell.size(), convert)) return false;
        }
    }
    return line.Append(kLineEnd, 2);
}

// The rows the view shows, which a progress counts against; 0 without a progress.
std::int64_t RowsToWrite(const GridModel& grid, const WorkProgress* progress) {
    if (progress == nullptr) return 0;
    std::int64_t rows = 0;
    for (int i = 0; i < grid.LineCount(); ++i) {
        if (grid.Line(i).kind == LineKind::DataRow) ++rows;
    }
    return rows;
}

// Before a block of rows: false (and `cancelled`) when the progress says stop.
bool KeepWriting(WorkProgress* progress, ExportOutcome& outcome, std::int64_t total) {
    if (KeepGoingAtBlock(progress, outcome.rows, total)) return true;
    outcome.cancelled = true;
    return false;
}

// Writes one line per DataRow line of the layout until a write fails or the progress stops it.
void WriteRows(const GridModel& grid, ByteSink& file, const std::vector<int>& columns, ItemList& line,
               bool convert, bool csv, ExportOutcome& outcome, WorkProgress* progress) {
    const int count = grid.LineCount();
    const std::int64_t total = RowsToWrite(grid, progress);
    for (int i = 0; i < count; ++i) {
        const LayoutLine row = grid.Line(i);
        if (row.kind != LineKind::DataRow) continue;
        if (!KeepWriting(progress, outcome, total)) return;
        line.MakeEmpty();
        if (!AppendRow(grid, row, columns, line, convert, csv) || !WriteLine(file, line)) {
            outcome.write_failed = true;
            return;
        }
        ++outcome.rows;
    }
}

// The field lengths of the visible columns (character widths used, limited to 1 .. 255 and
// stored back into the columns) and the record length; false when the record or the header
// would not fit their 16-bit fields.
bool DbaseFieldLengths(GridModel& grid, const std::vector<int>& columns, std::vector<int>& field_lengths,
                       int& record_length) {
    field_lengths.clear();
    std::int64_t length_of_record = 1;
    for (int column : columns) {
        GridColumn* record_of_column = grid.MutableColumn(column);
        const int length = std::clamp<int>(record_of_column->character_width_used, 1, kDbaseLongestField);
        record_of_column->character_width_used = length;
        field_lengths.push_back(length);
        length_of_record += length;
    }
    record_length = static_cast<int>(std::min(length_of_record, kDbaseLongest16 + 1));
    const std::int64_t header_length =
        static_cast<std::int64_t>(kDbaseHeaderSize + kDbaseDescriptorSize * columns.size() + 1);
    return length_of_record <= kDbaseLongest16 && header_length <= kDbaseLongest16;
}

}  // namespace

bool DbaseRecordFits(GridModel& grid) {
    ComputeCharWidths(grid);
    std::vector<int> field_lengths;
    int record_length = 0;
    return DbaseFieldLengths(grid, VisibleColumns(grid), field_lengths, record_length);
}

ExportOutcome ExportPlainText(GridModel& grid, ByteSink* file, bool convert, WorkProgress* progress) {
    ExportOutcome outcome;
    if (file == nullptr) return outcome;
    ComputeCharWidths(grid);
    const int width = TextPageWidth(grid);
    ItemList line(kLineRoom, kLineRoom);
    if (line.Capacity() == 0) return outcome;
    outcome.ok = true;
    const int count = grid.LineCount();
    const std::int64_t total = RowsToWrite(grid, progress);
    for (int i = 0; i < count; ++i) {
        const LayoutLine layout_line = grid.Line(i);
        if (layout_line.kind == LineKind::DataRow && !KeepWriting(progress, outcome, total)) break;
        line.MakeEmpty();
        const bool rendered = RenderLayoutLine(grid, layout_line, line, width, 0);
        if (convert) ToDosCyrillic(line.Data(), static_cast<std::size_t>(line.Size()));
        if (!WriteLine(*file, line) || !rendered) {
            outcome.write_failed = true;
            break;
        }
        if (layout_line.kind == LineKind::DataRow) ++outcome.rows;
    }
    return outcome;
}

ExportOutcome ExportTabSeparated(GridModel& grid, ByteSink* file, bool convert, WorkProgress* progress) {
    ExportOutcome outcome;
    if (file == nullptr) return outcome;
    ItemList line(kLineRoom, kLineRoom);
    if (line.Capacity() == 0) return outcome;
    const std::vector<int> columns = VisibleColumns(grid);

    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (!line.Append("\t", 1)) return outcome;
    }
    if (!line.Append(kLineEnd, 2) || !WriteLine(*file, line)) {
        outcome.write_failed = true;
        return outcome;
    }

    line.MakeEmpty();
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const std::string_view title = CutTitle(grid, columns[c]);
        if ((c > 0 && !line.Append("\t", 1)) || !AppendText(line, title.data(), title.size(), convert)) {
            return outcome;
        }
    }
    if (!line.Append("\r\n\r\n", 4) || !WriteLine(*file, line)) {
        outcome.write_failed = true;
        return outcome;
    }

    outcome.ok = true;
    WriteRows(grid, *file, columns, line, convert, false, outcome, progress);
    return outcome;
}

ExportOutcome ExportCsv(GridModel& grid, ByteSink* file, bool convert, WorkProgress* progress) {
    ExportOutcome outcome;
    if (file == nullptr) return outcome;
    ItemList line(kLineRoom, kLineRoom);
    if (line.Capacity() == 0) return outcome;
    const std::vector<int> columns = VisibleColumns(grid);

    for (int column : columns) {
        if (!AppendCsvField(line, CutTitle(grid, column), convert)) return outcome;
    }
    if (!line.Append(kLineEnd, 2) || !WriteLine(*file, line)) {
        outcome.write_failed = true;
        return outcome;
    }

    outcome.ok = true;
    WriteRows(grid, *file, columns, line, convert, true, outcome, progress);
    return outcome;
}

ExportOutcome ExportDbase(GridModel& grid, ByteSink* file, bool convert, const ExportDate& today,
                          WorkProgress* progress) {
    ExportOutcome outcome;
    if (file == nullptr) return outcome;
    ComputeCharWidths(grid);
    const std::vector<int> columns = VisibleColumns(grid);
    ItemList record(kLineRoom, kLineRoom);
    if (record.Capacity() == 0) return outcome;
    outcome.ok = true;
    if (columns.empty()) return outcome;

    std::vector<int> field_lengths;
    int record_length = 1;
    if (!DbaseFieldLengths(grid, columns, field_lengths, record_length)) {
        // A wrapped length would make every reader misread the file: nothing is written.
        outcome.ok = false;
        outcome.too_wide = true;
        return outcome;
    }
    const std::size_t header_length = kDbaseHeaderSize + kDbaseDescriptorSize * columns.size() + 1;

    std::uint8_t header[kDbaseHeaderSize] = {};
    header[0] = kDbaseVersion;
    header[1] = static_cast<std::uint8_t>(today.year - 1900);
    header[2] = static_cast<std::uint8_t>(today.month);
    header[3] = static_cast<std::uint8_t>(today.day);
    WriteUint16(header + 8, static_cast<std::uint16_t>(header_length));
    WriteUint16(header + 10, static_cast<std::uint16_t>(record_length));
    // Readers take the code page from this byte; the DOS table has no id of its own, so a DOS
    // file leaves it 0 (unknown) as files always had it.
    if (!convert) header[kDbaseLanguageDriverOffset] = kDbaseWindowsCyrillic;
    bool written = file->Write(header, sizeof header) == sizeof header;

    for (std::size_t c = 0; written && c < columns.size(); ++c) {
        std::uint8_t descriptor[kDbaseDescriptorSize] = {};
        char name[24];
        std::snprintf(name, sizeof name, "FIELD%03d", columns[c] + 1);
        std::memcpy(descriptor, name, std::min<std::size_t>(std::strlen(name), 11));
        descriptor[11] = 'C';
        descriptor[16] = static_cast<std::uint8_t>(field_lengths[c]);
        written = file->Write(descriptor, sizeof descriptor) == sizeof descriptor;
    }
    if (written) written = file->Write(&kDbaseHeaderEnd, 1) == 1;
    if (!written) {
        outcome.write_failed = true;
        return outcome;
    }

    char text[kCellTextLimit + 1];
    std::uint32_t records = 0;
    const int count = grid.LineCount();
    const std::int64_t total = RowsToWrite(grid, progress);
    for (int i = 0; i < count; ++i) {
        const LayoutLine row = grid.Line(i);
        if (row.kind != LineKind::DataRow) continue;
        outcome.rows = records;
        if (!KeepWriting(progress, outcome, total)) break;
        record.MakeEmpty();
        if (!record.Append(nullptr, record_length)) {
            outcome.write_failed = true;
            break;
        }
        char* bytes = reinterpret_cast<char*>(record.Data());
        std::memset(bytes, ' ', static_cast<std::size_t>(record_length));
        bytes[0] = static_cast<char>(kDbaseLiveRecord);
        int offset = 1;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const int length = std::min(grid.CellText(row, columns[c], text), field_lengths[c]);
            std::memcpy(bytes + offset, text, static_cast<std::size_t>(length));
            if (convert) ToDosCyrillic(bytes + offset, static_cast<std::size_t>(length));
            BlankControlBytes(bytes + offset, static_cast<std::size_t>(length));
            offset += field_lengths[c];
        }
        if (!WriteLine(*file, record)) {
            outcome.write_failed = true;
            break;
        }
        ++records;
    }
    outcome.rows = records;

    std::uint8_t count_bytes[4];
    WriteUint32(count_bytes, records);
    if (!file->Seek(4) || file->Write(count_bytes, sizeof count_bytes) != sizeof count_bytes) {
        outcome.write_failed = true;
    }
    return outcome;
}

ExportOutcome ExportTable(GridModel& grid, ByteSink* file, int format, int code_table,
                          const ExportDate& today, WorkProgress* progress) {
    const bool convert = code_table != kExportWindowsCodeTable;
    switch (format) {
        case kExportTabSeparated:
            return ExportTabSeparated(grid, file, convert, progress);
        case kExportDbase:
            return ExportDbase(grid, file, convert, today, progress);
        case kExportCsv:
            return ExportCsv(grid, file, convert, progress);
        default:
            return ExportPlainText(grid, file, convert, progress);
    }
}
