// Reading a data file's titles, types, rows, header and footer into a new store.
#include "formats/data_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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

TEST(DataFile, ATableMemoryCannotHoldIsNotLoadedOrHasItsLongestRowsCut) {
    // A row of 8103 bytes makes every slot that long: 400000 empty lines need 3.2 GB of 64 MB.
    DataFileTable table;
    EXPECT_EQ(ReadDataFileTable(LongRowOverMany(32, 250, 400000, "") + "end", table, kFixedClock,
                                LimitedReallocate),
              TableReadResult::OutOfMemory);
    EXPECT_EQ(table.store, nullptr);
    // 2001 slots of 60121 bytes do not fit, of 30060 they do: the long row keeps 116 cells.
    Loaded cut;
    ASSERT_EQ(ReadDataFileTable(LongRowOverMany(233, 255, 2000, "x"), cut.table, kFixedClock,
                                LimitedReallocate),
              TableReadResult::Read);
    EXPECT_EQ(cut.table.store->CountRows(), 2001u);
    EXPECT_EQ(cut.table.cut_rows, 1u);
    EXPECT_EQ(cut.Cell(0, 11 + 115), std::string(255, 'v'));
    EXPECT_EQ(cut.Cell(0, 11 + 116), "");
}

TEST(DataFile, AProgressFollowsBothPassesOverTheRowsAndStoppedLeavesNoTable) {
    std::string file = "Titles:\r\nA\r\nData:";
    for (int row = 0; row < 2000; ++row) file += "\r\nx" + std::to_string(row);
    const auto size = static_cast<std::int64_t>(file.size());
    StoppingProgress followed;
    Loaded whole;
    ASSERT_EQ(ReadDataFileTable(file, whole.table, kFixedClock, nullptr, &followed), TableReadResult::Read);
    EXPECT_EQ(whole.table.store->CountRows(), 2000u);
    // Rows 0 and 1024 of each pass, at their bytes, out of twice the file's length.
    const std::int64_t row0 = static_cast<std::int64_t>(file.find("x0"));
    const std::int64_t row1024 = static_cast<std::int64_t>(file.find("x1024"));
    const std::vector<std::pair<std::int64_t, std::int64_t>> asked = {
        {row0, 2 * size}, {row1024, 2 * size}, {size + row0, 2 * size}, {size + row1024, 2 * size}};
    EXPECT_EQ(followed.calls, asked);

    for (int stop_at : {1, 2, 3, 4}) {
        StoppingProgress stopping(stop_at);
        DataFileTable table;
        table.header = "before";
        EXPECT_EQ(ReadDataFileTable(file, table, kFixedClock, nullptr, &stopping), TableReadResult::Cancelled)
            << stop_at;
        EXPECT_EQ(table.store, nullptr) << stop_at;
        EXPECT_EQ(table.header, "before") << stop_at;
        EXPECT_EQ(static_cast<int>(stopping.calls.size()), stop_at);
    }
}

int g_reallocations = 0;

void* CountedReallocate(void* block, std::size_t bytes) {
    ++g_reallocations;
    return std::realloc(block, bytes);
}

TEST(DataFile, RowsGrowingLongerAreStoredInOneGrowthAsRowByRow) {
    // Each row is longer than all before it: the store takes its final size at once instead
    // of widening and moving every stored row for each new one.
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
    EXPECT_LE(g_reallocations, 2) << "the first block and the one growth for the rows";

    // The image is the one the store builds from the same rows one by one.
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

}  // namespace
