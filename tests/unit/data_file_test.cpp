// Reading a data file's titles, types, rows, header and footer into a new store.
#include "formats/data_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/byte_search.h"
#include "convert/row_table.h"
#include "grid/cell_text_source.h"
#include "stopping_progress.h"

namespace {

const MillisecondClock kFixedClock = [] { return 500; };

unsigned U16At(const std::uint8_t* bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8);
}

struct Loaded {
    bool ok = false;
    DataFileTable table;

    std::string Cell(std::uint32_t row, std::int16_t identifier) const {
        std::uint8_t buffer[256] = {};
        const std::size_t length = table.store->GetCellText(row, identifier, buffer, 255);
        return std::string(reinterpret_cast<char*>(buffer), length);
    }
    std::vector<std::string> ColumnNames() const {
        std::vector<std::string> names;
        for (int i = 0; i < table.store->CountColumns(); ++i) {
            StoreColumn column;
            table.store->GetColumn(i, column);
            names.emplace_back(column.name);
        }
        return names;
    }
    int ColumnType(int index) const {
        StoreColumn column;
        return table.store->GetColumn(index, column) ? column.type : -1;
    }
};

Loaded Read(const std::string& file) {
    Loaded loaded;
    loaded.ok = ReadDataFileTable(file, loaded.table, kFixedClock) == TableReadResult::Read;
    return loaded;
}

const char kFurniture[] =
    "WindowTitle: Furniture stock\r\n"
    "Header:\r\nStore 12\tMarch\r\nFooter:\r\nApproved\r\n"
    "Titles:\r\nNo.\tItem\tPrice\tPhoto\r\n"
    "Types:\r\nNumber\tText\tNumber\tPicture\r\n"
    "Data:\r\n1\tChair\t12.50\tchair.bmp\r\n2\tTable\t\ttable.bmp\r\n";

TEST(DataFile, ReadsTheExampleTable) {
    const Loaded loaded = Read(kFurniture);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.ColumnNames(), (std::vector<std::string>{"No.", "Item", "Price", "Photo"}));
    EXPECT_EQ(loaded.ColumnType(0), kNumberColumn);
    EXPECT_EQ(loaded.ColumnType(1), kTextColumn);
    EXPECT_EQ(loaded.ColumnType(3), kPictureColumn);
    StoreColumn first;
    ASSERT_TRUE(loaded.table.store->GetColumn(0, first));
    EXPECT_EQ(StoreColumnIdentifier(first), 11);
    ASSERT_EQ(loaded.table.store->CountRows(), 2u);
    EXPECT_EQ(loaded.Cell(0, 12), "Chair");
    EXPECT_EQ(loaded.Cell(1, 14), "table.bmp");
    EXPECT_EQ(loaded.Cell(1, 13), "");
    EXPECT_EQ(loaded.table.header, "Store 12\tMarch");
    EXPECT_EQ(loaded.table.footer, "Approved");
    EXPECT_EQ(DescriptionHeadOf(kFurniture),
              "WindowTitle: Furniture stock\r\nHeader:\r\nStore 12\tMarch\r\nFooter:\r\nApproved\r\n");
}

TEST(DataFile, TitlesLineMakesOneColumnPerPiece) {
    const Loaded loaded = Read("Titles:\r\nA\t\tB\t\r\nData:\r\n");
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.ColumnNames(), (std::vector<std::string>{"A", "", "B"}));
    StoreColumn third;
    loaded.table.store->GetColumn(2, third);
    EXPECT_EQ(StoreColumnIdentifier(third), 13);

    const Loaded long_name = Read("Titles:\r\n" + std::string(40, 'n') + "\r\nData:\r\n");
    EXPECT_EQ(long_name.ColumnNames()[0], std::string(32, 'n'));
    // An empty titles line gives a table without columns.
    const Loaded empty = Read("Titles:\r\n\r\nData:\r\n");
    ASSERT_TRUE(empty.ok);
    EXPECT_EQ(empty.table.store->CountColumns(), 0);
}

TEST(DataFile, RefusesFilesWithoutATitlesLineBeforeData) {
    // LF line ends: the line end after "Titles:" is not found.
    EXPECT_FALSE(Read("Titles:\nA\tB\nData:\n1\t2\n").ok);
    EXPECT_FALSE(Read("Data:\r\n1\r\n").ok);
    EXPECT_FALSE(Read("Titles:\r\nData:\r\n1\r\n").ok);
    EXPECT_FALSE(Read("").ok);
}

TEST(DataFile, KeysCountOnlyAtTheStartOfALine) {
    const char* const files[] = {
        "WindowTitle: Raw data: 2024\r\nTitles:\r\nA\r\nData:\r\n1\r\n",
        "WindowTitle: Data: start\r\nTitles:\r\nA\r\nData:\r\n1\r\n",
        "Header:\r\n\tData: right Titles:\r\nTitles:\r\nA\r\nData:\r\n1\r\n",
        "Titles:\r\nA\nData: x\r\nData:\r\n1\r\n",  // a lone LF ends no line
    };
    for (const char* file : files) {
        const Loaded loaded = Read(file);
        ASSERT_TRUE(loaded.ok) << file;
        EXPECT_EQ(loaded.ColumnNames()[0].substr(0, 1), "A") << file;
        EXPECT_EQ(loaded.table.store->CountRows(), 1u) << file;
        EXPECT_EQ(loaded.Cell(0, 11), "1") << file;
    }
    EXPECT_EQ(Read(files[2]).table.header, "\tData: right Titles:");
}

TEST(DataFile, TypesByTheBeginningOfEachPiece) {
    const Loaded loaded =
        Read("Titles:\r\nA\tB\tC\tD\tE\r\nTypes:\r\nNUMBERS\tNum\tdate\tTime of day\r\nData:\r\n");
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.ColumnType(0), kNumberColumn);
    EXPECT_EQ(loaded.ColumnType(1), kTextColumn);
    EXPECT_EQ(loaded.ColumnType(2), kDateColumn);
    EXPECT_EQ(loaded.ColumnType(3), kTimeColumn);
    EXPECT_EQ(loaded.ColumnType(4), kTextColumn);  // fewer pieces than columns
    // More pieces than columns stop at the last column.
    const Loaded extra = Read("Titles:\r\nA\r\nTypes:\r\nNumber\tPicture\r\nData:\r\n");
    EXPECT_EQ(extra.ColumnType(0), kNumberColumn);
    EXPECT_EQ(extra.table.store->CountColumns(), 1);
}

TEST(DataFile, RowsAndTheirCells) {
    const std::string cell300(300, 'c');
    const Loaded loaded = Read("Titles:\r\nA\tB\r\nData:\r\n\r\n  x  \t   \r\n" + cell300 +
                               "\t1\t2\textra\r\n\r\n\r\n");
    ASSERT_TRUE(loaded.ok);
    ASSERT_EQ(loaded.table.store->CountRows(), 3u);  // empty first row; final blank lines none
    EXPECT_EQ(loaded.Cell(0, 11), "");
    EXPECT_EQ(loaded.Cell(1, 11), "x");
    EXPECT_EQ(loaded.Cell(1, 12), "");
    EXPECT_EQ(loaded.Cell(2, 11), std::string(255, 'c'));
    EXPECT_EQ(loaded.Cell(2, 14), "extra");  // kept beyond the last column, never shown

    // Lone CR ends a line too; a lone LF stays inside the cell.
    const Loaded mixed = Read("Titles:\rA\rData:\r1\r2\n3\r");
    ASSERT_TRUE(mixed.ok);
    ASSERT_EQ(mixed.table.store->CountRows(), 2u);
    EXPECT_EQ(mixed.Cell(1, 11), "2\n3");

    // Without "Data:" the columns load and there are no rows.
    const Loaded no_data = Read("Titles:\r\nA\tB\r\n1\t2\r\n");
    ASSERT_TRUE(no_data.ok);
    EXPECT_EQ(no_data.table.store->CountColumns(), 2);
    EXPECT_EQ(no_data.table.store->CountRows(), 0u);
}

TEST(DataFile, RowsKeepEveryCellUpTo65535BytesAndCountTheRowsCut) {
    // Under 256 columns, 255 cells of 255 bytes: 253 fit (7 + 253 * 258 = 65281), a later
    // short cell still does. A row losing only cells past the last column is not cut.
    std::string cut;
    for (int i = 0; i < 255; ++i) cut += std::string(255, static_cast<char>('a' + i % 26)) + "\t";
    const std::string beyond = std::string(255, '\t') + "x\t" + cut;
    const Loaded loaded = Read("Titles:\r\n" + std::string(255, '\t') + "C\r\nData:\r\n" + cut +
                               "short\r\n" + beyond + "\r\n");
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.Cell(0, 11 + 252).size(), 255u);
    EXPECT_EQ(loaded.Cell(0, 11 + 253), "");
    EXPECT_EQ(loaded.Cell(0, 11 + 255), "short");
    EXPECT_EQ(loaded.Cell(1, 11 + 255), "x");
    EXPECT_EQ(loaded.table.cut_rows, 1u);
}

TEST(DataFile, ALineOfThousandsOfCellsKeepsThoseThatFit) {
    // One-byte cells take 4 bytes each: 16382 fit in 65535 (7 + 16382 * 4 = 65535); pieces
    // past the 16-bit identifiers are not read at all.
    std::string line;
    for (int i = 0; i < 40000; ++i) line += "7\t";
    const Loaded loaded = Read("Titles:\r\nA\r\nData:\r\n" + line + "\r\nlast\r\n");
    ASSERT_TRUE(loaded.ok);
    ASSERT_EQ(loaded.table.store->CountRows(), 2u);
    EXPECT_EQ(loaded.Cell(0, 11), "7");
    EXPECT_EQ(loaded.Cell(0, 11 + 16381), "7");
    EXPECT_EQ(loaded.Cell(0, 11 + 16382), "");
    EXPECT_EQ(loaded.Cell(1, 11), "last");
    EXPECT_EQ(loaded.table.cut_rows, 0u);
    EXPECT_EQ(U16At(loaded.table.store->Image().bytes, 8), 65535u);  // the record size
}

std::size_t g_memory_limit = 64 << 20;

void* LimitedReallocate(void* block, std::size_t bytes) {
    return bytes > g_memory_limit ? nullptr : std::realloc(block, bytes);
}

// `columns` columns, a first row of that many cells of `cell` bytes, then `rows` times `line`.
std::string LongRowOverMany(int columns, int cell, int rows, const std::string& line) {
    std::string file = "Titles:\r\n" + std::string(columns - 1, '\t') + "C\r\nData:\r\n";
    for (int i = 0; i < columns; ++i) file += std::string(cell, 'v') + "\t";
    for (int i = 0; i < rows; ++i) file += "\r" + line;
    return file;
}

TEST(DataFile, ATableMemoryCannotHoldIsNotLoadedButOneLongRowNoLongerCostsEveryRowItsLength) {
    // A row of 8103 bytes over 400000 empty lines: rows take their own length, not the longest.
    Loaded padded;
    ASSERT_EQ(ReadDataFileTable(LongRowOverMany(32, 250, 400000, "") + "end", padded.table,
                                kFixedClock, LimitedReallocate),
              TableReadResult::Read);
    EXPECT_EQ(padded.table.store->CountRows(), 400001u);
    EXPECT_EQ(padded.Cell(0, 11 + 31), std::string(250, 'v'));
    EXPECT_EQ(padded.Cell(400000, 11), "end");
    EXPECT_EQ(padded.table.cut_rows, 0u);
    // 233 cells of 255 bytes fit a row (7 + 233 * 258 = 60121): nothing is cut any more.
    Loaded whole;
    ASSERT_EQ(ReadDataFileTable(LongRowOverMany(233, 255, 2000, "x"), whole.table, kFixedClock,
                                LimitedReallocate),
              TableReadResult::Read);
    EXPECT_EQ(whole.table.store->CountRows(), 2001u);
    EXPECT_EQ(whole.table.cut_rows, 0u);
    EXPECT_EQ(whole.Cell(0, 11 + 232), std::string(255, 'v'));
    EXPECT_EQ(whole.Cell(2000, 11), "x");

    // Empty rows cost their 0.8 MB of locations alone, in pages that a 512 KB limit on one
    // block lets grow; 400001 rows of one cell take 1.6 MB of stored rows, more than it lets
    // a chunk of rows grow to.
    g_memory_limit = 512 << 10;
    Loaded empty_rows;
    ASSERT_EQ(ReadDataFileTable(LongRowOverMany(32, 250, 400000, "") + "end", empty_rows.table, kFixedClock,
                                LimitedReallocate),
              TableReadResult::Read);
    EXPECT_EQ(empty_rows.table.store->CountRows(), 400001u);
    EXPECT_EQ(empty_rows.Cell(399999, 11), "");
    EXPECT_EQ(empty_rows.Cell(400000, 11), "end");
    DataFileTable table;
    EXPECT_EQ(ReadDataFileTable(LongRowOverMany(32, 250, 400000, "x") + "end", table, kFixedClock,
                                LimitedReallocate),
              TableReadResult::OutOfMemory);
    EXPECT_EQ(table.store, nullptr);
    g_memory_limit = 64 << 20;
}

int g_reallocations = 0;

void* CountedReallocate(void* block, std::size_t bytes) {
    ++g_reallocations;
    return std::realloc(block, bytes);
}

TEST(DataFile, RowsGrowingLongerAreStoredAsRowByRowWithoutMovingTheRowsBefore) {
    // Each row is longer than all before it: the memory grows a few times in all, not once
    // per row, and the store is the one built from the same rows one by one.
    std::string file = "Titles:\r\nA\tB\r\nData:\r\n";
    for (int row = 1; row <= 300; ++row) {
        std::string line;
        for (int left = row * 25; left > 0; left -= 200) {
            line += std::string(std::min(left, 200), static_cast<char>('a' + row % 26)) + "\t";
        }
        file += line + "\r\n";
    }
    g_reallocations = 0;
    DataFileTable table;
    ASSERT_EQ(ReadDataFileTable(file, table, kFixedClock, CountedReallocate), TableReadResult::Read);
    // 38 columns, each with a dictionary of the values it repeats: its hash table, offsets and
    // values, a few growths apiece, never one per row.
    EXPECT_LE(g_reallocations, 16 + 4 * 38)
        << "the image, the row index's blocks, page table and page, the first chunk's doublings and the column dictionaries";

    TableStore expected(kFixedClock);
    expected.PutColumn(MakeStoreColumn(11, kTextColumn, "A"));
    expected.PutColumn(MakeStoreColumn(12, kTextColumn, "B"));
    std::vector<std::uint8_t> buffer(kRowBufferSize);
    std::uint8_t* row = buffer.data();
    std::size_t longest = 0;
    for (int index = 1; index <= 300; ++index) {
        std::size_t length = expected.BeginRow(row, kRowBufferSize);
        std::int16_t identifier = 11;
        for (int left = index * 25; left > 0; left -= 200, ++identifier) {
            const std::string cell(std::min(left, 200), static_cast<char>('a' + index % 26));
            length = TableStore::PutField(row, kRowBufferSize, identifier, cell.data(), cell.size(),
                                          kRowBufferSize);
        }
        longest = std::max(longest, length);
        ASSERT_TRUE(expected.AddRow(row, kRowBufferSize));
    }
    const StoreImageView loaded = table.store->Image();
    const StoreImageView built = expected.Image();
    EXPECT_EQ(U16At(loaded.bytes, 8), longest);
    ASSERT_EQ(loaded.length, built.length);
    EXPECT_EQ(std::memcmp(loaded.bytes, built.bytes, built.length), 0);
    ASSERT_EQ(table.store->CountRows(), 300u);
    for (std::int64_t index = 0; index < 300; ++index) {
        const StoreImageView loaded_row = table.store->RowRecord(index);
        const StoreImageView built_row = expected.RowRecord(index);
        ASSERT_EQ(loaded_row.length, built_row.length) << index;
        EXPECT_EQ(std::memcmp(loaded_row.bytes, built_row.bytes, built_row.length), 0) << index;
    }
}

// Every cell of a table, row by row, "|" between cells; the rows, then the cut count.
std::string TableCells(const DataFileTable& table) {
    std::string cells;
    for (std::uint32_t row = 0; row < table.store->CountRows(); ++row) {
        for (int column = 11; column < 11 + 40; ++column) {
            std::uint8_t buffer[256] = {};
            const std::size_t length =
                table.store->GetCellText(row, static_cast<std::int16_t>(column), buffer, 255);
            cells.append(reinterpret_cast<char*>(buffer), length).push_back('|');
        }
        cells.push_back('\n');
    }
    return cells + std::to_string(table.cut_rows);
}

// ReadDataFile on `file` handed over `block` bytes at a time.
TableReadResult ReadInBlocks(const std::string& file, std::size_t block, std::string& head,
                             DataFileTable& table, WorkProgress* progress = nullptr) {
    std::size_t at = 0;
    return ReadDataFile(
        [&](char* buffer, std::size_t capacity) {
            const std::size_t count = std::min({block, capacity, file.size() - at});
            std::memcpy(buffer, file.data() + at, count);
            at += count;
            return static_cast<std::ptrdiff_t>(count);
        },
        head, table, kFixedClock, nullptr, progress, static_cast<std::int64_t>(file.size()));
}

TEST(DataFile, AProgressFollowsTheBytesReadAndStoppedLeavesNoTable) {
    std::string file = "Titles:\r\nA\r\nData:";
    for (int row = 0; row < 2000; ++row) file += "\r\nx" + std::to_string(row);
    ASSERT_EQ(file.size(), 12907u);
    // Asked before every block: 0, 5000 and 10000 bytes read, then at the end of the file.
    StoppingProgress followed;
    std::string head;
    DataFileTable whole;
    ASSERT_EQ(ReadInBlocks(file, 5000, head, whole, &followed), TableReadResult::Read);
    EXPECT_EQ(whole.store->CountRows(), 2000u);
    const std::vector<std::pair<std::int64_t, std::int64_t>> asked = {
        {0, 12907}, {5000, 12907}, {10000, 12907}, {12907, 12907}};
    EXPECT_EQ(followed.calls, asked);

    // Whole in memory: one block, then the end.
    StoppingProgress at_once;
    DataFileTable read_whole;
    ASSERT_EQ(ReadDataFileTable(file, read_whole, kFixedClock, nullptr, &at_once), TableReadResult::Read);
    EXPECT_EQ(at_once.calls, (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 12907}, {12907, 12907}}));

    // Stopped before the first, a middle or the last block: no table, nothing of the file taken.
    for (int stop_at : {1, 2, 4}) {
        StoppingProgress stopping(stop_at);
        DataFileTable table;
        table.header = "before";
        std::string stopped_head;
        EXPECT_EQ(ReadInBlocks(file, 5000, stopped_head, table, &stopping), TableReadResult::Cancelled) << stop_at;
        EXPECT_EQ(table.store, nullptr) << stop_at;
        EXPECT_EQ(table.header, "before") << stop_at;
        EXPECT_EQ(static_cast<int>(stopping.calls.size()), stop_at);
    }
}

TEST(DataFile, ReadsTheSameWhereverTheBlocksOfTheFileEnd) {
    // Line breaks, keys and rows split across blocks: every file reads as it does whole, at
    // every block size up to its length.
    const std::string files[] = {
        kFurniture,
        "Font: Arial\r\nTitles:\rA\tB\rData:\r1\r2\n3\r\r\n\n\rx\ty\r\n\r\r",
        "Titles:\r\nA\r\nData:\r\n\r\n\r\nmid\r\n\n\n\r\n\r\n",
        "Titles:\r\nA\tB\tC\r\nData:\r\n\t\tlast\t\r\nfirst\t\t\r\n\tmiddle\t\n",
        "Header:\r\nh\r\nTitles:\r\nA\r\nData: tail\r\n" + std::string(300, 'w') + "\r\nend",
        "Titles:\r\nA\r\nNo data, no rows\r\n\r\n",
        "Titles:\r\nA\r\nData:",
        "WindowTitle: no titles\r\nData:\r\n1\r\n",
    };
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        DataFileTable whole;
        const TableReadResult expected = ReadDataFileTable(file, whole, kFixedClock);
        const std::string expected_cells = whole.store ? TableCells(whole) : "no table";
        for (std::size_t block = 1; block <= file.size(); ++block) {
            std::string head;
            DataFileTable table;
            ASSERT_EQ(ReadInBlocks(file, block, head, table), expected) << "block " << block;
            EXPECT_EQ(head, DescriptionHeadOf(file)) << "block " << block;
            ASSERT_EQ(table.store ? TableCells(table) : "no table", expected_cells) << "block " << block;
            EXPECT_EQ(table.header, whole.header);
            EXPECT_EQ(table.footer, whole.footer);
        }
    }
}

// Column reads of every row, backwards and past the last, give what FetchCell gives cell by
// cell, and with no texts asked for, the same lengths.
void ExpectColumnReadsAsCells(const RowTable& rows, std::initializer_list<int> identifiers) {
    std::vector<std::uint32_t> keys;
    for (std::uint32_t row = rows.RowCount() + 1; row-- > 0;) keys.push_back(row);
    keys.push_back(UINT32_MAX);
    const int count = static_cast<int>(keys.size());
    std::vector<char> texts(keys.size() * kCellTextStride);
    std::vector<std::uint8_t> lengths(keys.size(), 99);
    std::vector<std::uint8_t> lengths_alone(keys.size(), 99);
    void* table = const_cast<RowTable*>(&rows);
    for (int identifier : identifiers) {
        RowTable::FetchColumn(table, identifier, keys.data(), count, texts.data(), lengths.data());
        RowTable::FetchColumn(table, identifier, keys.data(), count, nullptr, lengths_alone.data());
        for (std::size_t k = 0; k < keys.size(); ++k) {
            char buffer[kCellTextStride];
            const int length = RowTable::FetchCell(table, static_cast<int>(keys[k]), identifier, buffer, kCellTextLimit);
            ASSERT_EQ(std::string(texts.data() + k * kCellTextStride, lengths[k]),
                      std::string(buffer, static_cast<std::size_t>(length)))
                << "row " << keys[k] << " column " << identifier;
            ASSERT_EQ(lengths_alone[k], lengths[k]) << "row " << keys[k] << " column " << identifier;
        }
    }
}

TEST(DataFile, RowsKeptApartFromTheStoreHoldTheCellsTheStoreHolds) {
    // The converter keeps the rows in a table of its own: each cell of every column (and of
    // identifiers no column has) reads as from the store, whole or cut to the size asked for.
    std::string long_row;
    for (int i = 0; i < 300; ++i) long_row += std::string(255, static_cast<char>('a' + i % 26)) + "\t";
    const std::string files[] = {
        kFurniture,
        "Titles:\rA\tB\tC\rData:\r\r\rx\r\n\n\r\t\tz\r\t\t\r\r\n\n\n",
        "Titles:\r\nA\tB\r\nData:\r\n  padded  \t" + std::string(300, 'w') + "\r\n\r\nlast",
        // Cells far apart, a row cut at the record limit, and more pieces than columns.
        "Titles:\r\nA\r\nData:\r\na" + std::string(32000, '\t') + "z\tzz\r\nb\t\t\tc\r\n" +
            long_row + "\r\n1\t2\t3\t4\t5\r\n",
    };
    for (const std::string& file : files) {
        SCOPED_TRACE(file.substr(0, 60));
        const Loaded stored = Read(file);
        ASSERT_TRUE(stored.ok);
        std::size_t at = 0;
        const ReadBlockFunction read_block = [&](char* buffer, std::size_t capacity) {
            const std::size_t count = std::min(capacity, file.size() - at);
            std::memcpy(buffer, file.data() + at, count);
            at += count;
            return static_cast<std::ptrdiff_t>(count);
        };
        std::string head;
        DataFileTable columns;
        RowTable rows;
        ASSERT_EQ(ReadDataFileRows(read_block, head, columns, rows), TableReadResult::Read);
        EXPECT_EQ(columns.store->CountRows(), 0u);
        EXPECT_EQ(columns.store->CountColumns(), stored.table.store->CountColumns());
        EXPECT_EQ(columns.cut_rows, stored.table.cut_rows);
        EXPECT_EQ(columns.header, stored.table.header);
        ASSERT_EQ(rows.RowCount(), stored.table.store->CountRows());
        for (std::uint32_t row = 0; row <= rows.RowCount(); ++row) {
            for (int identifier : {-11, 0, 10, 11, 12, 13, 14, 15, 40, 250, 299, 310, 32010, 32011, 32012, 32013}) {
                char buffer[256];
                const int length = RowTable::FetchCell(&rows, static_cast<int>(row), identifier, buffer, 255);
                ASSERT_EQ(std::string(buffer, static_cast<std::size_t>(length)),
                          stored.Cell(row, static_cast<std::int16_t>(identifier)))
                    << row << " " << identifier;
                EXPECT_EQ(buffer[length], '\0');
                char cut[5];
                const int cut_length = RowTable::FetchCell(&rows, static_cast<int>(row), identifier, cut, 4);
                EXPECT_EQ(std::string(cut, static_cast<std::size_t>(cut_length)),
                          stored.Cell(row, static_cast<std::int16_t>(identifier)).substr(0, 4));
            }
        }
        ExpectColumnReadsAsCells(rows, {-11, 0, 10, 11, 12, 13, 14, 15, 250, 310, 32010, 32011, 32012});
    }
    // Rows past the first chunk of the table (4 MB): a column read crosses from one to the next.
    std::string big = "Titles:\r\nA\tB\tC\r\nData:\r\n";
    for (int row = 0; row < 20000; ++row) {
        big += std::to_string(row) + "\t" + std::string(200 + row % 55, static_cast<char>('a' + row % 26)) +
               (row % 7 == 0 ? "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\tfar" : "\tc") + "\r\n";
    }
    std::size_t at = 0;
    std::string head;
    DataFileTable columns;
    RowTable big_rows;
    ASSERT_EQ(ReadDataFileRows(
                  [&](char* buffer, std::size_t capacity) {
                      const std::size_t count = std::min(capacity, big.size() - at);
                      std::memcpy(buffer, big.data() + at, count);
                      at += count;
                      return static_cast<std::ptrdiff_t>(count);
                  },
                  head, columns, big_rows),
              TableReadResult::Read);
    ASSERT_EQ(big_rows.RowCount(), 20000u);
    ExpectColumnReadsAsCells(big_rows, {10, 11, 12, 13, 14, 52});
    // More rows than a block of the row index holds, in both halves of a table joined from two:
    // every row reads back its own cell, cell by cell and by column reads.
    RowTable first_half;
    RowTable second_half;
    constexpr std::uint32_t kHalfRows = 66000;
    for (std::uint32_t row = 0; row < 2 * kHalfRows; ++row) {
        const std::string text = "r" + std::to_string(row);
        const StoreCell cell{12, text.size(), text.c_str()};
        ASSERT_TRUE((row < kHalfRows ? first_half : second_half).TakeRow(&cell, 1));
    }
    ASSERT_TRUE(first_half.AppendRows(second_half));
    ASSERT_EQ(first_half.RowCount(), 2 * kHalfRows);
    std::vector<std::uint32_t> keys;
    for (std::uint32_t row = 0; row <= 2 * kHalfRows; ++row) keys.push_back(row);
    std::vector<char> texts(keys.size() * kCellTextStride);
    std::vector<std::uint8_t> lengths(keys.size());
    RowTable::FetchColumn(&first_half, 12, keys.data(), static_cast<int>(keys.size()), texts.data(), lengths.data());
    for (const std::uint32_t row : {0u, 65535u, 65536u, 65999u, 66000u, 131535u, 131536u, 131999u}) {
        char buffer[256];
        const int length = RowTable::FetchCell(&first_half, static_cast<int>(row), 12, buffer, 255);
        EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(length)), "r" + std::to_string(row));
        EXPECT_EQ(std::string(texts.data() + row * kCellTextStride, lengths[row]), "r" + std::to_string(row));
    }
    EXPECT_EQ(lengths[2 * kHalfRows], 0);  // past the last row
    // A column's source names it by its low 16 bits, as the store reads it.
    RowTable rows;
    const StoreCell cells[] = {{11, 3, "abc"}, {13, 1, "d"}};
    ASSERT_TRUE(rows.TakeRow(cells, 2));
    char buffer[256];
    EXPECT_EQ(RowTable::FetchCell(&rows, 0, 0x10000 + 13, buffer, 255), 1);
    EXPECT_EQ(RowTable::FetchCell(&rows, 0, 12, buffer, 255), 0);
    EXPECT_EQ(RowTable::FetchCell(&rows, 0, 11, buffer, 0), 0);
    // Only what the reader hands over is taken: rising identifiers of cells 1 to 255 bytes long.
    const StoreCell falling[] = {{13, 1, "d"}, {11, 3, "abc"}};
    const StoreCell empty[] = {{11, 0, "x"}};
    EXPECT_FALSE(rows.TakeRow(falling, 2));
    EXPECT_FALSE(rows.TakeRow(empty, 1));
    EXPECT_EQ(rows.RowCount(), 1u);
}

// Every cell of identifiers 9 to 340 of every row, one line per row.
std::string RowTableCells(const RowTable& rows) {
    std::string cells;
    for (std::uint32_t row = 0; row < rows.RowCount(); ++row) {
        for (int identifier = 9; identifier <= 340; ++identifier) {
            char buffer[256];
            const int length = RowTable::FetchCell(const_cast<RowTable*>(&rows), static_cast<int>(row), identifier,
                                                   buffer, 255);
            if (length != 0) cells += std::to_string(identifier) + "=" + std::string(buffer, length) + "|";
        }
        cells += "\n";
    }
    return cells;
}

TEST(DataFile, RowsReadInTwoHalvesAreTheRowsReadInOrder) {
    // The second half starts after the first CR from the middle of the rows part; wherever that
    // middle falls (moved here by the size the file is said to have), the joined halves hold the
    // rows, cells and cut rows of one reading in order.
    std::string cut_row;
    for (int i = 0; i < 300; ++i) cut_row += std::string(250, static_cast<char>('a' + i % 26)) + "\t";
    const std::string files[] = {
        kFurniture,
        // CR-only and CR LF line ends; empty and LF-only lines inside and at the end.
        "Titles:\rA\tB\tC\rData:\r\r\rx\r\n\n\r\t\tz\r\t\t\r\r\n\n\n",
        "Titles:\rA\rData:\r1\r\r\n\r\n\n\r\rlast",
        "Titles:\rA\rData:\r1\r\r\n\n\r\n\r",
        // A row far longer than the rest across the middle; a last row with no line end.
        "Titles:\r\nA\tB\r\nData:\r\n1\t2\r\n" + std::string(3000, 'w') + "\t  x  \r\n3\r\n" + std::string(900, 'z'),
        // Rows cut at the record limit on either side of the middle, counted once each.
        "Titles:\r\nA\tB\r\nData:\r\n" + cut_row + "\r\nshort\r\n" + cut_row + "\r\n",
    };
    for (const std::string& file : files) {
        SCOPED_TRACE(file.substr(0, 40));
        const ReadBlockFunction read_block = [&, at = std::size_t{0}](char* buffer, std::size_t capacity) mutable {
            const std::size_t count = std::min(capacity, file.size() - at);
            std::memcpy(buffer, file.data() + at, count);
            at += count;
            return static_cast<std::ptrdiff_t>(count);
        };
        std::string expected_head;
        DataFileTable expected_columns;
        RowTable expected_rows;
        ASSERT_EQ(ReadDataFileRows(read_block, expected_head, expected_columns, expected_rows), TableReadResult::Read);
        const std::string expected = RowTableCells(expected_rows);

        const std::size_t rows_start = file.find('\r', file.find("Data:")) + 1;
        std::size_t split_with_rows = 0;
        std::size_t next_line_end = rows_start;
        for (std::size_t middle = rows_start + 1; middle < file.size(); ++middle) {
            // Every middle near a line end and a few between them.
            if (next_line_end + 2 < middle) next_line_end = std::min(file.find('\r', middle - 2), file.size());
            if (next_line_end > middle + 2 && middle % 1999 != 0) continue;
            SCOPED_TRACE(middle);
            const ReadAtFunction read_at = [&](std::uint64_t offset, char* buffer, std::size_t capacity) {
                const std::size_t from = std::min<std::size_t>(offset, file.size());
                const std::size_t count = std::min(capacity, file.size() - from);
                std::memcpy(buffer, file.data() + from, count);
                return static_cast<std::ptrdiff_t>(count);
            };
            std::string head;
            DataFileTable columns;
            RowTable rows;
            RowTable later_rows;
            const std::uint64_t said_size = rows_start + 2 * (middle - rows_start);
            ASSERT_EQ(ReadDataFileRowsInHalves(read_at, said_size, head, columns, rows, later_rows, 2),
                      TableReadResult::Read);
            if (later_rows.RowCount() != 0) ++split_with_rows;
            ASSERT_TRUE(rows.AppendRows(later_rows));
            EXPECT_EQ(later_rows.RowCount(), 0u);
            ASSERT_EQ(RowTableCells(rows), expected);
            ExpectColumnReadsAsCells(rows, {10, 11, 12, 13});
            EXPECT_EQ(columns.cut_rows, expected_columns.cut_rows);
            EXPECT_EQ(head, expected_head);
            EXPECT_EQ(columns.header, expected_columns.header);
            EXPECT_EQ(columns.footer, expected_columns.footer);
            EXPECT_EQ(columns.store->CountColumns(), expected_columns.store->CountColumns());
        }
        // The second half did read rows (unless only the first row is one).
        if (expected_rows.RowCount() > 1) {
            EXPECT_GT(split_with_rows, 0u);
        }
    }

    // Rows taken after a join, and tables joined to a joined one, come after its rows.
    RowTable first;
    RowTable second;
    RowTable third;
    const StoreCell a[] = {{11, 1, "a"}};
    const StoreCell b[] = {{12, 1, "b"}};
    const StoreCell c[] = {{11, 1, "c"}, {13, 1, "C"}};
    const StoreCell d[] = {{11, 1, "d"}};
    ASSERT_TRUE(first.TakeRow(a, 1) && second.TakeRow(b, 1) && third.TakeRow(c, 2));
    ASSERT_TRUE(first.AppendRows(second));
    ASSERT_TRUE(first.TakeRow(d, 1));
    ASSERT_TRUE(first.AppendRows(third));
    EXPECT_EQ(second.RowCount(), 0u);
    EXPECT_EQ(third.RowCount(), 0u);
    EXPECT_EQ(RowTableCells(first), "11=a|\n12=b|\n11=d|\n11=c|13=C|\n");
    ExpectColumnReadsAsCells(first, {11, 12, 13});

    // A short rows part stays on one thread; a failed read in either half fails the whole. The
    // file comes 16 bytes at a time, so each half reads at offsets of its own.
    const std::string file = kFurniture;
    const std::size_t rows_start = file.find("1\tChair");
    for (const std::uint64_t fail_from : {std::uint64_t{UINT64_MAX}, std::uint64_t{rows_start + 30},
                                          std::uint64_t{rows_start + 10}, std::uint64_t{10}}) {
        SCOPED_TRACE(fail_from);
        const ReadAtFunction read_at = [&](std::uint64_t offset, char* buffer, std::size_t capacity) -> std::ptrdiff_t {
            if (offset >= fail_from) return -1;
            const std::size_t from = std::min<std::size_t>(offset, file.size());
            const std::size_t count = std::min({capacity, file.size() - from, std::size_t{16}});
            std::memcpy(buffer, file.data() + from, count);
            return static_cast<std::ptrdiff_t>(count);
        };
        std::string head;
        DataFileTable columns;
        RowTable rows;
        RowTable later_rows;
        if (fail_from == UINT64_MAX) {
            ASSERT_EQ(ReadDataFileRowsInHalves(read_at, file.size(), head, columns, rows, later_rows),
                      TableReadResult::Read);
            EXPECT_EQ(rows.RowCount(), 2u);
            EXPECT_EQ(later_rows.RowCount(), 0u);
        } else {
            EXPECT_EQ(ReadDataFileRowsInHalves(read_at, file.size(), head, columns, rows, later_rows, 2),
                      TableReadResult::Unreadable);
            EXPECT_EQ(columns.store, nullptr);
        }
    }
}

TEST(DataFile, LineEndsAndEmptyCellsAtTheEndsOfRows) {
    // CR-only lines are rows, LF-only and empty lines at the end are not; empty cells at either
    // end of a line leave the cells between them at their columns.
    const Loaded loaded = Read("Titles:\rA\tB\tC\rData:\r\r\rx\r\n\n\r\t\tz\r\t\t\r\r\n\n\n");
    ASSERT_TRUE(loaded.ok);
    ASSERT_EQ(loaded.table.store->CountRows(), 6u);
    EXPECT_EQ(loaded.Cell(0, 11), "");
    EXPECT_EQ(loaded.Cell(1, 11), "");
    EXPECT_EQ(loaded.Cell(2, 11), "x");
    EXPECT_EQ(loaded.Cell(3, 11), "\n");  // an LF after the one that ends a line break is text
    EXPECT_EQ(loaded.Cell(4, 12), "");
    EXPECT_EQ(loaded.Cell(4, 13), "z");
    EXPECT_EQ(loaded.Cell(5, 13), "");
    // Empty and LF-only lines waiting for a row after them keep their order.
    const Loaded held = Read("Titles:\rA\rData:\r\r\r\n\n\r\rx\r\n");
    ASSERT_TRUE(held.ok);
    ASSERT_EQ(held.table.store->CountRows(), 5u);
    EXPECT_EQ(held.Cell(2, 11), "\n");
    for (int row : {0, 1, 3}) EXPECT_EQ(held.Cell(row, 11), "") << row;
    EXPECT_EQ(held.Cell(4, 11), "x");

    // The first and the last of 32,001 pieces: only the ends hold cells.
    const Loaded ends = Read("Titles:\r\nA\r\nData:\r\na" + std::string(32000, '\t') + "z\r\nb\r\n");
    ASSERT_TRUE(ends.ok);
    EXPECT_EQ(ends.Cell(0, 11), "a");
    EXPECT_EQ(ends.Cell(0, 12), "");
    EXPECT_EQ(ends.Cell(0, 11 + 31999), "");
    EXPECT_EQ(ends.Cell(0, 11 + 32000), "z");
    EXPECT_EQ(ends.Cell(1, 11), "b");
}

TEST(DataFile, ReadingStopsAtAFailedBlock) {
    const std::string file = kFurniture;
    for (std::size_t fail_at : {std::size_t{0}, std::size_t{40}, file.size() - 5}) {
        SCOPED_TRACE(fail_at);
        std::size_t at = 0;
        std::string head = "before";
        DataFileTable table;
        const TableReadResult read = ReadDataFile(
            [&](char* buffer, std::size_t) -> std::ptrdiff_t {
                if (at >= fail_at) return -1;
                buffer[0] = file[at++];
                return 1;
            },
            head, table, kFixedClock);
        EXPECT_EQ(read, TableReadResult::Unreadable);
        EXPECT_EQ(table.store, nullptr);
    }
}

TEST(DataFile, HeaderAndFooterTexts) {
    const Loaded loaded = Read(
        "Header:\r\nLeft\tRight  \r\nSecond\r\n\r\nFooter:\r\nSigned  \r\n\r\n\r\nTitles:\r\nA\r\nData:\r\n");
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.table.header, "Left\tRight  \r\nSecond\r\n");
    EXPECT_EQ(loaded.table.footer, "Signed  ");

    // Sections after the titles do not count.
    const Loaded late = Read("Titles:\r\nA\r\nHeader:\r\nH\r\nData:\r\n");
    EXPECT_EQ(late.table.header, "");
    const Loaded none = Read("Titles:\r\nA\r\nData:\r\n");
    EXPECT_EQ(none.table.header, "");
    EXPECT_EQ(none.table.footer, "");
}

TEST(DataFile, DescriptionHeadEndsAtTitlesOrData) {
    EXPECT_EQ(DescriptionHeadOf("Font: A, 9\r\nTitles:\r\nA\r\nData:\r\n"), "Font: A, 9\r\n");
    EXPECT_EQ(DescriptionHeadOf("Font: A, 9\r\nData:\r\nTitles:\r\n"), "Font: A, 9\r\n");
    EXPECT_EQ(DescriptionHeadOf("WindowTitle: x\r\nTitles:\r\nA\r\n\r\n"),
              "WindowTitle: x\r\nTitles:\r\nA");
}

TEST(DataFile, DataDirectoryIsTheFolderAsGiven) {
    EXPECT_EQ(DataDirectoryOf("C:\\data\\t.rdf"), "C:\\data");
    EXPECT_EQ(DataDirectoryOf("t.rdf"), "");
    EXPECT_EQ(DataDirectoryOf("C:\\t.rdf"), "C:");
}

// The line and cell splitting's byte search finds what the library's does, whatever the bytes
// around (the CP1251 letters have their high bit set), where the byte is and how long the text
// is; the dictionary's comparison tells every one-byte difference.
TEST(ByteSearch, FindsAndComparesAsTheLibraryDoes) {
    const std::string bytes("\xE0\x8D\r\xFF\t\x01\r\x00\x80\x0D\x8D" "a\tb\xF2\r\n\x09\x89", 19);
    for (char wanted : {'\r', '\t', '\n', '\0', '\xFF', 'z'}) {
        for (std::size_t length = 0; length <= bytes.size(); ++length) {
            for (std::size_t start = 0; start + length <= bytes.size(); ++start) {
                const std::string_view text(bytes.data() + start, length);
                for (std::size_t from = 0; from <= length + 1; ++from) {
                    ASSERT_EQ(FindByte(text, wanted, from), text.find(wanted, from))
                        << int(wanted) << " from " << from << " in " << start << "+" << length;
                }
            }
        }
    }
    std::string a(19, '\xE4');
    for (std::size_t count = 0; count <= a.size(); ++count) {
        EXPECT_TRUE(SameBytes(a.data(), std::string(a).data(), count));
        for (std::size_t at = 0; at < count; ++at) {
            std::string b = a;
            b[at] = '\x64';  // the same low bits
            EXPECT_FALSE(SameBytes(a.data(), b.data(), count)) << at << " of " << count;
        }
    }
}

}  // namespace
