// Reads the table part of a data file into a new store, block by block. Lines end with CR LF
// or a lone CR.
#include "formats/data_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "base/byte_search.h"
#include "formats/key_search.h"

namespace {

constexpr std::int16_t kFirstColumnIdentifier = 11;
// The file is read in blocks of this size.
constexpr std::size_t kReadBlockSize = std::size_t{1} << 20;

// Section keys count only at the start of a data-file line.
std::size_t FindSectionKey(std::string_view text, std::string_view key, std::size_t begin = 0,
                           std::size_t end = kNotFound) {
    return FindKeyAtLineStart(text, key, LineEnds::CarriageReturn, begin, end);
}

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// First CR in text[from, end), or end.
std::size_t FindCarriageReturn(std::string_view text, std::size_t from, std::size_t end) {
    const std::size_t at = FindByte(text, '\r', from);
    return at == std::string_view::npos || at >= end ? end : at;
}

// Start of the line after the one holding `key_at`: past its CR and an LF that follows.
std::size_t NextLineStart(std::string_view text, std::size_t key_at, std::size_t end) {
    std::size_t at = FindCarriageReturn(text, key_at, end);
    if (at == end) return end;
    ++at;
    if (at < text.size() && text[at] == '\n') ++at;
    return at;
}

std::string_view TrimLineEnds(std::string_view text) {
    while (!text.empty() && IsLineEnd(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsLineEnd(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return text;
}

// Calls `piece` for each TAB-separated piece with its index; stops when it returns false.
template <typename Function>
void ForEachPiece(std::string_view line, Function piece) {
    std::size_t index = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = FindByte(line, '\t', start);
        const std::size_t end = tab == std::string_view::npos ? line.size() : tab;
        if (!piece(index++, line.substr(start, end - start))) return;
        if (tab == std::string_view::npos) return;
        start = tab + 1;
    }
}

std::uint8_t ColumnTypeOf(std::string_view piece) {
    struct Prefix {
        const char* word;
        std::uint8_t type;
    };
    static const Prefix kPrefixes[] = {
        {"Number", kNumberColumn}, {"Date", kDateColumn},
        {"Time", kTimeColumn},     {"Picture", kPictureColumn},
    };
    for (const Prefix& prefix : kPrefixes) {
        const std::size_t length = std::strlen(prefix.word);
        if (piece.size() >= length && FindKey(piece.substr(0, length), prefix.word) == 0) {
            return prefix.type;
        }
    }
    return kTextColumn;
}

// False when the store could not take a column (it ran out of memory).
bool AddColumns(std::string_view text, std::size_t begin, std::size_t end, TableStore& store) {
    std::string_view line = TrimLineEnds(text.substr(begin, end - begin));
    line = line.substr(0, std::min(line.size(), FindByte(line, '\r')));
    if (line.empty()) return true;
    if (line.back() == '\t') line.remove_suffix(1);  // a final TAB adds no column
    bool stored = true;
    ForEachPiece(line, [&](std::size_t index, std::string_view piece) {
        const std::string name(piece.substr(0, 32));
        const auto identifier = static_cast<std::int16_t>(kFirstColumnIdentifier + index);
        stored = store.PutColumn(MakeStoreColumn(identifier, kTextColumn, name.c_str()));
        return stored && index + 1 < static_cast<std::size_t>(TableStore::kMostColumns);
    });
    return stored;
}

void SetColumnTypes(std::string_view text, std::size_t end, TableStore& store) {
    const std::size_t key = FindSectionKey(text, "Types:", 0, end);
    if (key == kNotFound) return;
    const std::size_t begin = NextLineStart(text, key, end);
    if (begin >= end) return;
    const std::string_view line = TrimLineEnds(text.substr(begin, end - begin));
    ForEachPiece(line, [&](std::size_t index, std::string_view piece) {
        StoreColumn column;
        if (index >= static_cast<std::size_t>(store.CountColumns()) ||
            !store.GetColumn(static_cast<int>(index), column)) {
            return false;
        }
        column.type = ColumnTypeOf(piece);
        store.SetColumn(static_cast<int>(index), column);
        return true;
    });
}

// Collects the cells of one data line into `cells`, keeping the row's record (7 bytes, and 3
// more than its length for each cell) within kRowBufferSize bytes; true when a cell of one of
// the table's columns did not fit. Identifiers rise along the line, so every cell is a new
// field. Cells past the table's columns are kept while they fit, but losing them loses nothing
// the user could see.
bool CollectCells(std::string_view line, std::vector<StoreCell>& cells, std::size_t column_count) {
    cells.clear();
    std::size_t length = TableStore::kEmptyRecordSize;
    bool cut = false;
    ForEachPiece(line, [&](std::size_t index, std::string_view piece) {
        // Identifiers past the 16-bit range could never belong to a column.
        if (kFirstColumnIdentifier + index > INT16_MAX) return false;
        piece = TrimSpaces(piece).substr(0, TableStore::kLongestCell);
        if (piece.empty()) return true;
        if (length + 3 + piece.size() > kRowBufferSize) {
            if (index < column_count) cut = true;
            // Once not even a one-byte cell fits, the rest of the line can change nothing more:
            // this piece has decided whether the row was cut, and later ones come later still.
            return length + 4 <= kRowBufferSize;
        }
        length += 3 + piece.size();
        cells.push_back({static_cast<std::int16_t>(kFirstColumnIdentifier + index), piece.size(),
                         piece.data()});
        return true;
    });
    return cut;
}

// Splits the rows part of a data file, fed block by block, into lines. A line ends at a CR; an
// LF right after the CR belongs to the line break, any other LF to the line. Line breaks at the
// very end of the file make no rows, so lines of nothing but LFs are held back until a line with
// other bytes follows them, and dropped at the end.
class DataLineSplitter {
public:
    template <typename RowFunction>
    void Feed(std::string_view bytes, RowFunction& row) {
        std::size_t at = 0;
        if (after_carriage_return_ && !bytes.empty()) {
            if (bytes.front() == '\n') at = 1;
            after_carriage_return_ = false;
        }
        while (at < bytes.size()) {
            const std::size_t line_end = FindByte(bytes, '\r', at);
            if (line_end == std::string_view::npos) {
                partial_.append(bytes.substr(at));
                return;
            }
            if (partial_.empty()) {
                EndLine(bytes.substr(at, line_end - at), row);
            } else {
                partial_.append(bytes.substr(at, line_end - at));
                EndLine(partial_, row);
                partial_.clear();
            }
            at = line_end + 1;
            if (at == bytes.size()) after_carriage_return_ = true;
            else if (bytes[at] == '\n') ++at;
        }
    }

    // The last line has no CR after it; the LFs it ends with are line breaks at the file's end.
    template <typename RowFunction>
    void Finish(RowFunction& row) {
        std::string_view last = partial_;
        while (!last.empty() && last.back() == '\n') last.remove_suffix(1);
        if (!last.empty()) {
            ReleaseHeld(row);
            row(last);
        }
        partial_.clear();
        held_.clear();
        held_empty_lines_ = 0;
    }

    // Lines that end the first half of a file split in two are rows only when the second half
    // has a row: they are handed over then.
    template <typename RowFunction>
    void ReleaseHeldLines(RowFunction& row) {
        ReleaseHeld(row);
    }

private:
    template <typename RowFunction>
    void EndLine(std::string_view line, RowFunction& row) {
        if (line.empty()) {
            ++held_empty_lines_;
            return;
        }
        if (line.find_first_not_of('\n') == std::string_view::npos) {
            held_.append(static_cast<std::size_t>(held_empty_lines_), '\r');
            held_empty_lines_ = 0;
            held_.append(line);
            held_.push_back('\r');
            return;
        }
        ReleaseHeld(row);
        row(line);
    }

    template <typename RowFunction>
    void ReleaseHeld(RowFunction& row) {
        std::string_view held = held_;
        while (!held.empty()) {
            const std::size_t line_end = FindByte(held, '\r');
            row(held.substr(0, line_end));
            held.remove_prefix(line_end + 1);
        }
        held_.clear();
        for (; held_empty_lines_ != 0; --held_empty_lines_) row(std::string_view());
    }

    std::string partial_;  // the start of a line that the next block continues
    std::string held_;     // the held lines, each followed by a CR
    // Empty lines held after those: counted, so that a file of millions of them holds no copy.
    std::uint64_t held_empty_lines_ = 0;
    bool after_carriage_return_ = true;  // the rows start right after the "Data:" line's CR
};

// The rows go into the store when no one else keeps them.
class StoreRowReceiver : public DataRowReceiver {
public:
    explicit StoreRowReceiver(TableStore& store) : store_(store) {}
    bool TakeRow(const StoreCell* cells, std::size_t count) override { return store_.AddRowOfCells(cells, count); }

private:
    TableStore& store_;
};

// Builds each data line as a row and hands it on; `stored` turns false when it could not be
// kept (out of memory), so that no table is ever shown without some of its rows.
class RowAdder {
public:
    RowAdder(DataRowReceiver& rows, std::size_t column_count, std::uint32_t& cut_rows)
        : rows_(rows), column_count_(column_count), cut_rows_(cut_rows) {}

    void operator()(std::string_view line) {
        if (!stored) return;
        if (CollectCells(line, cells_, column_count_)) ++cut_rows_;
        stored = rows_.TakeRow(cells_.data(), cells_.size());
        ++lines;
    }

    bool stored = true;
    std::uint64_t lines = 0;  // the lines handed on as rows

private:
    DataRowReceiver& rows_;
    std::size_t column_count_;
    std::uint32_t& cut_rows_;
    std::vector<StoreCell> cells_;  // kept from line to line to spare an allocation per row
};

std::string_view TrimTrailingSpaces(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

void ReadHeaderAndFooter(std::string_view text, DataFileTable& table) {
    std::size_t titles = FindSectionKey(text, "Titles:");
    if (titles == kNotFound) titles = text.size();

    const std::size_t header_key = FindSectionKey(text, "Header:", 0, titles);
    if (header_key != kNotFound) {
        const std::size_t start = NextLineStart(text, header_key, titles);
        std::size_t end = FindSectionKey(text, "Footer:", start, titles);
        if (end == kNotFound) end = titles;
        std::string_view header = TrimTrailingSpaces(text.substr(start, end - start));
        if (header.size() >= 2 && header.substr(header.size() - 2) == "\r\n") header.remove_suffix(2);
        table.header.assign(header);
    }
    const std::size_t footer_key = FindSectionKey(text, "Footer:", 0, titles);
    if (footer_key != kNotFound) {
        const std::size_t start = NextLineStart(text, footer_key, titles);
        std::string_view footer = TrimTrailingSpaces(text.substr(start, titles - start));
        while (!footer.empty() && IsLineEnd(footer.back())) footer.remove_suffix(1);
        table.footer.assign(footer);
    }
}

std::string_view WithoutFinalLineBreaks(std::string_view file) {
    while (!file.empty() && IsLineEnd(file.back())) file.remove_suffix(1);
    return file;
}

// Reads blocks into `prefix` until it holds the "Data:" line's CR (or the whole file) and
// returns where that CR is (kNotFound when there is none), with `data_key` where "Data:" is.
// Each search starts at the last CR before the new bytes, so that no line start is missed and a
// file without "Data:" is still read in linear time.
std::size_t ReadUpToTheRows(const ReadBlockFunction& read_block, char* block, std::string& prefix,
                            std::size_t& data_key, bool& unreadable) {
    static constexpr std::string_view kDataKey = "Data:";
    data_key = kNotFound;
    std::size_t last_line_end = kNotFound;  // the last CR of the bytes searched so far
    std::size_t line_end_search_from = 0;
    for (;;) {
        const std::ptrdiff_t count = read_block(block, kReadBlockSize);
        if (count < 0 || static_cast<std::size_t>(count) > kReadBlockSize) {
            unreadable = true;
            return kNotFound;
        }
        if (count == 0) return kNotFound;
        const std::size_t old_size = prefix.size();
        prefix.append(block, static_cast<std::size_t>(count));
        if (data_key == kNotFound) {
            const std::size_t new_line_end = std::string_view(block, static_cast<std::size_t>(count)).rfind('\r');
            const std::size_t last_line_start = last_line_end == kNotFound ? 0 : last_line_end + 1;
            // Without a new line end, only a last line too short before to hold the key can.
            if (new_line_end != std::string_view::npos || last_line_start + kDataKey.size() + 1 > old_size) {
                data_key = FindSectionKey(prefix, kDataKey, last_line_end == kNotFound ? 0 : last_line_end);
            }
            if (new_line_end != std::string_view::npos) last_line_end = old_size + new_line_end;
            if (data_key == kNotFound) continue;
            line_end_search_from = data_key;
        }
        const std::size_t line_end = FindByte(prefix, '\r', line_end_search_from);
        if (line_end != std::string::npos) return line_end;
        line_end_search_from = prefix.size();
    }
}

// Where a file read at offsets is, for a reading of its rows in two halves.
struct HalvesReading {
    const ReadAtFunction& read_at;
    std::uint64_t file_size;
    std::uint64_t halves_from_bytes;
    const std::uint64_t& read_up_to;  // the bytes read in order so far, the head and `first_rows`
    DataRowReceiver& later_rows;
    std::uint32_t later_cut_rows = 0;
};

std::ptrdiff_t ReadAt(const ReadAtFunction& read_at, std::uint64_t offset, char* block) {
    const std::ptrdiff_t count = read_at(offset, block, kReadBlockSize);
    return count < 0 || static_cast<std::size_t>(count) > kReadBlockSize ? -1 : count;
}

// The first half: the rows from the start of the rows part up to and with the first CR at or
// after `middle` (where the second half starts), or to the end of the file when there is none.
// `split` tells which.
TableReadResult ReadFirstHalf(const HalvesReading& halves, std::string_view first_rows, std::uint64_t middle,
                              char* block, DataLineSplitter& lines, RowAdder& add_row, bool& split) {
    split = false;
    std::string_view bytes = first_rows;
    std::uint64_t offset = halves.read_up_to - first_rows.size();
    for (;;) {
        if (offset + bytes.size() > middle) {
            const std::size_t from = middle > offset ? static_cast<std::size_t>(middle - offset) : 0;
            const std::size_t line_end = FindByte(bytes, '\r', from);
            if (line_end != std::string_view::npos) {
                bytes = bytes.substr(0, line_end + 1);
                split = true;
            }
        }
        lines.Feed(bytes, add_row);
        if (!add_row.stored) return TableReadResult::OutOfMemory;
        if (split) return TableReadResult::Read;
        offset += bytes.size();
        const std::ptrdiff_t count = ReadAt(halves.read_at, offset, block);
        if (count < 0) return TableReadResult::Unreadable;
        if (count == 0) break;
        bytes = std::string_view(block, static_cast<std::size_t>(count));
    }
    lines.Finish(add_row);
    return add_row.stored ? TableReadResult::Read : TableReadResult::OutOfMemory;
}

// The second half: the rows after the first CR at or after `middle`, to the end of the file.
TableReadResult ReadSecondHalf(const HalvesReading& halves, std::uint64_t middle, DataLineSplitter& lines,
                               RowAdder& add_row) {
    std::unique_ptr<char[]> block(new (std::nothrow) char[kReadBlockSize]);
    if (block == nullptr) return TableReadResult::OutOfMemory;
    std::uint64_t offset = middle;
    bool started = false;
    for (;;) {
        const std::ptrdiff_t count = ReadAt(halves.read_at, offset, block.get());
        if (count < 0) return TableReadResult::Unreadable;
        if (count == 0) break;
        offset += static_cast<std::uint64_t>(count);
        std::string_view bytes(block.get(), static_cast<std::size_t>(count));
        if (!started) {
            const std::size_t line_end = FindByte(bytes, '\r');
            if (line_end == std::string_view::npos) continue;
            bytes.remove_prefix(line_end + 1);
            started = true;
        }
        lines.Feed(bytes, add_row);
        if (!add_row.stored) return TableReadResult::OutOfMemory;
    }
    lines.Finish(add_row);
    return add_row.stored ? TableReadResult::Read : TableReadResult::OutOfMemory;
}

// Reads the rows part in two halves at once, the second on a thread of its own (or after the
// first when no thread can be started), and hands over the lines that end the first half once
// the second is known to have rows. Unreadable or OutOfMemory in the first half wins, as it
// would have stopped a reading in order first.
TableReadResult ReadRowsInHalves(HalvesReading& halves, std::string_view first_rows, std::uint64_t middle, char* block,
                                 DataLineSplitter& lines, RowAdder& add_row, std::size_t column_count) {
    DataLineSplitter later_lines;
    RowAdder later_add_row(halves.later_rows, column_count, halves.later_cut_rows);
    TableReadResult later = TableReadResult::Read;
    const auto read_second_half = [&] {
        try {
            later = ReadSecondHalf(halves, middle, later_lines, later_add_row);
        } catch (const std::bad_alloc&) {
            later = TableReadResult::OutOfMemory;
        }
    };
    std::thread second;
    try {
        second = std::thread(read_second_half);
    } catch (const std::system_error&) {
    }
    bool split = false;
    TableReadResult first = TableReadResult::Read;
    try {
        first = ReadFirstHalf(halves, first_rows, middle, block, lines, add_row, split);
    } catch (const std::bad_alloc&) {
        first = TableReadResult::OutOfMemory;
    }
    if (second.joinable()) second.join();
    else read_second_half();
    if (first != TableReadResult::Read) return first;
    if (later != TableReadResult::Read) return later;
    if (split && later_add_row.lines != 0) {
        lines.ReleaseHeldLines(add_row);
        if (!add_row.stored) return TableReadResult::OutOfMemory;
    }
    return TableReadResult::Read;
}

// `rows` null: the rows go into the new store. `halves` set: the file is also read at offsets.
TableReadResult ReadDataFileBlocks(const ReadBlockFunction& read_block, std::string& head,
                                   DataFileTable& table, MillisecondClock clock,
                                   ReallocateFunction reallocate, DataRowReceiver* rows,
                                   HalvesReading* halves = nullptr) {
    std::unique_ptr<char[]> block(new (std::nothrow) char[kReadBlockSize]);
    if (block == nullptr) return TableReadResult::OutOfMemory;

    std::string prefix;
    std::size_t data_key = kNotFound;
    bool unreadable = false;
    const std::size_t data_line_end =
        ReadUpToTheRows(read_block, block.get(), prefix, data_key, unreadable);
    if (unreadable) return TableReadResult::Unreadable;

    // Everything but the rows is read from the text before them, as from the whole file.
    std::string_view text = prefix;
    std::string_view first_rows;
    if (data_line_end != kNotFound) {
        text = text.substr(0, data_line_end + 1);
        first_rows = std::string_view(prefix).substr(data_line_end + 1);
    } else {
        text = WithoutFinalLineBreaks(text);
    }
    head.assign(DescriptionHeadOf(text));
    const std::size_t data = data_key != kNotFound ? data_key : text.size();
    std::size_t titles = FindSectionKey(text, "Titles:", 0, data);
    if (titles == kNotFound) titles = data;
    const std::size_t titles_line = NextLineStart(text, titles, data);
    if (titles_line >= data) return TableReadResult::NoTitles;

    DataFileTable loaded;
    loaded.store = std::make_unique<TableStore>(std::move(clock), reallocate);
    if (!AddColumns(text, titles_line, data, *loaded.store)) return TableReadResult::OutOfMemory;
    SetColumnTypes(text, data, *loaded.store);

    if (data_line_end != kNotFound) {
        DataLineSplitter lines;
        StoreRowReceiver into_store(*loaded.store);
        const auto column_count = static_cast<std::size_t>(loaded.store->CountColumns());
        RowAdder add_row(rows != nullptr ? *rows : into_store, column_count, loaded.cut_rows);
        const std::uint64_t rows_start = data_line_end + 1;
        if (halves != nullptr && halves->file_size > rows_start &&
            halves->file_size - rows_start >= std::max<std::uint64_t>(halves->halves_from_bytes, 2)) {
            const std::uint64_t middle = rows_start + (halves->file_size - rows_start) / 2;
            const TableReadResult read =
                ReadRowsInHalves(*halves, first_rows, middle, block.get(), lines, add_row, column_count);
            if (read != TableReadResult::Read) return read;
            if (halves->later_cut_rows > UINT32_MAX - loaded.cut_rows) return TableReadResult::OutOfMemory;
            loaded.cut_rows += halves->later_cut_rows;
            prefix.resize(rows_start);
            ReadHeaderAndFooter(prefix, loaded);
            table = std::move(loaded);
            return TableReadResult::Read;
        }
        lines.Feed(first_rows, add_row);
        prefix.resize(data_line_end + 1);
        prefix.shrink_to_fit();
        text = prefix;
        for (;;) {
            if (!add_row.stored) return TableReadResult::OutOfMemory;
            const std::ptrdiff_t count = read_block(block.get(), kReadBlockSize);
            if (count < 0 || static_cast<std::size_t>(count) > kReadBlockSize)
                return TableReadResult::Unreadable;
            if (count == 0) break;
            lines.Feed(std::string_view(block.get(), static_cast<std::size_t>(count)), add_row);
        }
        lines.Finish(add_row);
        if (!add_row.stored) return TableReadResult::OutOfMemory;
    }
    ReadHeaderAndFooter(text, loaded);
    table = std::move(loaded);
    return TableReadResult::Read;
}

}  // namespace

std::string_view DescriptionHeadOf(std::string_view file) {
    file = WithoutFinalLineBreaks(file);
    const std::size_t data = FindSectionKey(file, "Data:");
    if (data == kNotFound) return file;
    const std::size_t titles = FindSectionKey(file, "Titles:", 0, data);
    return file.substr(0, titles == kNotFound ? data : titles);
}

TableReadResult ReadDataFileTable(std::string_view file, DataFileTable& table,
                                  MillisecondClock clock, ReallocateFunction reallocate,
                                  WorkProgress* progress) {
    std::size_t at = 0;
    const ReadBlockFunction read_block = [&](char* buffer, std::size_t capacity) {
        const std::size_t count = std::min(capacity, file.size() - at);
        std::memcpy(buffer, file.data() + at, count);
        at += count;
        return static_cast<std::ptrdiff_t>(count);
    };
    std::string head;
    return ReadDataFile(read_block, head, table, std::move(clock), reallocate, progress,
                        static_cast<std::int64_t>(file.size()));
}

TableReadResult ReadDataFile(const ReadBlockFunction& read_block, std::string& head,
                             DataFileTable& table, MillisecondClock clock,
                             ReallocateFunction reallocate, WorkProgress* progress,
                             std::int64_t file_size) {
    // The progress is asked before every block: the bytes read so far of the file's size.
    bool cancelled = false;
    std::int64_t bytes_read = 0;
    const ReadBlockFunction followed_read = [&](char* buffer, std::size_t capacity) -> std::ptrdiff_t {
        if (progress != nullptr && !progress->KeepGoing(bytes_read, std::max(file_size, bytes_read))) {
            cancelled = true;
            return -1;
        }
        const std::ptrdiff_t count = read_block(buffer, capacity);
        if (count > 0) bytes_read += count;
        return count;
    };
    try {
        const TableReadResult read = ReadDataFileBlocks(progress != nullptr ? followed_read : read_block, head,
                                                        table, std::move(clock), reallocate, nullptr);
        return cancelled ? TableReadResult::Cancelled : read;
    } catch (const std::bad_alloc&) {
        return TableReadResult::OutOfMemory;
    }
}

TableReadResult ReadDataFileRows(const ReadBlockFunction& read_block, std::string& head, DataFileTable& table,
                                 DataRowReceiver& rows) {
    try {
        return ReadDataFileBlocks(read_block, head, table, nullptr, nullptr, &rows);
    } catch (const std::bad_alloc&) {
        return TableReadResult::OutOfMemory;
    }
}

TableReadResult ReadDataFileRowsInHalves(const ReadAtFunction& read_at, std::uint64_t file_size, std::string& head,
                                         DataFileTable& table, DataRowReceiver& rows, DataRowReceiver& later_rows,
                                         std::uint64_t halves_from_bytes) {
    // The head is read in order as from any other reader; so are the rows of a short file.
    std::uint64_t read_up_to = 0;
    const ReadBlockFunction read_block = [&](char* buffer, std::size_t capacity) -> std::ptrdiff_t {
        const std::ptrdiff_t count = read_at(read_up_to, buffer, capacity);
        if (count > 0) read_up_to += static_cast<std::uint64_t>(count);
        return count;
    };
    HalvesReading halves{read_at, file_size, halves_from_bytes, read_up_to, later_rows};
    try {
        return ReadDataFileBlocks(read_block, head, table, nullptr, nullptr, &rows, &halves);
    } catch (const std::bad_alloc&) {
        return TableReadResult::OutOfMemory;
    }
}

std::string CutRowsWarning(const std::string& data_file, std::uint32_t cut_rows) {
    const std::string rows = cut_rows == 1 ? "1 row of " + data_file + " is"
                                           : std::to_string(cut_rows) + " rows of " + data_file + " are";
    return "warning: " + rows + " longer than " + std::to_string(kRowBufferSize) +
           " bytes; the cells at their ends that did not fit were left out";
}

std::string DataDirectoryOf(std::string_view file_name) {
    const std::size_t backslash = file_name.rfind('\\');
    return backslash == std::string_view::npos ? std::string() : std::string(file_name.substr(0, backslash));
}
