// Fuzzes the data file readers: the description head, then titles, types and rows into a store.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "convert/row_table.h"
#include "grid/cell_text_source.h"
#include "formats/data_file.h"
#include "formats/description.h"

namespace {

class NoPrinters : public PrinterDirectory {
public:
    std::string DefaultPrinterName() override { return "PDF"; }
    void AdoptDriverPaper(PrintSettings&) override {}
};

// A memory of 64 MB: an input whose rows would need more must fail as a whole, not lose rows.
void* LimitedReallocate(void* block, std::size_t bytes) {
    return bytes > (std::size_t{64} << 20) ? nullptr : std::realloc(block, bytes);
}

void CheckTerminated(const char* text, std::size_t capacity) {
    if (strnlen(text, capacity) >= capacity) std::abort();
}

// The file read again in blocks of 1 to 64 bytes (the size taken from its last byte) must give
// what the whole read gave: the same result, head, header, footer, rows and cells.
void CheckReadInBlocks(std::string_view file, TableReadResult whole_read, const DataFileTable& whole) {
    const std::size_t block = file.empty() ? 1 : 1 + static_cast<unsigned char>(file.back()) % 64;
    std::size_t at = 0;
    std::string head;
    DataFileTable table;
    const TableReadResult read = ReadDataFile(
        [&](char* buffer, std::size_t capacity) {
            const std::size_t count = std::min({block, capacity, file.size() - at});
            std::memcpy(buffer, file.data() + at, count);
            at += count;
            return static_cast<std::ptrdiff_t>(count);
        },
        head, table, [] { return 321; }, LimitedReallocate);
    if (read != whole_read || head != DescriptionHeadOf(file)) std::abort();
    if (read != TableReadResult::Read) return;
    if (table.header != whole.header || table.footer != whole.footer) std::abort();
    if (table.cut_rows != whole.cut_rows) std::abort();
    if (table.store->CountRows() != whole.store->CountRows()) std::abort();
    for (std::uint32_t row = 0; row < table.store->CountRows(); ++row) {
        const StoreImageView split = table.store->RowRecord(row);
        const StoreImageView expected = whole.store->RowRecord(row);
        if (split.length != expected.length ||
            std::memcmp(split.bytes, expected.bytes, expected.length) != 0) {
            std::abort();
        }
    }
}

// The rows kept apart from the store, as the converter keeps them, must hold the store's cells.
void CheckRowsKeptApart(std::string_view file, TableReadResult whole_read, const DataFileTable& whole) {
    std::size_t at = 0;
    std::string head;
    DataFileTable columns;
    RowTable rows;
    const TableReadResult read = ReadDataFileRows(
        [&](char* buffer, std::size_t capacity) {
            const std::size_t count = std::min(capacity, file.size() - at);
            std::memcpy(buffer, file.data() + at, count);
            at += count;
            return static_cast<std::ptrdiff_t>(count);
        },
        head, columns, rows);
    // The store may run out of the fuzzer's memory where the rows alone do not.
    if (whole_read == TableReadResult::OutOfMemory) return;
    if (read != whole_read) std::abort();
    if (read != TableReadResult::Read) return;
    if (rows.RowCount() != whole.store->CountRows() || columns.cut_rows != whole.cut_rows) std::abort();
    if (columns.store->CountRows() != 0 || columns.store->CountColumns() != whole.store->CountColumns()) std::abort();
    char kept[256];
    std::uint8_t stored[256];
    for (std::uint32_t row = 0; row < rows.RowCount() && row < 64; ++row) {
        for (int identifier = 9; identifier < 11 + 70; ++identifier) {
            const int length = RowTable::FetchCell(&rows, static_cast<int>(row), identifier, kept, 255);
            const std::size_t expected =
                whole.store->GetCellText(row, static_cast<std::int16_t>(identifier), stored, 255);
            if (static_cast<std::size_t>(length) != expected || std::memcmp(kept, stored, expected) != 0) std::abort();
        }
    }
    // A column read of the first rows and one past them gives the same cells.
    std::uint32_t keys[66];
    const int count = static_cast<int>(std::min<std::uint32_t>(rows.RowCount(), 64)) + 1;
    for (int k = 0; k < count; ++k) keys[k] = static_cast<std::uint32_t>(k);
    keys[count - 1] = rows.RowCount();
    static char texts[66 * kCellTextStride];
    std::uint8_t lengths[66];
    for (int identifier = 9; identifier < 11 + 70; ++identifier) {
        RowTable::FetchColumn(&rows, identifier, keys, count, texts, lengths);
        for (int k = 0; k < count; ++k) {
            const std::size_t expected =
                whole.store->GetCellText(keys[k], static_cast<std::int16_t>(identifier), stored, 255);
            if (lengths[k] != expected || std::memcmp(texts + k * kCellTextStride, stored, expected) != 0) std::abort();
        }
    }
}

// The rows part read in two halves at once must give the rows of one reading in order, wherever
// its middle falls: the size the file is said to have (from its first byte) moves the middle.
void CheckRowsReadInHalves(std::string_view file) {
    const auto read_whole = [&, at = std::size_t{0}](char* buffer, std::size_t capacity) mutable {
        const std::size_t count = std::min(capacity, file.size() - at);
        std::memcpy(buffer, file.data() + at, count);
        at += count;
        return static_cast<std::ptrdiff_t>(count);
    };
    std::string expected_head;
    DataFileTable expected_columns;
    RowTable expected;
    const TableReadResult expected_read = ReadDataFileRows(read_whole, expected_head, expected_columns, expected);

    const ReadAtFunction read_at = [&](std::uint64_t offset, char* buffer, std::size_t capacity) {
        const std::size_t from = static_cast<std::size_t>(std::min<std::uint64_t>(offset, file.size()));
        const std::size_t count = std::min(capacity, file.size() - from);
        std::memcpy(buffer, file.data() + from, count);
        return static_cast<std::ptrdiff_t>(count);
    };
    const std::uint64_t said_size =
        file.empty() ? 0 : file.size() * (1 + static_cast<unsigned char>(file.front()) % 16) / 8;
    std::string head;
    DataFileTable columns;
    RowTable rows;
    RowTable later_rows;
    const TableReadResult read = ReadDataFileRowsInHalves(read_at, said_size, head, columns, rows, later_rows, 2);
    if (read != expected_read || head != expected_head) std::abort();
    if (read != TableReadResult::Read) return;
    if (!rows.AppendRows(later_rows) || later_rows.RowCount() != 0) std::abort();
    if (rows.RowCount() != expected.RowCount() || columns.cut_rows != expected_columns.cut_rows) std::abort();
    if (columns.header != expected_columns.header || columns.footer != expected_columns.footer) std::abort();
    char cell[256];
    char expected_cell[256];
    for (std::uint32_t row = 0; row < rows.RowCount() && row < 4096; ++row) {
        for (int identifier = 9; identifier < 11 + 70; ++identifier) {
            const int length = RowTable::FetchCell(&rows, static_cast<int>(row), identifier, cell, 255);
            const int expected_length = RowTable::FetchCell(&expected, static_cast<int>(row), identifier, expected_cell, 255);
            if (length != expected_length || std::memcmp(cell, expected_cell, static_cast<std::size_t>(length)) != 0) {
                std::abort();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    DescriptionState state;
    state.has_font = true;
    NoPrinters printers;
    ApplyDescription(DescriptionHeadOf(file), state, printers);
    CheckTerminated(state.window_title, sizeof state.window_title);
    CheckTerminated(state.settings.device_name, sizeof state.settings.device_name);
    CheckTerminated(state.font.face_name, sizeof state.font.face_name);
    if (state.font.size < 50 || state.font.size > 1000) std::abort();

    DataFileTable table;
    const TableReadResult read = ReadDataFileTable(file, table, [] { return 321; }, LimitedReallocate);
    CheckReadInBlocks(file, read, table);
    CheckRowsKeptApart(file, read, table);
    CheckRowsReadInHalves(file);
    if (read != TableReadResult::Read) {
        if (table.store != nullptr) std::abort();  // a failed read leaves the table untouched
        return 0;
    }
    const TableStore& store = *table.store;
    if (table.cut_rows > store.CountRows()) std::abort();
    if (store.CountColumns() > TableStore::kMostColumns) std::abort();
    std::uint8_t cell[256];
    for (std::uint32_t row = 0; row < store.CountRows() && row < 64; ++row) {
        for (int column = 0; column < store.CountColumns() && column < 64; ++column) {
            const std::size_t length = store.GetCellText(row, static_cast<std::int16_t>(11 + column), cell, 255);
            if (length > 255) std::abort();
            // Cells are trimmed of spaces before they are cut to 255 bytes; they hold no TAB or CR.
            if (length > 0 && cell[0] == ' ') std::abort();
            if (length > 0 && length < 255 && cell[length - 1] == ' ') std::abort();
            if (std::memchr(cell, '\t', length) || std::memchr(cell, '\r', length)) std::abort();
        }
    }
    return 0;
}
