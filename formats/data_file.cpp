// Reads the table part of a data file into a new store. Lines end with CR LF or a lone CR.
#include "formats/data_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "formats/key_search.h"

namespace {

constexpr std::int16_t kFirstColumnIdentifier = 11;
// Rows are cut to no less than this when memory is short.
constexpr std::size_t kShortestRowLimit = 8192;

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
    const std::size_t at = text.find('\r', from);
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
        const std::size_t tab = line.find('\t', start);
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
    line = line.substr(0, std::min(line.size(), line.find('\r')));
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

// One data line built as a row record.
struct BuiltRow {
    std::size_t length;  // of the record
    bool cut;            // a cell of one of the table's columns did not fit
};

// Fills `row`, which holds an empty record, with the cells of one data line, keeping the record
// within `limit` bytes. Identifiers rise along the line, so every cell is a new field. Cells past
// the table's columns are kept while they fit, but losing them loses nothing the user could see.
BuiltRow FillRow(std::string_view line, std::uint8_t* row, std::size_t limit,
                 std::size_t column_count) {
    BuiltRow built{TableStore::kEmptyRecordSize, false};
    ForEachPiece(line, [&](std::size_t index, std::string_view piece) {
        // Identifiers past the 16-bit range could never belong to a column.
        if (kFirstColumnIdentifier + index > INT16_MAX) return false;
        piece = TrimSpaces(piece).substr(0, TableStore::kLongestCell);
        if (!piece.empty()) {
            const auto identifier = static_cast<std::int16_t>(kFirstColumnIdentifier + index);
            const std::size_t before = built.length;
            built.length = TableStore::AppendField(row, kRowBufferSize, built.length, identifier,
                                                   piece.data(), piece.size(), limit);
            if (built.length == before && index < column_count) built.cut = true;
        }
        return true;
    });
    return built;
}

// Calls `line` for each data line after the "Data:" line at `data_key`.
template <typename Function>
void ForEachDataLine(std::string_view text, std::size_t data_key, Function line) {
    const std::size_t end = text.size();
    std::size_t line_end = FindCarriageReturn(text, data_key, end);
    for (;;) {
        std::size_t start = line_end;
        if (start < end && text[start] == '\r') {
            ++start;
            if (start < end && text[start] == '\n') ++start;
        }
        if (start >= end) return;
        line_end = FindCarriageReturn(text, start, end);
        line(text.substr(start, line_end - start));
    }
}

// Whether the rows' pass `pass` (0 or 1) may go on at `line`: asked every block of rows.
bool KeepReading(WorkProgress* progress, std::string_view text, std::string_view line, int pass,
                 std::int64_t lines) {
    if (progress == nullptr || lines % kRowsPerProgressBlock != 0) return true;
    const auto size = static_cast<std::int64_t>(text.size());
    return progress->KeepGoing(pass * size + (line.data() - text.data()), 2 * size);
}

// Stores every data line as a row; false when the store could not take them all (out of
// memory), so that no table is ever shown without some of its rows, and when the progress said
// stop (`cancelled`). Counts the rows cut short.
bool AddRows(std::string_view text, std::size_t data_key, TableStore& store,
             std::uint32_t& cut_rows, WorkProgress* progress, bool& cancelled) {
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kRowBufferSize]);
    if (buffer == nullptr) return false;
    std::uint8_t* row = buffer.get();
    const auto column_count = static_cast<std::size_t>(store.CountColumns());
    // A first pass measures the rows, so the store takes its final slot size and block at once:
    // rows growing longer one after another would otherwise copy all earlier rows each time.
    std::uint8_t empty[TableStore::kEmptyRecordSize];
    store.BeginRow(empty, sizeof empty);
    std::uint32_t count = 0;
    std::size_t longest = 0;
    bool countable = true;
    std::int64_t lines = 0;
    ForEachDataLine(text, data_key, [&](std::string_view line) {
        if (cancelled || !KeepReading(progress, text, line, 0, lines++)) {
            cancelled = true;
            return;
        }
        std::memcpy(row, empty, sizeof empty);
        longest = std::max(longest, FillRow(line, row, kRowBufferSize, column_count).length);
        if (count == UINT32_MAX) countable = false;
        else ++count;
    });
    if (!countable || cancelled) return false;  // more rows than the store can number

    // Every slot is as long as the longest row, so one long row over many short ones can need
    // more memory than there is. Rather than lose rows, the longest rows are then cut (and
    // counted), down to the 8192 bytes that rows were always allowed. Without the reservation,
    // growing row by row would need more memory still before failing all the same.
    std::size_t limit = longest;
    while (!store.ReserveRows(count, limit)) {
        if (limit <= kShortestRowLimit) return false;
        limit = std::max(kShortestRowLimit, limit / 2);
    }
    bool stored = true;
    lines = 0;
    ForEachDataLine(text, data_key, [&](std::string_view line) {
        if (!stored) return;
        if (!KeepReading(progress, text, line, 1, lines++)) {
            cancelled = true;
            stored = false;
            return;
        }
        store.BeginRow(row, kRowBufferSize);
        if (FillRow(line, row, limit, column_count).cut) ++cut_rows;
        stored = store.AddRow(row, kRowBufferSize);
    });
    return stored;
}

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
    const std::string_view text = WithoutFinalLineBreaks(file);
    std::size_t data = FindSectionKey(text, "Data:");
    if (data == kNotFound) data = text.size();
    std::size_t titles = FindSectionKey(text, "Titles:", 0, data);
    if (titles == kNotFound) titles = data;
    const std::size_t titles_line = NextLineStart(text, titles, data);
    if (titles_line >= data) return TableReadResult::NoTitles;

    DataFileTable loaded;
    loaded.store = std::make_unique<TableStore>(std::move(clock), reallocate);
    if (!AddColumns(text, titles_line, data, *loaded.store)) return TableReadResult::OutOfMemory;
    SetColumnTypes(text, data, *loaded.store);
    bool cancelled = false;
    if (!AddRows(text, data, *loaded.store, loaded.cut_rows, progress, cancelled)) {
        return cancelled ? TableReadResult::Cancelled : TableReadResult::OutOfMemory;
    }
    ReadHeaderAndFooter(text, loaded);
    table = std::move(loaded);
    return TableReadResult::Read;
}

std::string DataDirectoryOf(std::string_view file_name) {
    const std::size_t backslash = file_name.rfind('\\');
    return backslash == std::string_view::npos ? std::string() : std::string(file_name.substr(0, backslash));
}
