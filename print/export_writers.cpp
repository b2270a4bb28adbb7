// Export writers: each line (or dBase record) is assembled in a byte list and written at once.
#include "print/export_writers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "grid/char_render.h"
#include "grid/data_row_run.h"
#include "grid/sum_line_render.h"
#include "print/dos_cyrillic.h"
#include "render/control_bytes.h"
#include "base/byte_order.h"
#include "print/line_block_writer.h"
#include "print/ordered_batches.h"
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

// What every byte of a title or cell becomes in the file, looked up once per byte instead of
// converting and blanking in separate passes. Control bytes are blanked because a TAB, CR or LF
// of a cell would split a tab-separated record, and no output may carry a form feed or an ESC
// sequence from a cell to a printer. CSV keeps CR and LF: its quotes hold them.
struct ByteTable {
    unsigned char to[256];
    bool needs_quotes[256];  // CSV: the written byte is the separator, a quote or a line break
};

ByteTable MakeByteTable(bool convert, bool keep_line_breaks) {
    ByteTable table{};
    for (int c = 0; c < 256; ++c) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (convert) byte = DosCyrillicByte(byte);
        const bool line_break = byte == '\r' || byte == '\n';
        if (IsControlByte(byte) && !(keep_line_breaks && line_break)) byte = ' ';
        table.to[c] = byte;
        table.needs_quotes[c] = byte == ';' || byte == '"' || byte == '\r' || byte == '\n';
    }
    return table;
}

void Translate(const ByteTable& table, const char* text, std::size_t count, char* out) {
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = static_cast<char>(table.to[static_cast<unsigned char>(text[i])]);
    }
}

// Appends `count` bytes through the table; false when the block cannot grow.
bool AppendText(LineBlockWriter& out, const ByteTable& table, const char* text, std::size_t count) {
    char* room = out.Room(count);
    if (room == nullptr) return false;
    Translate(table, text, count, room);
    out.Commit(count);
    return true;
}

std::string_view CutTitle(const GridModel& grid, int column) {
    const std::string_view title = grid.ColumnTitleText(column);
    return title.substr(0, std::min(title.size(), kTitleLimit));
}

// A CSV field followed by the separator. A field holding the separator, a quote or a line
// break is quoted with its quotes doubled, so that a reader splits the line where we did. The
// decision is made on the bytes written: the DOS table turns the typographic quotes into '"'.
bool AppendCsvField(LineBlockWriter& out, const ByteTable& table, std::string_view text) {
    // Room for the translated bytes and, behind them, the quoted field in the worst case: every
    // byte a doubled quote, two quotes around and the separator.
    char* room = out.Room(text.size() + 2 * text.size() + 3);
    if (room == nullptr) return false;
    bool quoted_field = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        room[i] = static_cast<char>(table.to[byte]);
        quoted_field |= table.needs_quotes[byte];
    }
    const std::string_view field(room, text.size());
    if (!quoted_field) {
        room[text.size()] = ';';
        out.Commit(text.size() + 1);
        return true;
    }
    // Quoted: built behind the translated bytes, then moved to the front.
    char* quoted = room + text.size();
    std::size_t length = 0;
    quoted[length++] = '"';
    for (char byte : field) {
        quoted[length++] = byte;
        if (byte == '"') quoted[length++] = '"';
    }
    quoted[length++] = '"';
    quoted[length++] = ';';
    std::memmove(room, quoted, length);
    out.Commit(length);
    return true;
}

// The text of every visible column of a data line, joined by TAB (or each followed by ";"
// for CSV).
bool AppendRow(const GridModel& grid, const LayoutLine& row, const std::vector<int>& columns, LineBlockWriter& out,
               const ByteTable& table, bool csv) {
    char text[kCellTextLimit + 1];
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const int length = grid.CellText(row, columns[c], text);
        const std::string_view cell(text, static_cast<std::size_t>(length));
        if (csv) {
            if (!AppendCsvField(out, table, cell)) return false;
        } else {
            if (c > 0 && !out.Append("\t", 1)) return false;
            if (!AppendText(out, table, cell.data(), cell.size())) return false;
        }
    }
    return out.Append(kLineEnd, 2);
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

// Before a block of rows (`done` rows assembled so far): false (and `cancelled`) when the
// progress says stop. The rows before that point are still flushed whole.
bool KeepWriting(WorkProgress* progress, std::int64_t done, std::int64_t total, ExportOutcome& outcome) {
    if (KeepGoingAtBlock(progress, done, total)) return true;
    outcome.cancelled = true;
    return false;
}

// About this many bytes of output in a batch of rows made on another thread: few enough batches
// that handing them over costs nothing, and few rows waiting in memory.
constexpr std::size_t kBatchBytes = std::size_t{16} << 20;

// Layout lines in a batch whose lines take at most `line_bytes` each.
std::size_t LinesPerBatch(std::size_t line_bytes) {
    return std::clamp<std::size_t>(kBatchBytes / std::max<std::size_t>(line_bytes, 1), 16, 8192);
}

// Runs `make_lines(first, end, lines)` for the layout lines [first, end) of each batch on
// `threads` threads and writes the batches to `out` in order; `make_lines` returns false when
// a line could not be made whole (it has ended or dropped it), which ends the export after the
// lines before. Before each batch the progress may stop the writer. False when no thread could
// be had: nothing was written.
template <typename MakeLines>
bool WriteLineRunsApart(const GridModel& grid, LineBlockWriter& out, std::size_t line_bytes, int threads,
                        WorkProgress* progress, ExportOutcome& outcome, MakeLines make_lines) {
    const std::size_t count = static_cast<std::size_t>(std::max(grid.LineCount(), 0));
    const std::size_t per_batch = LinesPerBatch(line_bytes);
    const std::int64_t total = RowsToWrite(grid, progress);
    std::int64_t done = 0;
    bool whole = true;
    const bool ran = RunOrderedBatches(
        (count + per_batch - 1) / per_batch, threads,
        [&](std::size_t batch, LineBlockWriter& lines) {
            return make_lines(static_cast<int>(batch * per_batch),
                              static_cast<int>(std::min(count, (batch + 1) * per_batch)), lines);
        },
        [&](std::size_t, const LineBlockWriter& lines, bool batch_whole) {
            if (progress != nullptr && !progress->KeepGoing(done, total)) {
                outcome.cancelled = true;
                return false;
            }
            if (!out.AppendLinesOf(lines)) {
                whole = false;
                return false;
            }
            done += static_cast<std::int64_t>(lines.CountedLinesHeld());
            whole = batch_whole;
            return true;
        });
    if (!ran) return false;
    if (!out.Flush() || !whole) outcome.write_failed = true;
    outcome.rows = out.RowsWritten();
    return true;
}

// The same with `make_line(index, lines)` run for each layout line of a batch in turn.
template <typename MakeLine>
bool WriteLinesApart(const GridModel& grid, LineBlockWriter& out, std::size_t line_bytes, int threads,
                     WorkProgress* progress, ExportOutcome& outcome, MakeLine make_line) {
    return WriteLineRunsApart(grid, out, line_bytes, threads, progress, outcome,
                              [&](int first, int end, LineBlockWriter& lines) {
                                  for (int i = first; i < end; ++i) {
                                      if (!make_line(i, lines)) return false;
                                  }
                                  return true;
                              });
}

// Writes one line per DataRow line of the layout until a write fails or the progress stops it,
// then what is left.
void WriteRows(const GridModel& grid, LineBlockWriter& out, const std::vector<int>& columns, const ByteTable& table,
               bool csv, ExportOutcome& outcome, WorkProgress* progress, int threads) {
    // A quoted CSV field may take three bytes for each of its 255.
    const std::size_t longest_line = columns.size() * (csv ? 3 * kCellTextLimit + 3 : kCellTextLimit + 1) + 2;
    if (ExportRowsMadeApart(grid, threads) &&
        WriteLinesApart(grid, out, longest_line, threads, progress, outcome, [&](int i, LineBlockWriter& lines) {
            const LayoutLine row = grid.Line(i);
            if (row.kind != LineKind::DataRow) return true;
            if (!AppendRow(grid, row, columns, lines, table, csv)) {
                lines.DropLine();
                return false;
            }
            lines.EndLine(true);
            return true;
        })) {
        return;
    }
    const int count = grid.LineCount();
    const std::int64_t total = RowsToWrite(grid, progress);
    std::int64_t done = 0;
    bool assembled = true;
    for (int i = 0; i < count && assembled; ++i) {
        const LayoutLine row = grid.Line(i);
        if (row.kind != LineKind::DataRow) continue;
        if (!KeepWriting(progress, done, total, outcome)) break;
        assembled = AppendRow(grid, row, columns, out, table, csv);
        if (!assembled) {
            // A row that cannot be assembled whole is not written and ends the export.
            out.DropLine();
            break;
        }
        if (!out.EndLine(true)) break;
        ++done;
    }
    if (!out.Flush() || !assembled) outcome.write_failed = true;
    outcome.rows = out.RowsWritten();
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

namespace {

// Makes `count` data rows in one go at the end of the gathering writer `lines`, each a counted
// line of its own, as the rows made one by one would be; `bytes` is the sum of their Bytes.
// False, with nothing kept, when `lines` cannot grow.
bool AppendDataRowRun(DataRowRun& run, const LayoutLine* rows, int count, std::size_t bytes, bool convert,
                      LineBlockWriter& lines) {
    char* room = lines.Room(bytes);
    if (room == nullptr) return false;
    run.Render(rows, count, room);
    if (convert) ToDosCyrillic(room, bytes);
    for (int k = 0; k < count; ++k) {
        lines.Commit(run.Bytes(rows[k]));
        lines.EndLine(true);  // a gathering writer never writes here
    }
    return true;
}

}  // namespace

ExportOutcome ExportPlainText(GridModel& grid, ByteSink* file, bool convert, WorkProgress* progress, int threads) {
    ExportOutcome outcome;
    if (file == nullptr) return outcome;
    ComputeCharWidths(grid);
    WidenCharWidthsToSums(grid);
    const int width = TextPageWidth(grid);
    ItemList line(kLineRoom, kLineRoom);
    LineBlockWriter out(*file);
    if (line.Capacity() == 0 || !out.Ready()) return outcome;
    outcome.ok = true;
    // One layout line into `lines`: false when it could not be rendered or kept whole, which
    // ends the export (a line rendered only in part is still written).
    const auto write_line = [&](const LayoutLine& layout_line, ItemList& rendered_line, BoxLineCache& boxes,
                                LineBlockWriter& lines) {
        rendered_line.MakeEmpty();
        const bool rendered = RenderLayoutLine(grid, layout_line, rendered_line, width, 0, &boxes);
        if (convert) ToDosCyrillic(rendered_line.Data(), static_cast<std::size_t>(rendered_line.Size()));
        const bool kept = lines.Append(rendered_line.Data(), static_cast<std::size_t>(rendered_line.Size()));
        if (!kept) lines.DropLine();
        const bool ended = lines.EndLine(kept && rendered && layout_line.kind == LineKind::DataRow);
        return ended && kept && rendered;
    };
    // A data row takes at most a rule above, its line and a rule below.
    const std::size_t longest_line = 3 * (static_cast<std::size_t>(std::max(width, 0)) + 2);
    // The data rows of a batch are made in runs (DataRowRun); any other line, or a run that
    // finds no room, goes line by line.
    const auto write_lines = [&](int first, int end, LineBlockWriter& lines) {
        ItemList rendered_line(kLineRoom, kLineRoom);
        if (rendered_line.Capacity() == 0) return false;
        BoxLineCache boxes;
        DataRowRun run(grid, width, 0);
        // Room for the batch at once, at the size of its first data row (the data rows of a
        // table are alike): grown line by line, the gathered lines would be copied into fresh
        // memory again and again. Without the room the lines still grow as they come.
        for (int i = first; run.Ready() && i < std::min(end, first + 64); ++i) {
            const LayoutLine row = grid.Line(i);
            if (row.kind != LineKind::DataRow) continue;
            lines.Room(static_cast<std::size_t>(end - first) * run.Bytes(row));
            break;
        }
        LayoutLine rows[DataRowRun::kMostLines];
        for (int i = first; i < end;) {
            int count = 0;
            std::size_t bytes = 0;
            for (; run.Ready() && i + count < end && count < DataRowRun::kMostLines; ++count) {
                rows[count] = grid.Line(i + count);
                if (rows[count].kind != LineKind::DataRow) break;
                bytes += run.Bytes(rows[count]);
            }
            if (count > 0 && AppendDataRowRun(run, rows, count, bytes, convert, lines)) {
                i += count;
                continue;
            }
            // A line that is no data row, or a run that found no room: line by line.
            const int last = i + std::max(count, 1);
            for (; i < last; ++i) {
                if (!write_line(grid.Line(i), rendered_line, boxes, lines)) return false;
            }
        }
        return true;
    };
    if (ExportRowsMadeApart(grid, threads) &&
        WriteLineRunsApart(grid, out, longest_line, threads, progress, outcome, write_lines)) {
        return outcome;
    }
    const int count = grid.LineCount();
    const std::int64_t total = RowsToWrite(grid, progress);
    std::int64_t done = 0;
    BoxLineCache boxes;
    for (int i = 0; i < count; ++i) {
        const LayoutLine layout_line = grid.Line(i);
        if (layout_line.kind == LineKind::DataRow && !KeepWriting(progress, done, total, outcome)) break;
        if (!write_line(layout_line, line, boxes, out)) {
            outcome.write_failed = true;
            break;
        }
        if (layout_line.kind == LineKind::DataRow) ++done;
    }
    if (!out.Flush()) outcome.write_failed = true;
    outcome.rows = out.RowsWritten();
    return outcome;
}

ExportOutcome ExportTabSeparated(GridModel& grid, ByteSink* file, bool convert, WorkProgress* progress, int threads) {
    ExportOutcome outcome;
    if (file == nullptr) return outcome;
    LineBlockWriter out(*file);
    if (!out.Ready()) return outcome;
    const std::vector<int> columns = VisibleColumns(grid);
    const ByteTable table = MakeByteTable(convert, false);

    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (!out.Append("\t", 1)) return outcome;
    }
    if (!out.Append(kLineEnd, 2)) return outcome;
    out.EndLine(false);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const std::string_view title = CutTitle(grid, columns[c]);
        if ((c > 0 && !out.Append("\t", 1)) || !AppendText(out, table, title.data(), title.size())) {
            out.DropLine();
            out.Flush();
            return outcome;
        }
    }
    if (!out.Append("\r\n\r\n", 4)) {
        out.DropLine();
        out.Flush();
        return outcome;
    }
    out.EndLine(false);
    // The opening lines go out by themselves: a file that cannot take them is no export at all.
    if (!out.Flush()) {
        outcome.write_failed = true;
        return outcome;
    }

    outcome.ok = true;
    WriteRows(grid, out, columns, table, false, outcome, progress, threads);
    return outcome;
}

ExportOutcome ExportCsv(GridModel& grid, ByteSink* file, bool convert, WorkProgress* progress, int threads) {
    ExportOutcome outcome;
    if (file == nullptr) return outcome;
    LineBlockWriter out(*file);
    if (!out.Ready()) return outcome;
    const std::vector<int> columns = VisibleColumns(grid);
    const ByteTable table = MakeByteTable(convert, true);

    for (int column : columns) {
        if (!AppendCsvField(out, table, CutTitle(grid, column))) return outcome;
    }
    if (!out.Append(kLineEnd, 2)) return outcome;
    out.EndLine(false);
    if (!out.Flush()) {
        outcome.write_failed = true;
        return outcome;
    }

    outcome.ok = true;
    WriteRows(grid, out, columns, table, true, outcome, progress, threads);
    return outcome;
}

ExportOutcome ExportDbase(GridModel& grid, ByteSink* file, bool convert, const ExportDate& today,
                          WorkProgress* progress, int threads) {
    ComputeCharWidths(grid);
    return ExportDbaseAtCharWidths(grid, file, convert, today, progress, threads);
}

ExportOutcome ExportDbaseAtCharWidths(GridModel& grid, ByteSink* file, bool convert, const ExportDate& today,
                                      WorkProgress* progress, int threads) {
    ExportOutcome outcome;
    if (file == nullptr) return outcome;
    const std::vector<int> columns = VisibleColumns(grid);
    LineBlockWriter out(*file);
    if (!out.Ready()) return outcome;
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
    bool written = out.Append(header, sizeof header);

    for (std::size_t c = 0; written && c < columns.size(); ++c) {
        std::uint8_t descriptor[kDbaseDescriptorSize] = {};
        char name[24];
        std::snprintf(name, sizeof name, "FIELD%03d", columns[c] + 1);
        std::memcpy(descriptor, name, std::min<std::size_t>(std::strlen(name), 11));
        descriptor[11] = 'C';
        descriptor[16] = static_cast<std::uint8_t>(field_lengths[c]);
        written = out.Append(descriptor, sizeof descriptor);
    }
    if (written) written = out.Append(&kDbaseHeaderEnd, 1);
    // The header goes out by itself: without it no record count can be set right.
    if (!written) out.DropLine();
    if (!out.EndLine(false) || !out.Flush() || !written) {
        outcome.write_failed = true;
        return outcome;
    }

    const ByteTable table = MakeByteTable(convert, false);
    const std::size_t size_of_record = static_cast<std::size_t>(record_length);
    // One record of a data row at the end of `lines`; false when the block cannot grow.
    const auto append_record = [&](const LayoutLine& row, LineBlockWriter& lines) {
        char* bytes = lines.Room(size_of_record);
        if (bytes == nullptr) return false;
        std::memset(bytes, ' ', size_of_record);
        bytes[0] = static_cast<char>(kDbaseLiveRecord);
        char text[kCellTextLimit + 1];
        std::size_t offset = 1;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const int length = std::min(grid.CellText(row, columns[c], text), field_lengths[c]);
            Translate(table, text, static_cast<std::size_t>(length), bytes + offset);
            offset += static_cast<std::size_t>(field_lengths[c]);
        }
        lines.Commit(size_of_record);
        return true;
    };
    const bool apart = ExportRowsMadeApart(grid, threads) &&
                       WriteLinesApart(grid, out, size_of_record, threads, progress, outcome,
                                       [&](int i, LineBlockWriter& lines) {
                                           const LayoutLine row = grid.Line(i);
                                           if (row.kind != LineKind::DataRow) return true;
                                           if (!append_record(row, lines)) return false;
                                           lines.EndLine(true);
                                           return true;
                                       });
    const int count = apart ? 0 : grid.LineCount();
    const std::int64_t total = RowsToWrite(grid, progress);
    std::int64_t done = 0;
    for (int i = 0; i < count; ++i) {
        const LayoutLine row = grid.Line(i);
        if (row.kind != LineKind::DataRow) continue;
        if (!KeepWriting(progress, done, total, outcome)) break;
        if (!append_record(row, out)) {
            outcome.write_failed = true;
            break;
        }
        if (!out.EndLine(true)) break;
        ++done;
    }
    if (!apart && !out.Flush()) outcome.write_failed = true;
    const std::uint32_t records = static_cast<std::uint32_t>(out.RowsWritten());
    outcome.rows = records;

    std::uint8_t count_bytes[4];
    WriteUint32(count_bytes, records);
    if (!file->Seek(4) || file->Write(count_bytes, sizeof count_bytes) != sizeof count_bytes) {
        outcome.write_failed = true;
    }
    return outcome;
}

ExportOutcome ExportTable(GridModel& grid, ByteSink* file, int format, int code_table,
                          const ExportDate& today, WorkProgress* progress, int threads) {
    const bool convert = code_table != kExportWindowsCodeTable;
    switch (format) {
        case kExportTabSeparated:
            return ExportTabSeparated(grid, file, convert, progress, threads);
        case kExportDbase:
            return ExportDbase(grid, file, convert, today, progress, threads);
        case kExportCsv:
            return ExportCsv(grid, file, convert, progress, threads);
        default:
            return ExportPlainText(grid, file, convert, progress, threads);
    }
}

bool ExportRowsMadeApart(const GridModel& grid, int threads) {
    if (threads < 2) return false;
    // Sum lines add up the rows before them: they are made where the rows are, in order.
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        const GridColumn* column = grid.Column(i);
        if (column != nullptr && (column->flags & ColumnFlags::Visible) && (column->flags & ColumnFlags::Sum)) {
            return false;
        }
    }
    return true;
}
