// Tests of TableStore: image bytes at their offsets, rows and their stored form, scrambling,
// limits, failures.
#include "store/table_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Reallocation that counts its calls, can be told to fail, and fills the bytes a growth adds
// with 0xCD, so failure paths really run and nothing may rely on grown memory being zero.
struct Allocations {
    int calls = 0;
    bool fail = false;
    std::map<void*, std::size_t> sizes;
};
Allocations g_allocations;

void* ControlledReallocate(void* block, std::size_t bytes) {
    ++g_allocations.calls;
    if (g_allocations.fail) return nullptr;
    void* grown = std::malloc(bytes);
    if (grown == nullptr) return nullptr;
    std::memset(grown, 0xCD, bytes);
    if (block != nullptr) {
        std::memcpy(grown, block, std::min(g_allocations.sizes[block], bytes));
        g_allocations.sizes.erase(block);
        std::free(block);
    }
    g_allocations.sizes[grown] = bytes;
    return grown;
}

// A clock that reads the given milliseconds in turn, then keeps reading the last one.
MillisecondClock ClockReading(std::vector<int> readings, int* calls = nullptr) {
    auto next = std::make_shared<std::size_t>(0);
    return [readings = std::move(readings), next, calls]() {
        if (calls != nullptr) ++*calls;
        std::size_t at = *next < readings.size() ? (*next)++ : readings.size() - 1;
        return readings[at];
    };
}

// The key of a row begun at 500 ms: 500 / 5 + 31.
constexpr std::uint8_t kKeyAt500 = 131;

unsigned U16(const std::uint8_t* bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8);
}

unsigned long U32(const std::uint8_t* bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
           (static_cast<unsigned long>(bytes[at + 3]) << 24);
}

Bytes Snapshot(const TableStore& store) {
    StoreImageView image = store.Image();
    return Bytes(image.bytes, image.bytes + image.length);
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes Filled(std::size_t count, std::uint8_t first) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i * 7);
    return bytes;
}

// The record bytes a row must hold, computed here independently of the store.
Bytes ExpectedRecord(std::uint8_t key, std::uint32_t record_identifier,
                     const std::vector<std::pair<std::int16_t, Bytes>>& fields) {
    Bytes record = {0,
                    key,
                    static_cast<std::uint8_t>(record_identifier),
                    static_cast<std::uint8_t>(record_identifier >> 8),
                    static_cast<std::uint8_t>(record_identifier >> 16),
                    static_cast<std::uint8_t>(record_identifier >> 24)};
    for (const auto& field : fields) {
        record.push_back(static_cast<std::uint8_t>(field.second.size()));
        record.push_back(static_cast<std::uint8_t>(field.first & 0xFF));
        record.push_back(static_cast<std::uint8_t>((field.first >> 8) & 0xFF));
        for (std::size_t i = 0; i < field.second.size(); ++i) {
            std::uint8_t mask = key == 0 ? 0 : static_cast<std::uint8_t>((key + i) % 256);
            record.push_back(field.second[i] ^ mask);
        }
    }
    record.push_back(0);
    return record;
}

Bytes Prefix(const std::uint8_t* bytes, std::size_t count) {
    return Bytes(bytes, bytes + count);
}

Bytes Scrambled(const Bytes& value, std::uint8_t key) {
    Bytes scrambled(value);
    for (std::size_t i = 0; i < value.size(); ++i) scrambled[i] ^= static_cast<std::uint8_t>(key + i);
    return scrambled;
}

Bytes Joined(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

Bytes StoredRow(const TableStore& store, std::int64_t row) {
    StoreImageView record = store.RowRecord(row);
    return Bytes(record.bytes, record.bytes + record.length);
}

// A row buffer of exactly `capacity` heap bytes, so AddressSanitizer sees any write past it.
struct RowBuffer {
    explicit RowBuffer(std::size_t capacity = 8192) : bytes(capacity, 0) {}
    std::uint8_t* data() { return bytes.data(); }
    std::size_t capacity() const { return bytes.size(); }
    std::size_t Put(std::int16_t identifier, const Bytes& value, std::size_t limit = 8192) {
        return TableStore::PutField(bytes.data(), bytes.size(), identifier, value.data(),
                                    value.size(), limit);
    }
    Bytes bytes;
};

std::size_t AddRowWithCells(TableStore& store,
                            const std::vector<std::pair<std::int16_t, Bytes>>& cells) {
    RowBuffer row;
    std::size_t length = store.BeginRow(row.data(), row.capacity());
    for (const auto& cell : cells) length = row.Put(cell.first, cell.second);
    EXPECT_TRUE(store.AddRow(row.data(), row.capacity()));
    return length;
}

std::string CellText(const TableStore& store, std::int64_t row, std::int16_t identifier) {
    std::uint8_t output[255];
    std::size_t length = store.GetCellText(row, identifier, output, sizeof output);
    return std::string(reinterpret_cast<const char*>(output), length);
}

class TableStoreTest : public ::testing::Test {
protected:
    void SetUp() override { g_allocations = Allocations(); }
    void TearDown() override { g_allocations = Allocations(); }
};

// ---- A new store -------------------------------------------------------------------------------

TEST_F(TableStoreTest, NewStoreHoldsOnlyTheHeader) {
    TableStore store(ClockReading({500}));
    Bytes expected = {0x13, 0x8D, 0x0B, 0x00,  // magic 757011
                      50,   0,                 // format
                      64,   0,                 // record area offset
                      0,    0,                 // record size
                      0,    0,    0,    0,     // record count
                      0,    0,                 // column count
                      64,   0,                 // column table offset
                      1,    0,    0,    0};    // next record identifier
    expected.resize(64, 0);                    // reserved
    EXPECT_EQ(Snapshot(store), expected);
    EXPECT_EQ(store.CountColumns(), 0);
    EXPECT_EQ(store.CountRows(), 0u);
    StoreColumn column;
    EXPECT_FALSE(store.GetColumn(0, column));
    EXPECT_FALSE(store.FindColumn(11, column));

    std::uint8_t output[255];
    std::memset(output, 0xAA, sizeof output);
    EXPECT_EQ(store.GetCellText(0, 11, output, sizeof output), 0u);
    EXPECT_EQ(Prefix(output, sizeof output), Bytes(sizeof output, 0));
}

// ---- Columns -----------------------------------------------------------------------------------

TEST_F(TableStoreTest, ColumnsAreAppendedAsDescriptorsAfterTheHeader) {
    TableStore store(ClockReading({500}));
    ASSERT_TRUE(store.PutColumn(MakeStoreColumn(11, kTextColumn, "Име")));
    ASSERT_TRUE(store.PutColumn(MakeStoreColumn(12, kNumberColumn, "Сума")));
    ASSERT_TRUE(store.PutColumn(MakeStoreColumn(-2, kPictureColumn, "Снимка")));

    Bytes image = Snapshot(store);
    ASSERT_EQ(image.size(), 64u + 3 * 62);
    EXPECT_EQ(U16(image.data(), 14), 3u);           // column count
    EXPECT_EQ(U16(image.data(), 6), 64u + 3 * 62);  // record area offset
    EXPECT_EQ(U16(image.data(), 16), 64u);          // column table offset

    Bytes second(image.begin() + 126, image.begin() + 188);
    Bytes expected_second(62, 0);
    expected_second[0] = 12;
    expected_second[2] = kNumberColumn;
    const std::uint8_t name[] = {0xD1, 0xF3, 0xEC, 0xE0};  // "Сума" in code page 1251
    std::memcpy(&expected_second[29], name, sizeof name);
    EXPECT_EQ(second, expected_second);

    EXPECT_EQ(image[64], 11);
    EXPECT_EQ(image[188], 0xFE);  // -2, little-endian
    EXPECT_EQ(image[189], 0xFF);
    EXPECT_EQ(image[190], kPictureColumn);

    StoreColumn column;
    ASSERT_TRUE(store.GetColumn(2, column));
    EXPECT_EQ(StoreColumnIdentifier(column), -2);
    ASSERT_TRUE(store.FindColumn(-2, column));
    EXPECT_STREQ(column.name, "Снимка");
    EXPECT_FALSE(store.FindColumn(2, column));
}

TEST_F(TableStoreTest, ColumnNameIsCutToThirtyTwoCharacters) {
    StoreColumn column =
        MakeStoreColumn(11, kTextColumn, "0123456789012345678901234567890123456789");
    EXPECT_EQ(std::string(column.name), "01234567890123456789012345678901");
    EXPECT_EQ(column.name[32], '\0');
}

TEST_F(TableStoreTest, PutColumnWithKnownIdentifierReplacesItsDescriptor) {
    TableStore store(ClockReading({500}));
    ASSERT_TRUE(store.PutColumn(MakeStoreColumn(11, kTextColumn, "A")));
    ASSERT_TRUE(store.PutColumn(MakeStoreColumn(12, kTextColumn, "B")));
    ASSERT_TRUE(store.PutColumn(MakeStoreColumn(11, kDateColumn, "Дата")));
    EXPECT_EQ(store.CountColumns(), 2);
    Bytes image = Snapshot(store);
    EXPECT_EQ(image.size(), 64u + 2 * 62);
    EXPECT_EQ(image[64 + 2], kDateColumn);
    EXPECT_EQ(image[64 + 29], 0xC4);  // 'Д' in code page 1251
    StoreColumn column;
    ASSERT_TRUE(store.GetColumn(1, column));
    EXPECT_STREQ(column.name, "B");
}

TEST_F(TableStoreTest, PutColumnRefusesIdentifierZero) {
    TableStore store(ClockReading({500}));
    Bytes before = Snapshot(store);
    EXPECT_FALSE(store.PutColumn(MakeStoreColumn(0, kTextColumn, "Нула")));
    EXPECT_EQ(Snapshot(store), before);
}

TEST_F(TableStoreTest, GetColumnRefusesIndicesOutOfRange) {
    TableStore store(ClockReading({500}));
    ASSERT_TRUE(store.PutColumn(MakeStoreColumn(11, kTextColumn, "A")));
    StoreColumn column;
    for (int index : {-1, 1, 2, 65535}) {
        SCOPED_TRACE(index);
        EXPECT_FALSE(store.GetColumn(index, column));
        EXPECT_FALSE(store.SetColumn(index, MakeStoreColumn(13, kTextColumn, "X")));
    }
    EXPECT_TRUE(store.GetColumn(0, column));
}

TEST_F(TableStoreTest, SetColumnReportsWhetherTheDescriptorChanged) {
    TableStore store(ClockReading({500}));
    ASSERT_TRUE(store.PutColumn(MakeStoreColumn(11, kTextColumn, "A")));
    ASSERT_TRUE(store.PutColumn(MakeStoreColumn(12, kTextColumn, "B")));
    EXPECT_FALSE(store.SetColumn(1, MakeStoreColumn(12, kTextColumn, "B")));
    EXPECT_TRUE(store.SetColumn(1, MakeStoreColumn(12, kTimeColumn, "B")));
    EXPECT_EQ(Snapshot(store)[126 + 2], kTimeColumn);
    EXPECT_FALSE(store.SetColumn(1, MakeStoreColumn(12, kTimeColumn, "B")));

    // The identifier may be set to one another column has; lookup then finds the first.
    EXPECT_TRUE(store.SetColumn(1, MakeStoreColumn(11, kTimeColumn, "B")));
    StoreColumn column;
    ASSERT_TRUE(store.FindColumn(11, column));
    EXPECT_STREQ(column.name, "A");
}

TEST_F(TableStoreTest, AtMost1055ColumnsFitTheSixteenBitOffsets) {
    TableStore store(ClockReading({500}));
    for (int identifier = 1; identifier <= TableStore::kMostColumns; ++identifier) {
        ASSERT_TRUE(store.PutColumn(
            MakeStoreColumn(static_cast<std::int16_t>(identifier), kTextColumn, "K")));
    }
    EXPECT_EQ(store.CountColumns(), 1055);
    EXPECT_EQ(U16(store.Image().bytes, 6), 65474u);

    Bytes before = Snapshot(store);
    EXPECT_FALSE(store.PutColumn(MakeStoreColumn(1056, kTextColumn, "K")));
    EXPECT_EQ(Snapshot(store), before);

    // Replacing a column needs no room, so it still works at the limit; so do rows.
    EXPECT_TRUE(store.PutColumn(MakeStoreColumn(500, kNumberColumn, "Пет")));
    EXPECT_EQ(store.Image().bytes[64 + 499 * 62 + 2], kNumberColumn);
    AddRowWithCells(store, {{1055, Text("last")}});
    EXPECT_EQ(CellText(store, 0, 1055), "last");
    EXPECT_EQ(store.Image().length, 65474u);
}

TEST_F(TableStoreTest, AddingColumnsAfterRowsMovesOnlyTheRecordAreaOffset) {
    TableStore store(ClockReading({500}));
    AddRowWithCells(store, {{11, Text("Петров")}, {12, Text("12.50")}});
    AddRowWithCells(store, {{11, Text("Иванова")}});
    AddRowWithCells(store, {{12, Text("7")}, {99, Text("скрито")}});
    const Bytes rows[] = {StoredRow(store, 0), StoredRow(store, 1), StoredRow(store, 2)};
    EXPECT_EQ(Snapshot(store).size(), 64u);
    EXPECT_EQ(U16(Snapshot(store).data(), 8), 24u);  // the longest record: 7 + (3 + 6) + (3 + 5)

    ASSERT_TRUE(store.PutColumn(MakeStoreColumn(11, kTextColumn, "Име")));
    Bytes image = Snapshot(store);
    EXPECT_EQ(U16(image.data(), 6), 126u);
    EXPECT_EQ(image.size(), 126u);
    EXPECT_EQ(image[64], 11);

    ASSERT_TRUE(store.PutColumn(MakeStoreColumn(12, kNumberColumn, "Сума")));
    image = Snapshot(store);
    EXPECT_EQ(U16(image.data(), 6), 188u);
    EXPECT_EQ(image[126], 12);
    for (int row = 0; row < 3; ++row) EXPECT_EQ(StoredRow(store, row), rows[row]) << row;

    EXPECT_EQ(CellText(store, 0, 11), "Петров");
    EXPECT_EQ(CellText(store, 0, 12), "12.50");
    EXPECT_EQ(CellText(store, 1, 11), "Иванова");
    EXPECT_EQ(CellText(store, 1, 12), "");
    EXPECT_EQ(CellText(store, 2, 12), "7");
    EXPECT_EQ(CellText(store, 2, 99), "скрито");  // kept although no column 99 exists
}

// ---- Building rows -----------------------------------------------------------------------------

struct KeyCase {
    std::vector<int> readings;
    std::uint8_t key;
    int clock_reads;
};

TEST_F(TableStoreTest, ScrambleKeyComesFromTheMillisecondsAndSkipsTheStartOfASecond) {
    const KeyCase cases[] = {
        {{500}, 131, 1},
        {{5}, 32, 1},
        {{999}, 230, 1},
        {{0, 4, 4, 5}, 32, 4},  // 0..4 ms would give 31
        {{3, 998}, 230, 2},
        {{1000 + 500}, (300 + 31) % 256, 1},  // a clock past 999 still gives a key in range
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.readings.front());
        int reads = 0;
        TableStore store(ClockReading(c.readings, &reads));
        std::uint8_t row[7];
        ASSERT_EQ(store.BeginRow(row, sizeof row), 7u);
        EXPECT_EQ(row[1], c.key);
        EXPECT_EQ(reads, c.clock_reads);
    }
}

TEST_F(TableStoreTest, BeginRowWritesAnEmptyRecordWithTheNextIdentifier) {
    TableStore store(ClockReading({500}));
    RowBuffer row(16);
    std::memset(row.data(), 0xEE, 16);
    ASSERT_EQ(store.BeginRow(row.data(), row.capacity()), 7u);
    EXPECT_EQ(Prefix(row.data(), 8), (Bytes{0, kKeyAt500, 1, 0, 0, 0, 0, 0xEE}));
    ASSERT_TRUE(store.AddRow(row.data(), row.capacity()));
    ASSERT_EQ(store.BeginRow(row.data(), row.capacity()), 7u);
    EXPECT_EQ(U32(row.data(), 2), 2ul);

    std::uint8_t small[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(store.BeginRow(small, sizeof small), 0u);
    EXPECT_EQ(Prefix(small, 6), Bytes(6, 9));
}

TEST_F(TableStoreTest, PutFieldScramblesEachByteWithKeyPlusPosition) {
    // Key 230 with a 255-byte value also covers the wrap of key + i past 255.
    TableStore store(ClockReading({999}));
    RowBuffer row;
    store.BeginRow(row.data(), row.capacity());
    Bytes name = Text("Петрова");
    Bytes long_value = Filled(255, 3);
    EXPECT_EQ(row.Put(11, name), 7u + 3 + 7);
    EXPECT_EQ(row.Put(-300, long_value), 7u + 3 + 7 + 3 + 255);

    Bytes expected = ExpectedRecord(230, 1, {{11, name}, {-300, long_value}});
    EXPECT_EQ(Prefix(row.data(), expected.size()), expected);
    EXPECT_EQ(row.bytes[9] ^ 230, name[0]);
    EXPECT_EQ(row.bytes[10] ^ 231, name[1]);

    ASSERT_TRUE(store.AddRow(row.data(), row.capacity()));
    // Identifiers 311 apart make a sparse row: key, shape 0x81, first identifier, count, the
    // identifiers, the lengths, then the cells in column order, still scrambled.
    EXPECT_EQ(StoredRow(store, 0),
              Joined({{230, 0x81, 0xD4, 0xFE, 2, 0, 0xD4, 0xFE, 11, 0, 255, 7},
                      Prefix(row.data() + 19, 255), Prefix(row.data() + 9, 7)}));

    std::uint8_t output[255];
    ASSERT_EQ(store.GetCellText(0, -300, output, 0), 255u);
    EXPECT_EQ(Prefix(output, 255), long_value);
    EXPECT_EQ(CellText(store, 0, 11), "Петрова");
}

TEST_F(TableStoreTest, SameTextInRowsWithDifferentKeysIsStoredDifferently) {
    TableStore store(ClockReading({500, 700}));
    AddRowWithCells(store, {{11, Text("София")}});
    AddRowWithCells(store, {{11, Text("София")}});
    // Key, one position from the first row's identifier 11, its length (5 letters in code page
    // 1251), the cell.
    EXPECT_EQ(Prefix(StoredRow(store, 0).data(), 3), (Bytes{kKeyAt500, 1, 5}));
    EXPECT_NE(StoredRow(store, 0), StoredRow(store, 1));
    EXPECT_EQ(CellText(store, 0, 11), "София");
    EXPECT_EQ(CellText(store, 1, 11), "София");
}

TEST_F(TableStoreTest, RowWithKeyZeroIsStoredPlain) {
    TableStore store(ClockReading({500}));
    RowBuffer row;
    store.BeginRow(row.data(), row.capacity());
    row.bytes[1] = 0;
    row.Put(11, Text("plain"));
    EXPECT_EQ(Prefix(row.data() + 9, 5), Text("plain"));
    ASSERT_TRUE(store.AddRow(row.data(), row.capacity()));
    EXPECT_EQ(CellText(store, 0, 11), "plain");
}

// Fields of 255 bytes and one smaller field so that the record is exactly `length` bytes.
void FillRowTo(RowBuffer& row, std::size_t length, std::int16_t first_identifier = 100) {
    std::size_t current = 7;
    std::int16_t identifier = first_identifier;
    while (current < length) {
        std::size_t value_length = std::min<std::size_t>(255, length - current - 3);
        ASSERT_GE(value_length, 1u);
        current = row.Put(identifier++, Filled(value_length, 1), 0);
    }
    ASSERT_EQ(current, length);
}

TEST_F(TableStoreTest, PutFieldDropsANewCellThatWouldPassTheLimit) {
    TableStore store(ClockReading({500}));
    RowBuffer row(8192);
    store.BeginRow(row.data(), row.capacity());
    FillRowTo(row, 8192 - 192);
    Bytes before = row.bytes;

    EXPECT_EQ(row.Put(11, Filled(255, 0), 8192), 8000u);  // 3 + 255 exceed the 192 left
    EXPECT_EQ(row.bytes, before);
    EXPECT_EQ(row.Put(11, Filled(190, 0), 8192), 8000u);
    EXPECT_EQ(row.bytes, before);
    EXPECT_EQ(row.Put(11, Filled(189, 0), 8192), 8192u);  // 3 + 189 = 192
    EXPECT_EQ(row.bytes[8191], 0);                        // the end zero is the last byte

    // No limit: the buffer's own size still bounds the record.
    Bytes full = row.bytes;
    EXPECT_EQ(row.Put(12, Filled(1, 0), 0), 8192u);
    EXPECT_EQ(row.bytes, full);
    ASSERT_TRUE(store.AddRow(row.data(), row.capacity()));
    EXPECT_EQ(U16(store.Image().bytes, 8), 8192u);
}

struct LimitCase {
    const char* name;
    std::size_t capacity;
    std::size_t limit;
    std::size_t value_length;
    std::size_t expected_length;
};

TEST_F(TableStoreTest, PutFieldKeepsTheRecordWithinLimitAndBuffer) {
    const LimitCase cases[] = {
        {"fits the limit exactly", 100, 20, 10, 20}, {"one past the limit", 100, 20, 11, 7},
        {"fits the buffer exactly", 20, 0, 10, 20},  {"one past the buffer", 20, 0, 11, 7},
        {"limit above the buffer", 20, 8192, 11, 7}, {"255-byte cell", 265, 0, 255, 265},
        {"over 255 bytes", 1000, 0, 256, 7},
    };
    TableStore store(ClockReading({500}));
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.name);
        RowBuffer row(c.capacity);
        store.BeginRow(row.data(), row.capacity());
        EXPECT_EQ(row.Put(11, Filled(c.value_length, 5), c.limit), c.expected_length);
        if (c.expected_length == 7) {
            EXPECT_EQ(row.bytes[6], 0);
        }
    }
}

TEST_F(TableStoreTest, PutFieldResizesAndRemovesAnExistingCell) {
    TableStore store(ClockReading({500}));
    RowBuffer row(64);
    store.BeginRow(row.data(), row.capacity());
    Bytes a = Text("aaaa"), b = Text("bbbbbb"), c = Text("cc");
    row.Put(11, a);
    row.Put(12, b);
    row.Put(13, c);
    ASSERT_EQ(Prefix(row.data(), 28), ExpectedRecord(kKeyAt500, 1, {{11, a}, {12, b}, {13, c}}));

    // Longer: the fields after it move up.
    Bytes longer = Text("BBBBBBBBBB");
    EXPECT_EQ(row.Put(12, longer), 32u);
    EXPECT_EQ(Prefix(row.data(), 32),
              ExpectedRecord(kKeyAt500, 1, {{11, a}, {12, longer}, {13, c}}));

    // Shorter: the fields after it move down and the freed bytes are zero.
    Bytes shorter = Text("b");
    EXPECT_EQ(row.Put(12, shorter), 23u);
    EXPECT_EQ(Prefix(row.data(), 23),
              ExpectedRecord(kKeyAt500, 1, {{11, a}, {12, shorter}, {13, c}}));
    EXPECT_EQ(Prefix(row.data() + 23, 41), Bytes(41, 0));

    // Same length, new bytes.
    Bytes same = Text("x");
    EXPECT_EQ(row.Put(12, same), 23u);
    EXPECT_EQ(Prefix(row.data(), 23), ExpectedRecord(kKeyAt500, 1, {{11, a}, {12, same}, {13, c}}));

    // Growth beyond the limit is refused; shrinking below a limit already passed is not.
    Bytes before = row.bytes;
    EXPECT_EQ(row.Put(11, Text("aaaaa"), 23), 23u);
    EXPECT_EQ(row.bytes, before);
    EXPECT_EQ(row.Put(11, Text("aaaaa"), 24), 24u);
    EXPECT_EQ(row.Put(11, Text("aa"), 20), 21u);

    // Length 0 removes the field; the rest moves down and the freed bytes are zero.
    EXPECT_EQ(row.Put(11, Bytes()), 16u);
    EXPECT_EQ(Prefix(row.data(), 16), ExpectedRecord(kKeyAt500, 1, {{12, same}, {13, c}}));
    EXPECT_EQ(Prefix(row.data() + 16, 48), Bytes(48, 0));

    // Length 0 for a cell that is not there changes nothing.
    before = row.bytes;
    EXPECT_EQ(row.Put(11, Bytes()), 16u);
    EXPECT_EQ(row.bytes, before);

    ASSERT_TRUE(store.AddRow(row.data(), row.capacity()));
    EXPECT_EQ(CellText(store, 0, 11), "");
    EXPECT_EQ(CellText(store, 0, 12), "x");
    EXPECT_EQ(CellText(store, 0, 13), "cc");
}

TEST_F(TableStoreTest, MalformedRowBuffersAreRefused) {
    TableStore store(ClockReading({500}));
    const char* names[] = {"no end zero", "field runs past the buffer"};
    for (int damage = 0; damage < 2; ++damage) {
        SCOPED_TRACE(names[damage]);
        RowBuffer row(32);
        store.BeginRow(row.data(), row.capacity());
        if (damage == 0) {
            std::memset(row.data() + 6, 1, 26);  // fields of one byte up to the buffer's end
        } else {
            row.bytes[6] = 200;
        }
        Bytes before_row = row.bytes;
        Bytes before_store = Snapshot(store);
        EXPECT_EQ(row.Put(11, Text("x")), 0u);
        EXPECT_EQ(row.bytes, before_row);
        EXPECT_FALSE(store.AddRow(row.data(), row.capacity()));
        EXPECT_EQ(Snapshot(store), before_store);
        EXPECT_EQ(store.CountRows(), 0u);
    }
}

// ---- Storing rows ------------------------------------------------------------------------------

TEST_F(TableStoreTest, RowsGetIdentifiersOneTwoThreeAndAreStoredWithoutPadding) {
    TableStore store(ClockReading({500}));
    AddRowWithCells(store, {{11, Text("abcdef")}});  // 16 bytes
    AddRowWithCells(store, {{11, Text("ab")}});      // 12 bytes
    AddRowWithCells(store, {});                      // 7 bytes

    Bytes image = Snapshot(store);
    ASSERT_EQ(image.size(), 64u);
    EXPECT_EQ(U16(image.data(), 8), 16u);   // record size: the longest row
    EXPECT_EQ(U32(image.data(), 10), 3ul);  // record count
    EXPECT_EQ(U32(image.data(), 18), 4ul);  // next record identifier
    EXPECT_EQ(StoredRow(store, 0),
              Joined({{kKeyAt500, 1, 6}, Scrambled(Text("abcdef"), kKeyAt500)}));
    EXPECT_EQ(StoredRow(store, 1),
              Joined({{kKeyAt500, 1, 2}, Scrambled(Text("ab"), kKeyAt500)}));
    // A row without cells takes no stored bytes: it reads as an empty shape without a key.
    EXPECT_EQ(StoredRow(store, 2), (Bytes{0, 0}));
    EXPECT_EQ(store.RowRecord(3).length, 0u);
    EXPECT_EQ(store.RowRecord(-1).length, 0u);
}

TEST_F(TableStoreTest, AddRowWritesTheIdentifierIntoTheCallersBuffer) {
    TableStore store(ClockReading({500}));
    RowBuffer first, second;
    store.BeginRow(first.data(), first.capacity());
    store.BeginRow(second.data(), second.capacity());  // both begun before either is added
    ASSERT_TRUE(store.AddRow(first.data(), first.capacity()));
    ASSERT_TRUE(store.AddRow(second.data(), second.capacity()));
    EXPECT_EQ(U32(first.data(), 2), 1ul);
    EXPECT_EQ(U32(second.data(), 2), 2ul);
    EXPECT_EQ(U32(store.Image().bytes, 18), 3ul);
}

TEST_F(TableStoreTest, LongerRowLeavesStoredRowsAsTheyWere) {
    TableStore store(ClockReading({500}));
    Bytes ten = Filled(10, 1), other_ten = Filled(10, 9), twenty = Filled(20, 2),
          five = Filled(5, 3);

    AddRowWithCells(store, {{11, ten}});        // record 20 bytes
    AddRowWithCells(store, {{11, other_ten}});  // record 20 bytes
    const Bytes first = StoredRow(store, 0), second = StoredRow(store, 1);
    EXPECT_EQ(first, Joined({{kKeyAt500, 1, 10}, Scrambled(ten, kKeyAt500)}));

    AddRowWithCells(store, {{12, twenty}});  // record 30 bytes
    EXPECT_EQ(U16(store.Image().bytes, 8), 30u);
    EXPECT_EQ(StoredRow(store, 0), first);
    EXPECT_EQ(StoredRow(store, 1), second);
    EXPECT_EQ(StoredRow(store, 2), Joined({{kKeyAt500, 2, 0, 20}, Scrambled(twenty, kKeyAt500)}));

    AddRowWithCells(store, {{13, five}});  // shorter: the record size stays
    EXPECT_EQ(U16(store.Image().bytes, 8), 30u);

    std::uint8_t output[255];
    ASSERT_EQ(store.GetCellText(0, 11, output, sizeof output), 10u);
    EXPECT_EQ(Prefix(output, 10), ten);
    ASSERT_EQ(store.GetCellText(1, 11, output, sizeof output), 10u);
    EXPECT_EQ(Prefix(output, 10), other_ten);
    ASSERT_EQ(store.GetCellText(2, 12, output, sizeof output), 20u);
    EXPECT_EQ(Prefix(output, 20), twenty);
    ASSERT_EQ(store.GetCellText(3, 13, output, sizeof output), 5u);
    EXPECT_EQ(Prefix(output, 5), five);
}

TEST_F(TableStoreTest, RowsFromTheFirstColumnsTakeATwoByteHeader) {
    // The shape byte below 0x80 counts the positions from the lowest column identifier, here 1;
    // a row starting further on or before it, with more than 127 positions, or with gaps that
    // make it sparse keeps the full header.
    struct ShapeCase {
        std::vector<std::int16_t> identifiers;
        Bytes header;  // key, shape, [first identifier, count]
        std::size_t lengths;  // length bytes after the header
    };
    const ShapeCase cases[] = {
        {{1, 2, 3, 4, 5, 6}, {kKeyAt500, 6}, 6},
        {{2, 3}, {kKeyAt500, 3}, 3},                       // an empty first cell stays a position
        {{5}, {kKeyAt500, 5}, 5},                          // four empty positions cost what a full header does
        {{6}, {kKeyAt500, 0x80, 6, 0, 1, 0}, 1},
        {{1, 127}, {kKeyAt500, 0x81, 1, 0, 2, 0, 1, 0, 127, 0}, 2},
        {{-1, 1}, {kKeyAt500, 0x80, 0xFF, 0xFF, 3, 0}, 3},
        {{}, {0, 0}, 0},  // no cells: no stored bytes, an empty shape
    };
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(c.header.size());
        TableStore store(ClockReading({500}));
        for (std::int16_t identifier = 6; identifier >= 1; --identifier) {
            ASSERT_TRUE(store.PutColumn(MakeStoreColumn(identifier, kTextColumn, "column")));
        }
        std::vector<std::pair<std::int16_t, Bytes>> cells;
        for (std::int16_t identifier : c.identifiers) cells.push_back({identifier, Text("c" + std::to_string(identifier))});
        AddRowWithCells(store, cells);
        const Bytes stored = StoredRow(store, 0);
        ASSERT_GE(stored.size(), c.header.size());
        EXPECT_EQ(Prefix(stored.data(), c.header.size()), c.header);
        std::size_t cell_bytes = 0;
        for (const auto& cell : cells) cell_bytes += cell.second.size();
        EXPECT_EQ(stored.size(), c.header.size() + c.lengths + cell_bytes);
        for (std::int16_t identifier = -2; identifier <= 130; ++identifier) {
            const bool has = std::find(c.identifiers.begin(), c.identifiers.end(), identifier) != c.identifiers.end();
            EXPECT_EQ(CellText(store, 0, identifier), has ? "c" + std::to_string(identifier) : "") << identifier;
        }
    }
}

TEST_F(TableStoreTest, RowsOfBothHeadersReadBackAcrossBlocksOfRows) {
    // Short rows, rows too long for the short header (200 columns, a start offset every 16)
    // and empty rows in turn, over several blocks of 256 rows; then a run of empty rows that
    // starts a block and crosses a page of the index (16,384 rows), and a row after it.
    TableStore store(ClockReading({500}), ControlledReallocate);
    auto cells_of = [](int row) {
        std::vector<std::pair<std::int16_t, Bytes>> cells;
        const int columns = row % 3 == 0 ? 6 : (row % 3 == 1 ? 200 : 0);
        for (int column = 1; column <= columns; ++column) {
            cells.push_back({static_cast<std::int16_t>(column), Filled(1 + (row + column) % 40, static_cast<std::uint8_t>(row))});
        }
        return cells;
    };
    for (int row = 0; row < 1000; ++row) AddRowWithCells(store, cells_of(row));
    ASSERT_EQ(store.CountRows(), 1000u);
    const std::size_t record_bytes_before = [&] {
        std::size_t bytes = 0;
        for (int row = 0; row < 1000; ++row) bytes += store.RowRecord(row).length;
        return bytes;
    }();
    while (store.CountRows() < 1024) AddRowWithCells(store, cells_of(0));
    const int calls_before_empty_rows = g_allocations.calls;
    while (store.CountRows() < 20000) ASSERT_TRUE(store.AddRowOfCells(nullptr, 0));
    // Empty rows take no memory of their own: neither record bytes nor distances.
    EXPECT_EQ(g_allocations.calls - calls_before_empty_rows, 0);
    AddRowWithCells(store, {{1, Text("last")}});
    EXPECT_EQ(g_allocations.calls - calls_before_empty_rows, 1);  // its page of distances
    ASSERT_EQ(store.CountRows(), 20001u);
    EXPECT_EQ(CellText(store, 20000, 1), "last");
    for (int row : {1024, 1279, 1280, 16383, 16384, 19999}) {
        EXPECT_EQ(CellText(store, row, 1), "") << row;
        EXPECT_EQ(StoredRow(store, row), (Bytes{0, 0})) << row;
    }
    std::size_t record_bytes = 0;
    for (int row = 0; row < 1000; ++row) record_bytes += store.RowRecord(row).length;
    EXPECT_EQ(record_bytes, record_bytes_before);
    for (int row = 0; row < 1000; ++row) {
        const auto cells = cells_of(row);
        for (int column : {1, 6, 17, 33, 200, 201}) {
            const Bytes expected = column <= static_cast<int>(cells.size()) ? cells[static_cast<std::size_t>(column - 1)].second : Bytes();
            std::uint8_t output[255];
            const std::size_t length = store.GetCellText(row, static_cast<std::int16_t>(column), output, sizeof output);
            ASSERT_EQ(Bytes(output, output + length), expected) << "row " << row << " column " << column;
        }
    }
}

TEST_F(TableStoreTest, RowsSurviveTheGrowthOfTheirMemory) {
    // Grown memory is filled with 0xCD: the first chunk moves as it grows, later ones are new.
    // Every value differs, so every row keeps its bytes.
    TableStore store(ClockReading({500}), ControlledReallocate);
    auto value_of = [](int index) {
        Bytes value = Filled(100, static_cast<std::uint8_t>(index));
        value[0] = static_cast<std::uint8_t>(index >> 8);
        return value;
    };
    for (int index = 0; index < 60000; ++index) AddRowWithCells(store, {{11, value_of(index)}});
    for (int index : {0, 1, 40, 41, 39999, 59999}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(StoredRow(store, index), Joined({{kKeyAt500, 1, 100}, Scrambled(value_of(index), kKeyAt500)}));
    }
}

TEST_F(TableStoreTest, RowsAreFoundAcrossTheBlocksOfTheRowIndexWhateverTheirLengths) {
    // Short rows, then a run of rows of 50,000 bytes (two of them in a block of rows lie further
    // apart than 16 bits reach, and they fill more than one 4 MiB chunk), then short rows again.
    TableStore store(ClockReading({500}), ControlledReallocate);
    const Bytes long_cell = Filled(250, 7);
    auto short_cell = [](int row) { return Filled(static_cast<std::size_t>(row % 9 + 1), static_cast<std::uint8_t>(row)); };
    auto is_long = [](int row) { return row >= 300 && row < 400; };
    // Rows without cells among them, in narrow and wide blocks, before and after a long row.
    auto is_empty = [](int row) { return row % 50 == 49 || (row >= 310 && row < 320); };
    constexpr int kRows = 1000;
    for (int row = 0; row < kRows; ++row) {
        std::vector<StoreCell> cells;
        const Bytes first = is_empty(row) ? Bytes() : short_cell(row);
        if (is_empty(row)) {
            ASSERT_TRUE(store.AddRowOfCells(cells.data(), 0)) << row;
            continue;
        }
        cells.push_back({11, first.size(), first.data()});
        for (std::int16_t id = 12; is_long(row) && id < 212; ++id) cells.push_back({id, long_cell.size(), long_cell.data()});
        ASSERT_TRUE(store.AddRowOfCells(cells.data(), cells.size())) << row;
    }
    ASSERT_EQ(store.CountRows(), static_cast<std::uint32_t>(kRows));
    std::vector<std::uint32_t> rows(kRows);
    for (int row = 0; row < kRows; ++row) rows[static_cast<std::size_t>(row)] = static_cast<std::uint32_t>(kRows - 1 - row);
    std::vector<std::uint8_t> texts(kRows * TableStore::kCellStride), lengths(kRows);
    store.GetColumnCells(11, rows.data(), rows.size(), texts.data(), lengths.data());
    for (int row = 0; row < kRows; ++row) {
        SCOPED_TRACE(row);
        const Bytes expected = is_empty(row) ? Bytes() : short_cell(row);
        ASSERT_EQ(CellText(store, row, 11), std::string(expected.begin(), expected.end()));
        ASSERT_EQ(CellText(store, row, 211), is_long(row) && !is_empty(row) ? std::string(long_cell.begin(), long_cell.end()) : std::string());
        const std::size_t k = static_cast<std::size_t>(kRows - 1 - row);
        ASSERT_EQ(lengths[k], expected.size());
        ASSERT_EQ(Bytes(texts.begin() + k * TableStore::kCellStride, texts.begin() + k * TableStore::kCellStride + lengths[k]), expected);
    }
}

TEST_F(TableStoreTest, RecordWithRepeatedColumnUsesItsLastField) {
    // Rows built elsewhere may repeat a column; the last field is the cell, for writing and
    // reading.
    TableStore store(ClockReading({500}));
    RowBuffer row(64);
    store.BeginRow(row.data(), row.capacity());
    Bytes built = ExpectedRecord(kKeyAt500, 1, {{11, Text("first")}, {11, Text("last")}});
    std::memcpy(row.data(), built.data(), built.size());

    EXPECT_EQ(row.Put(11, Text("LAST!")), built.size() + 1);
    Bytes expected = ExpectedRecord(kKeyAt500, 1, {{11, Text("first")}, {11, Text("LAST!")}});
    EXPECT_EQ(Prefix(row.data(), expected.size()), expected);
    ASSERT_TRUE(store.AddRow(row.data(), row.capacity()));
    EXPECT_EQ(CellText(store, 0, 11), "LAST!");
}

// Rows of each shape the stored form tells apart: dense with gaps across runs of 16 positions,
// sparse with identifiers at both ends of the 16-bit range, cells of 255 bytes, columns out of
// order and repeated (the last field wins), no cells. Every identifier near the row's reads what
// the row holds, so a cell found at a wrong position cannot pass.
TEST_F(TableStoreTest, EveryCellIsFoundWhateverItsPositionInTheRow) {
    using Cells = std::vector<std::pair<std::int16_t, Bytes>>;
    Cells dense_with_gaps, sparse, long_cells;
    for (int i = 0; i < 60; ++i) {
        if (i % 3 != 1) dense_with_gaps.push_back({static_cast<std::int16_t>(11 + i), Filled(1 + i % 7, 0x41)});
    }
    for (int i = 0; i < 200; ++i) sparse.push_back({static_cast<std::int16_t>(-600 + 3 * i), Filled(2, 0x30)});
    for (int i = 0; i < 30; ++i) long_cells.push_back({static_cast<std::int16_t>(11 + i), Filled(255, static_cast<std::uint8_t>(i))});
    const std::pair<const char*, Cells> shapes[] = {
        {"one cell", {{11, Text("a")}}},
        {"dense with gaps", dense_with_gaps},
        {"sparse", sparse},
        {"range ends", {{-32768, Text("min")}, {-5, Text("neg")}, {11, Text("x")}, {32767, Text("max")}}},
        {"long cells", long_cells},
        {"out of order and repeated", {{14, Text("d")}, {12, Text("b")}, {14, Text("D!")}, {11, Text("a")}}},
        {"no cells", {}},
    };
    TableStore store(ClockReading({500}));
    TableStore from_cells(ClockReading({500}));  // the same rows given as cells
    std::int64_t row_index = 0;
    for (const auto& shape : shapes) {
        SCOPED_TRACE(shape.first);
        RowBuffer row;
        const Bytes record = ExpectedRecord(kKeyAt500, 1, shape.second);
        std::memcpy(row.data(), record.data(), record.size());
        ASSERT_TRUE(store.AddRow(row.data(), row.capacity()));
        std::vector<StoreCell> given;
        for (const auto& cell : shape.second) given.push_back({cell.first, cell.second.size(), cell.second.data()});
        ASSERT_TRUE(from_cells.AddRowOfCells(given.data(), given.size()));
        EXPECT_EQ(StoredRow(from_cells, row_index), StoredRow(store, row_index));
        std::map<int, Bytes> cells;
        for (const auto& cell : shape.second) cells[cell.first] = cell.second;
        std::vector<int> identifiers = {-32768, -32767, 0, 10, 32766, 32767};
        for (const auto& cell : shape.second) {
            for (int near = cell.first - 2; near <= cell.first + 2; ++near) identifiers.push_back(near);
        }
        for (int identifier : identifiers) {
            if (identifier < -32768 || identifier > 32767) continue;
            std::uint8_t output[255];
            const std::size_t length =
                store.GetCellText(row_index, static_cast<std::int16_t>(identifier), output, 0);
            const auto found = cells.find(identifier);
            ASSERT_EQ(Prefix(output, length), found != cells.end() ? found->second : Bytes())
                << "identifier " << identifier;
        }
        ++row_index;
    }
}

// A column read for a list of rows gives what reading its cells one by one gives: across the
// store's 4 MiB chunks, the 16-position runs of a wide row, empty and missing cells, sparse
// rows, the widest row a record can hold, rows out of range and rows asked for twice.
TEST_F(TableStoreTest, ColumnCellsReadWhatCellReadsRead) {
    TableStore store(ClockReading({500}));
    std::vector<std::uint32_t> rows;
    // 40 columns of up to 255 bytes: about 1,100 rows fill the first chunk.
    for (std::uint32_t row = 0; row < 2000; ++row) {
        std::vector<Bytes> texts;
        std::vector<StoreCell> cells;
        texts.reserve(40);
        for (std::int16_t column = 1; column <= 40; ++column) {
            const std::size_t length = (row * 37 + static_cast<std::size_t>(column) * 101) % 256;
            texts.push_back(Filled(length, static_cast<std::uint8_t>(row + column)));
            if (row % 5 != 3 || column % 4 == 0) cells.push_back({column, length, texts.back().data()});
        }
        ASSERT_TRUE(store.AddRowOfCells(cells.data(), cells.size()));
    }
    const StoreCell sparse[] = {{2, 3, "abc"}, {30000, 2, "yz"}};
    ASSERT_TRUE(store.AddRowOfCells(sparse, 2));
    std::vector<StoreCell> widest;  // every second column from 5 to 32,767: one record of 65,535 bytes
    for (int column = 5; column <= 32767; column += 2) {
        widest.push_back({static_cast<std::int16_t>(column), 1, column % 3 == 0 ? "x" : "y"});
    }
    ASSERT_TRUE(store.AddRowOfCells(widest.data(), widest.size()));
    for (std::uint32_t row = 0; row < store.CountRows(); ++row) rows.push_back(row);
    rows.push_back(store.CountRows());      // out of range
    rows.push_back(0xFFFFFFFFu);            // far out of range
    rows.push_back(1500);                   // again
    rows.push_back(3);

    for (int column : {1, 2, 4, 17, 39, 40, 41, 30000, 32765, 32767, -1}) {
        SCOPED_TRACE(column);
        const auto identifier = static_cast<std::int16_t>(column);
        std::vector<std::uint8_t> texts(rows.size() * TableStore::kCellStride, 0xCD);
        std::vector<std::uint8_t> lengths(rows.size(), 0xCD), lengths_only(rows.size(), 0xCD);
        store.GetColumnCells(identifier, rows.data(), rows.size(), texts.data(), lengths.data());
        store.GetColumnCells(identifier, rows.data(), rows.size(), nullptr, lengths_only.data());
        EXPECT_EQ(lengths_only, lengths);
        std::size_t non_empty = 0;
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const std::string expected = CellText(store, rows[k], identifier);
            ASSERT_EQ(std::string(reinterpret_cast<const char*>(&texts[k * TableStore::kCellStride]),
                                  lengths[k]),
                      expected)
                << "row " << rows[k];
            non_empty += !expected.empty();
        }
        if (column <= 40 && column > 0) {
            EXPECT_GT(non_empty, 1000u);
        }
    }
    EXPECT_EQ(CellText(store, 2001, 32767), "y");
    EXPECT_EQ(CellText(store, 2001, 32765), "y");
    EXPECT_EQ(CellText(store, 2001, 32763), "x");
}

TEST_F(TableStoreTest, AddRowOfCellsRefusesWhatARecordCannotHold) {
    TableStore store(ClockReading({500}));
    const Bytes long_cell = Filled(256, 1), cell = Filled(255, 2);
    const StoreCell too_long[] = {{11, long_cell.size(), long_cell.data()}};
    EXPECT_FALSE(store.AddRowOfCells(too_long, 1));
    const StoreCell no_bytes[] = {{11, 3, nullptr}};
    EXPECT_FALSE(store.AddRowOfCells(no_bytes, 1));
    // 254 cells of 255 bytes make a record of 7 + 254 * 258 = 65539 bytes; 253 make 65281.
    std::vector<StoreCell> cells;
    for (std::int16_t identifier = 11; identifier < 11 + 254; ++identifier) {
        cells.push_back({identifier, cell.size(), cell.data()});
    }
    EXPECT_FALSE(store.AddRowOfCells(cells.data(), cells.size()));
    EXPECT_EQ(store.CountRows(), 0u);
    ASSERT_TRUE(store.AddRowOfCells(cells.data(), cells.size() - 1));
    EXPECT_EQ(U16(store.Image().bytes, 8), 65281u);
    EXPECT_EQ(U32(store.Image().bytes, 18), 2ul);
    EXPECT_EQ(CellText(store, 0, 11 + 252), std::string(cell.begin(), cell.end()));
    EXPECT_EQ(CellText(store, 0, 11 + 253), "");
    const StoreCell empty[] = {{12, 0, nullptr}};
    ASSERT_TRUE(store.AddRowOfCells(empty, 1));
    EXPECT_EQ(StoredRow(store, 1), (Bytes{0, 0}));
}

TEST_F(TableStoreTest, RecordSizeStopsAtSixteenBits) {
    TableStore store(ClockReading({500}));
    RowBuffer row(70000);
    store.BeginRow(row.data(), row.capacity());
    FillRowTo(row, 65535);
    ASSERT_TRUE(store.AddRow(row.data(), row.capacity()));
    EXPECT_EQ(U16(store.Image().bytes, 8), 65535u);

    Bytes before = Snapshot(store);
    store.BeginRow(row.data(), row.capacity());
    FillRowTo(row, 65536);
    EXPECT_FALSE(store.AddRow(row.data(), row.capacity()));
    EXPECT_EQ(Snapshot(store), before);
    EXPECT_EQ(store.CountRows(), 1u);
}

TEST_F(TableStoreTest, GetCellTextCopiesAtMostTheOutputSize) {
    TableStore store(ClockReading({500}));
    AddRowWithCells(store, {{11, Text("Благоевград")}});  // 11 bytes
    struct Case {
        std::size_t output_size;
        std::size_t copied;
    };
    for (Case c : {Case{0, 11}, Case{1, 1}, Case{4, 4}, Case{11, 11}, Case{255, 11}}) {
        SCOPED_TRACE(c.output_size);
        std::uint8_t output[256];
        std::memset(output, 0xAA, sizeof output);
        EXPECT_EQ(store.GetCellText(0, 11, output, c.output_size), c.copied);
        EXPECT_EQ(Prefix(output, c.copied), Prefix(Text("Благоевград").data(), c.copied));
        EXPECT_EQ(output[c.copied], 0xAA);  // no terminating zero, nothing beyond
    }
}

TEST_F(TableStoreTest, MissingCellsAndRowsReadAsZeroFilledOutput) {
    TableStore store(ClockReading({500}));
    AddRowWithCells(store, {{11, Text("x")}});
    AddRowWithCells(store, {{11, Text("y")}});
    struct Case {
        std::int64_t row;
        std::int16_t identifier;
    };
    for (Case c : {Case{0, 12}, Case{-1, 11}, Case{2, 11}, Case{1LL << 40, 11}, Case{0, 0}}) {
        SCOPED_TRACE(testing::Message() << c.row << "/" << c.identifier);
        std::uint8_t output[20];
        std::memset(output, 0xAA, sizeof output);
        EXPECT_EQ(store.GetCellText(c.row, c.identifier, output, 16), 0u);
        EXPECT_EQ(Prefix(output, 16), Bytes(16, 0));
        EXPECT_EQ(output[16], 0xAA);
    }
    std::uint8_t untouched = 0xAA;
    EXPECT_EQ(store.GetCellText(5, 11, &untouched, 0), 0u);
    EXPECT_EQ(untouched, 0xAA);
}

// ---- Memory ------------------------------------------------------------------------------------

TEST_F(TableStoreTest, StoreWithoutABlockRefusesEverything) {
    g_allocations.fail = true;
    TableStore store(ClockReading({500}), ControlledReallocate);
    g_allocations.fail = false;
    EXPECT_EQ(store.Image().length, 0u);
    EXPECT_EQ(store.CountColumns(), 0);
    EXPECT_EQ(store.CountRows(), 0u);
    EXPECT_FALSE(store.PutColumn(MakeStoreColumn(11, kTextColumn, "A")));
    RowBuffer row;
    ASSERT_EQ(store.BeginRow(row.data(), row.capacity()), 7u);
    EXPECT_EQ(U32(row.data(), 2), 1ul);
    row.Put(11, Text("a"));
    EXPECT_FALSE(store.AddRow(row.data(), row.capacity()));
    std::uint8_t output[4] = {1, 2, 3, 4};
    EXPECT_EQ(store.GetCellText(0, 11, output, 4), 0u);
    EXPECT_EQ(Prefix(output, 4), Bytes(4, 0));
}

TEST_F(TableStoreTest, FailedGrowthLeavesTheStoreUnchanged) {
    TableStore store(ClockReading({500}), ControlledReallocate);
    AddRowWithCells(store, {{11, Filled(10, 1)}});
    AddRowWithCells(store, {{11, Filled(10, 2)}});
    g_allocations.fail = true;

    // Rows fit until the first chunk of rows is full; the one that needs growth fails cleanly.
    Bytes before;
    RowBuffer row;
    bool refused = false;
    for (int attempt = 0; attempt < 1000 && !refused; ++attempt) {
        before = Snapshot(store);
        store.BeginRow(row.data(), row.capacity());
        row.Put(11, Filled(10, 4));
        if (!store.AddRow(row.data(), row.capacity())) {
            refused = true;
            EXPECT_EQ(Snapshot(store), before);
            EXPECT_EQ(store.RowRecord(store.CountRows()).length, 0u);
        }
    }
    ASSERT_TRUE(refused);
    EXPECT_GT(store.CountRows(), 200u);  // the first chunk holds 4096 bytes of 16-byte rows

    // Moving the record area for a new column fails the same way.
    refused = false;
    for (std::int16_t identifier = 11; identifier < 100 && !refused; ++identifier) {
        before = Snapshot(store);
        if (!store.PutColumn(MakeStoreColumn(identifier, kTextColumn, "A"))) {
            refused = true;
            EXPECT_EQ(Snapshot(store), before);
        }
    }
    ASSERT_TRUE(refused);

    g_allocations.fail = false;
    int rows = static_cast<int>(store.CountRows());
    ASSERT_TRUE(store.AddRow(row.data(), row.capacity()));
    EXPECT_EQ(store.CountRows(), static_cast<std::uint32_t>(rows + 1));
    std::uint8_t output[255];
    ASSERT_EQ(store.GetCellText(0, 11, output, sizeof output), 10u);
    EXPECT_EQ(Prefix(output, 10), Filled(10, 1));
    ASSERT_EQ(store.GetCellText(rows, 11, output, sizeof output), 10u);
    EXPECT_EQ(Prefix(output, 10), Filled(10, 4));

    // Rows without cells need no memory of their own; the first row with cells after them
    // takes its chunk and its page of distances, and a refusal leaves the empty rows as they were.
    TableStore empties(ClockReading({500}), ControlledReallocate);
    for (int index = 0; index < 300; ++index) ASSERT_TRUE(empties.AddRowOfCells(nullptr, 0));
    g_allocations.fail = true;
    const StoreCell cell{11, 1, "x"};
    EXPECT_FALSE(empties.AddRowOfCells(&cell, 1));
    EXPECT_EQ(empties.CountRows(), 300u);
    ASSERT_TRUE(empties.AddRowOfCells(nullptr, 0));
    g_allocations.fail = false;
    ASSERT_TRUE(empties.AddRowOfCells(&cell, 1));
    EXPECT_EQ(CellText(empties, 301, 11), "x");
    for (int index : {0, 255, 256, 300}) EXPECT_EQ(StoredRow(empties, index), (Bytes{0, 0})) << index;
}

TEST_F(TableStoreTest, FillingGrowsTheBlockGeometrically) {
    TableStore store(ClockReading({500}), ControlledReallocate);
    RowBuffer row(128);
    for (int index = 0; index < 100000; ++index) {
        store.BeginRow(row.data(), row.capacity());
        row.Put(11, Filled(100, static_cast<std::uint8_t>(index)));
        ASSERT_TRUE(store.AddRow(row.data(), row.capacity()));
        // Growth by 128 bytes at a time would reallocate about 88000 times.
        ASSERT_LT(g_allocations.calls, 50) << "after " << index + 1 << " rows";
    }
    EXPECT_EQ(store.CountRows(), 100000u);
    std::uint8_t output[255];
    ASSERT_EQ(store.GetCellText(99999, 11, output, sizeof output), 100u);
    EXPECT_EQ(Prefix(output, 100), Filled(100, static_cast<std::uint8_t>(99999)));
}

TEST_F(TableStoreTest, AppendFieldWritesWhatPutFieldWritesForANewColumn) {
    TableStore store(ClockReading({500}));
    RowBuffer put(64), appended(64);
    std::size_t put_length = store.BeginRow(put.data(), put.capacity());
    std::size_t appended_length = store.BeginRow(appended.data(), appended.capacity());
    const std::vector<std::pair<std::int16_t, Bytes>> cells = {
        {11, Text("one")}, {13, Bytes()}, {12, Filled(20, 5)}, {14, Filled(30, 9)},
        {15, Text("x")}};
    for (const auto& cell : cells) {
        SCOPED_TRACE(cell.first);
        put_length = put.Put(cell.first, cell.second, 50);
        appended_length =
            TableStore::AppendField(appended.data(), appended.capacity(), appended_length,
                                    cell.first, cell.second.data(), cell.second.size(), 50);
        EXPECT_EQ(appended_length, put_length);
        EXPECT_EQ(appended.bytes, put.bytes);
    }
    // The 30-byte cell passed the limit of 50 and was dropped; the last one still fitted.
    EXPECT_EQ(appended_length, 7u + 6 + 23 + 4);

    // A length that cannot be the record's is refused and nothing is written.
    const Bytes before = appended.bytes;
    EXPECT_EQ(TableStore::AppendField(appended.data(), appended.capacity(), appended_length - 1, 16,
                                      "a", 1, 0), 0u);
    EXPECT_EQ(TableStore::AppendField(appended.data(), appended.capacity(), 65, 16, "a", 1, 0), 0u);
    EXPECT_EQ(TableStore::AppendField(appended.data(), appended.capacity(), 6, 16, "a", 1, 0), 0u);
    EXPECT_EQ(appended.bytes, before);
}

TEST_F(TableStoreTest, RowsGrowingLongerNeitherMoveNorPadTheRowsBefore) {
    // With the room for their locations reserved, rows growing longer one after another take
    // one chunk for all their bytes and read back whole.
    TableStore store(ClockReading({500}), ControlledReallocate);
    const int calls_before = g_allocations.calls;
    ASSERT_TRUE(store.ReserveRows(40));
    EXPECT_EQ(g_allocations.calls, calls_before + 3);  // their block, a page of distances and its place
    EXPECT_EQ(store.CountRows(), 0u);
    for (std::size_t length = 1; length <= 40; ++length) {
        AddRowWithCells(store, {{11, Filled(length, static_cast<std::uint8_t>(length))}});
    }
    // and the first chunk and its table, and the column dictionary: hash table, offsets, values
    EXPECT_EQ(g_allocations.calls, calls_before + 8);
    EXPECT_EQ(U16(store.Image().bytes, 8), 50u);
    for (std::size_t length = 1; length <= 40; ++length) {
        std::uint8_t output[255];
        ASSERT_EQ(store.GetCellText(static_cast<std::int64_t>(length - 1), 11, output, 0), length);
        EXPECT_EQ(Prefix(output, length), Filled(length, static_cast<std::uint8_t>(length)));
    }
}

TEST_F(TableStoreTest, ReserveRowsRefusesWhatCannotBeHeld) {
    TableStore store(ClockReading({500}), ControlledReallocate);
    AddRowWithCells(store, {{11, Filled(10, 1)}});
    ASSERT_TRUE(store.ReserveRows(3));
    const Bytes before = Snapshot(store);
    const Bytes row = StoredRow(store, 0);
    g_allocations.fail = true;
    EXPECT_FALSE(store.ReserveRows(100000));
    EXPECT_FALSE(store.ReserveRows(UINT32_MAX));
    EXPECT_EQ(Snapshot(store), before);
    EXPECT_EQ(StoredRow(store, 0), row);
    EXPECT_EQ(store.CountRows(), 1u);
}

// ---- Column dictionaries -------------------------------------------------------------------------

// The cells of column 11 in rows 0..count-1 through one column read, joined by '|'.
std::string ColumnText(const TableStore& store, std::int16_t identifier, std::uint32_t count) {
    std::vector<std::uint32_t> rows(count);
    for (std::uint32_t row = 0; row < count; ++row) rows[row] = row;
    std::vector<std::uint8_t> texts(count * TableStore::kCellStride), lengths(count), lengths_only(count);
    store.GetColumnCells(identifier, rows.data(), count, texts.data(), lengths.data());
    store.GetColumnCells(identifier, rows.data(), count, nullptr, lengths_only.data());
    EXPECT_EQ(lengths_only, lengths);
    std::string joined;
    for (std::uint32_t row = 0; row < count; ++row) {
        joined += std::string(reinterpret_cast<const char*>(&texts[row * TableStore::kCellStride]), lengths[row]);
        joined += '|';
    }
    return joined;
}

TEST_F(TableStoreTest, RepeatedValuesOfAColumnAreReferencesToItsDictionary) {
    // Column 11's first "Sofia-Grad" keeps its bytes; its later ones become the 2-byte reference
    // to entry 0 (length byte 2, a mask bit per such position), "Plovdiv" is entry 1. Cells of
    // 1 or 2 bytes always keep theirs, and a row whose references would spare no more than
    // their mask can take keeps its bytes too.
    TableStore store(ClockReading({500}));
    const Bytes sofia = Text("Sofia-Grad"), plovdiv = Text("Plovdiv"), ab = Text("ab");
    AddRowWithCells(store, {{11, sofia}, {12, ab}, {13, Text("one")}});
    AddRowWithCells(store, {{11, sofia}, {12, ab}, {13, Text("two")}});
    AddRowWithCells(store, {{11, plovdiv}, {12, ab}, {13, Text("one")}});
    AddRowWithCells(store, {{12, ab}, {13, Text("two")}, {11, plovdiv}});
    AddRowWithCells(store, {{11, sofia}, {13, Text("one")}});
    AddRowWithCells(store, {{13, Text("one")}});

    // Every cell is scrambled from the key on.
    EXPECT_EQ(StoredRow(store, 0), Joined({{kKeyAt500, 3, 10, 2, 3}, Scrambled(sofia, kKeyAt500),
                                           Scrambled(ab, kKeyAt500), Scrambled(Text("one"), kKeyAt500)}));
    // Short header with references: 0x84 + 3 positions, lengths, mask 0b001, entry 0.
    EXPECT_EQ(StoredRow(store, 1), Joined({{kKeyAt500, 0x87, 2, 2, 3, 0x01, 0, 0}, Scrambled(ab, kKeyAt500),
                                           Scrambled(Text("two"), kKeyAt500)}));
    EXPECT_EQ(StoredRow(store, 2), Joined({{kKeyAt500, 3, 7, 2, 3}, Scrambled(plovdiv, kKeyAt500),
                                           Scrambled(ab, kKeyAt500), Scrambled(Text("one"), kKeyAt500)}));
    // "Plovdiv" and "two" repeat: entry 1 of column 11, entry 1 of column 13.
    EXPECT_EQ(StoredRow(store, 3), Joined({{kKeyAt500, 0x87, 2, 2, 2, 0x05, 1, 0}, Scrambled(ab, kKeyAt500), {1, 0}}));
    EXPECT_EQ(StoredRow(store, 4), Joined({{kKeyAt500, 0x87, 2, 0, 2, 0x05, 0, 0, 0, 0}}));
    // "one" alone: a reference would spare 1 byte, its mask would take as much.
    EXPECT_EQ(StoredRow(store, 5), Joined({{kKeyAt500, 3, 0, 0, 3}, Scrambled(Text("one"), kKeyAt500)}));

    EXPECT_EQ(ColumnText(store, 11, 6), "Sofia-Grad|Sofia-Grad|Plovdiv|Plovdiv|Sofia-Grad||");
    EXPECT_EQ(ColumnText(store, 12, 6), "ab|ab|ab|ab|||");
    EXPECT_EQ(ColumnText(store, 13, 6), "one|two|one|two|one|one|");
    EXPECT_EQ(CellText(store, 4, 11), "Sofia-Grad");
    std::uint8_t output[4];
    ASSERT_EQ(store.GetCellText(1, 11, output, sizeof output), 4u);
    EXPECT_EQ(Prefix(output, 4), Text("Sofi"));
    EXPECT_GT(store.DictionaryBytes(), 0u);
}

TEST_F(TableStoreTest, RowsOfManyColumnsReadBackTheirRepeatedValuesWhicheverWayTheyCame) {
    // 20 columns (more than one group of lookups), 70 rows (more than two groups of a column
    // read), every fifth row without column 15 so the later cells change places, values
    // repeating every third row; the rows as records and as cells store the same bytes.
    TableStore store(ClockReading({500}));
    TableStore from_cells(ClockReading({500}));
    const auto value = [](int column, int row) { return Text("v" + std::to_string(column) + "-" + std::to_string(row % 3)); };
    for (int row = 0; row < 70; ++row) {
        std::vector<std::pair<std::int16_t, Bytes>> cells;
        for (int column = 11; column <= 30; ++column) {
            if (column != 15 || row % 5 != 0) cells.push_back({static_cast<std::int16_t>(column), value(column, row)});
        }
        AddRowWithCells(store, cells);
        std::vector<StoreCell> given;
        for (const auto& cell : cells) given.push_back({cell.first, cell.second.size(), cell.second.data()});
        ASSERT_TRUE(from_cells.AddRowOfCells(given.data(), given.size()));
        ASSERT_EQ(StoredRow(from_cells, row), StoredRow(store, row)) << row;
    }
    EXPECT_LT(StoredRow(store, 69).size(), 80u);  // 20 references, not 100 bytes of values
    for (int column = 11; column <= 30; ++column) {
        std::string expected;
        for (int row = 0; row < 71; ++row) {
            if (row < 70 && (column != 15 || row % 5 != 0)) {
                const Bytes text = value(column, row);
                expected.append(text.begin(), text.end());
            }
            expected += '|';
        }
        EXPECT_EQ(ColumnText(store, static_cast<std::int16_t>(column), 71), expected) << column;
    }
}

TEST_F(TableStoreTest, RowsWithReferencesTakeTheHeaderTheirShapeNeeds) {
    // A row of many positions, a row away from the first column and a sparse row all refer to
    // the values the first rows met; a plain row (key 0) too. Their cells read back whole.
    struct ShapeCase {
        std::vector<std::int16_t> identifiers;
        std::uint8_t shape;
    };
    const ShapeCase cases[] = {
        {{1, 2, 3}, 0x87},
        {{1, 123}, 0x83},           // sparse
        {{1, 50, 123}, 0xFF},       // 123 positions: the most a short header counts
        {{1, 50, 124}, 0x83},       // sparse again, whatever the count
        {{30, 31, 32, 33}, 0x82},   // dense from column 30
    };
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.shape));
        TableStore store(ClockReading({500}));
        ASSERT_TRUE(store.PutColumn(MakeStoreColumn(1, kTextColumn, "column")));
        std::vector<std::pair<std::int16_t, Bytes>> cells;
        for (std::int16_t identifier : c.identifiers) cells.push_back({identifier, Text("value " + std::to_string(identifier))});
        if (c.shape == 0xFF) {  // dense: every position from 1 to 123 holds a cell
            cells.clear();
            for (std::int16_t identifier = 1; identifier <= 123; ++identifier) cells.push_back({identifier, Text("value " + std::to_string(identifier))});
        }
        AddRowWithCells(store, cells);
        RowBuffer row;
        store.BeginRow(row.data(), row.capacity());
        row.bytes[1] = 0;  // plain
        for (const auto& cell : cells) row.Put(cell.first, cell.second);
        ASSERT_TRUE(store.AddRow(row.data(), row.capacity()));
        const Bytes stored = StoredRow(store, 1);
        ASSERT_GE(stored.size(), 2u);
        EXPECT_EQ(stored[1], c.shape);
        EXPECT_LT(stored.size(), StoredRow(store, 0).size());
        for (const auto& cell : cells) {
            EXPECT_EQ(CellText(store, 1, cell.first), "value " + std::to_string(cell.first));
        }
        EXPECT_EQ(CellText(store, 1, 125), "");
    }
}

TEST_F(TableStoreTest, AColumnWhoseValuesDoNotRepeatStopsBeingLookedUp) {
    // Column 11 numbers its rows, column 12 draws from 20 values (255 bytes each). After a run of
    // 4,096 lookups without finds column 11 is no longer looked up: a value met before keeps its
    // bytes, and its dictionary stops growing, while column 12 still refers to its values.
    TableStore store(ClockReading({500}));
    auto number = [](int row) { return Text("row " + std::to_string(row)); };
    auto drawn = [](int row) { return Filled(255, static_cast<std::uint8_t>(row % 20)); };
    for (int row = 0; row < 4095; ++row) AddRowWithCells(store, {{11, number(row)}, {12, drawn(row)}});
    const std::size_t before_the_end_of_the_run = store.DictionaryBytes();
    AddRowWithCells(store, {{11, number(4095)}, {12, drawn(4095)}});
    const std::size_t sampled = store.DictionaryBytes();
    EXPECT_LT(sampled, before_the_end_of_the_run);  // column 11's hash table is gone
    for (int row = 4096; row < 20000; ++row) AddRowWithCells(store, {{11, number(row)}, {12, drawn(row)}});
    EXPECT_LE(store.DictionaryBytes(), sampled);
    AddRowWithCells(store, {{11, number(7)}, {12, drawn(7)}});
    // Column 11's value keeps its bytes; column 12's 255 bytes are a reference.
    EXPECT_EQ(StoredRow(store, 20000), Joined({{kKeyAt500, 0x86, 5, 2, 0x02}, Scrambled(number(7), kKeyAt500), {7, 0}}));
    for (int row : {0, 19, 20, 4095, 4096, 19999, 20000}) {
        const int value = row == 20000 ? 7 : row;
        EXPECT_EQ(CellText(store, row, 11), "row " + std::to_string(value));
        std::uint8_t output[255];
        ASSERT_EQ(store.GetCellText(row, 12, output, 0), 255u);
        EXPECT_EQ(Prefix(output, 255), drawn(value));
    }
}

TEST_F(TableStoreTest, AWideTableOfValuesMetOnceKeepsItsDictionariesWithinAShareOfItsRows) {
    // 1,055 columns of 4-byte values that never repeat, in fewer rows than a column needs to be
    // found not to repeat: every value would sit in a dictionary beside its row, the cells twice.
    // The dictionaries stop taking values and columns at 4 MiB and a quarter of the rows' bytes
    // (one column's first blocks past it), and every cell still reads back.
    TableStore store(ClockReading({500}));
    constexpr int kColumns = 1055;
    auto value = [](int row, int column) { return Text(std::to_string(1000 + (row * 7 + column) % 9000)); };
    std::size_t row_bytes = 0;
    for (int row = 0; row < 1000; ++row) {
        std::vector<Bytes> texts;
        std::vector<StoreCell> cells;
        for (int column = 1; column <= kColumns; ++column) texts.push_back(value(row, column));
        for (int column = 1; column <= kColumns; ++column) {
            const Bytes& text = texts[static_cast<std::size_t>(column - 1)];
            cells.push_back({static_cast<std::int16_t>(column), text.size(), text.data()});
        }
        ASSERT_TRUE(store.AddRowOfCells(cells.data(), cells.size()));
        row_bytes += store.RowRecord(row).length;
    }
    EXPECT_GT(row_bytes, 5'000'000u);
    EXPECT_LE(store.DictionaryBytes(), (std::size_t{4} << 20) + row_bytes / 4 + 16384);
    for (int row : {0, 1, 500, 999}) {
        for (int column : {1, 2, 528, kColumns}) EXPECT_EQ(Text(CellText(store, row, static_cast<std::int16_t>(column))), value(row, column));
    }
}

TEST_F(TableStoreTest, AFullDictionaryStillServesItsValuesButTakesNoMore) {
    // Each of 65,536 values comes twice: the second refers to it (the last as entry 65535).
    // A 65,537th value finds no room: both its cells keep their bytes, as do the rows added
    // after, while the values already in the dictionary are still referred to.
    TableStore store(ClockReading({500}));
    auto value = [](int index) { return Text("value " + std::to_string(index)); };
    for (int index = 0; index < 65536; ++index) {
        const Bytes text = value(index);
        const StoreCell cells[] = {{11, text.size(), text.data()}};
        ASSERT_TRUE(store.AddRowOfCells(cells, 1));
        ASSERT_TRUE(store.AddRowOfCells(cells, 1));
    }
    auto add = [&store](const Bytes& text) {
        const StoreCell cells[] = {{11, text.size(), text.data()}};
        ASSERT_TRUE(store.AddRowOfCells(cells, 1));
    };
    add(value(65536));
    add(value(65536));
    add(value(65535));
    add(value(0));
    const std::uint32_t rows = store.CountRows();
    ASSERT_EQ(rows, 131076u);
    EXPECT_EQ(Prefix(StoredRow(store, 3).data() + 1, 5), (Bytes{0x85, 2, 0x01, 1, 0}));
    EXPECT_EQ(Prefix(StoredRow(store, 131071).data() + 1, 5), (Bytes{0x85, 2, 0x01, 0xFF, 0xFF}));
    EXPECT_EQ(StoredRow(store, 131073).size(), 2u + 1 + value(65536).size());
    EXPECT_EQ(Prefix(StoredRow(store, 131074).data() + 1, 5), (Bytes{0x85, 2, 0x01, 0xFF, 0xFF}));
    EXPECT_EQ(Prefix(StoredRow(store, 131075).data() + 1, 5), (Bytes{0x85, 2, 0x01, 0, 0}));
    for (std::uint32_t row : {0u, 1u, 2u, 3u, 77777u, 131070u, 131071u, 131072u, 131073u, 131074u, 131075u}) {
        const int index = row < 131072 ? static_cast<int>(row / 2) : (row < 131074 ? 65536 : (row == 131074 ? 65535 : 0));
        ASSERT_EQ(CellText(store, row, 11), "value " + std::to_string(index)) << row;
    }
}

TEST_F(TableStoreTest, ManyThreadsReadReferencedCellsAtOnce) {
    TableStore store(ClockReading({500}));
    // 37 cities of up to 224 bytes, and a column of row numbers that soon is no longer looked up.
    auto city = [](int row) { return "city " + std::to_string(row % 37) + std::string(static_cast<std::size_t>(row % 37 * 6), '*'); };
    for (int row = 0; row < 5000; ++row) {
        AddRowWithCells(store, {{11, Text(std::to_string(row))}, {12, Text(city(row))}});
    }
    std::vector<std::uint32_t> rows(5000);
    for (std::uint32_t row = 0; row < 5000; ++row) rows[row] = 4999 - row;
    std::vector<int> faults(4, 0);
    auto read = [&](int thread) {
        std::vector<std::uint8_t> texts(rows.size() * TableStore::kCellStride), lengths(rows.size());
        for (int pass = 0; pass < 3; ++pass) {
            store.GetColumnCells(12, rows.data(), rows.size(), texts.data(), lengths.data());
            for (std::size_t k = 0; k < rows.size(); ++k) {
                const std::string expected = city(static_cast<int>(rows[k]));
                faults[static_cast<std::size_t>(thread)] +=
                    std::string(reinterpret_cast<const char*>(&texts[k * TableStore::kCellStride]), lengths[k]) != expected;
                faults[static_cast<std::size_t>(thread)] += CellText(store, rows[k], 12) != expected;
                faults[static_cast<std::size_t>(thread)] += CellText(store, rows[k], 11) != std::to_string(rows[k]);
            }
        }
    };
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) threads.emplace_back(read, thread);
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(faults, std::vector<int>(4, 0));
    EXPECT_EQ(StoredRow(store, 4999)[1], 0x86);  // the cities are references
}

TEST_F(TableStoreTest, ConcurrentAddRowsGetDistinctIdentifiers) {
    TableStore store(ClockReading({500}));
    std::vector<unsigned long> identifiers[2];
    auto add_many = [&store, &identifiers](std::uint8_t tag) {
        RowBuffer row(64);
        for (int index = 0; index < 5000; ++index) {
            store.BeginRow(row.data(), row.capacity());
            row.Put(11, Bytes(1, tag));
            ASSERT_TRUE(store.AddRow(row.data(), row.capacity()));
            identifiers[tag - 1].push_back(U32(row.data(), 2));
        }
    };
    std::thread first(add_many, std::uint8_t{1});
    std::thread second(add_many, std::uint8_t{2});
    first.join();
    second.join();
    ASSERT_EQ(store.CountRows(), 10000u);
    EXPECT_EQ(U32(store.Image().bytes, 18), 10001ul);
    std::vector<bool> seen(10001, false);
    for (const auto& thread_identifiers : identifiers) {
        for (unsigned long identifier : thread_identifiers) {
            ASSERT_GE(identifier, 1ul);
            ASSERT_LE(identifier, 10000ul);
            ASSERT_FALSE(seen[identifier]);
            seen[identifier] = true;
        }
    }
    int ones = 0;
    for (std::uint32_t index = 0; index < 10000; ++index) {
        ones += CellText(store, index, 11) == std::string(1, '\1');
    }
    EXPECT_EQ(ones, 5000);
}

}  // namespace
