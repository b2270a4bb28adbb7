// TableStore: one table in memory, an image of column descriptors and scrambled row records.
#ifndef LINTARO_STORE_TABLE_STORE_H
#define LINTARO_STORE_TABLE_STORE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "store/memory_block.h"

// Column types of the data file.
enum : std::uint8_t {
    kTextColumn = 0,
    kNumberColumn = 1,
    kDateColumn = 2,
    kTimeColumn = 3,
    kPictureColumn = 201,
};

// One 62-byte column descriptor exactly as the image holds it. The identifier is a signed
// 16-bit little-endian number (never 0 in a stored column); use the helpers below for it.
#pragma pack(push, 1)
struct StoreColumn {
    std::uint8_t identifier[2];
    std::uint8_t type;
    std::uint8_t reserved[26];
    char name[33];  // up to 32 characters and a terminating zero
};
#pragma pack(pop)
static_assert(sizeof(StoreColumn) == 62, "StoreColumn is the 62-byte descriptor of the image");

std::int16_t StoreColumnIdentifier(const StoreColumn& column);
void SetStoreColumnIdentifier(StoreColumn& column, std::int16_t identifier);

// A zeroed descriptor with the identifier, type and name (cut to 32 characters; nullptr is "").
StoreColumn MakeStoreColumn(std::int16_t identifier, std::uint8_t type, const char* name);

// One cell of a row given to AddRowOfCells: `length` bytes (0..255) at `bytes`.
struct StoreCell {
    std::int16_t identifier;
    std::size_t length;
    const void* bytes;
};

// Milliseconds of the current local second, 0..999; the source of the row scramble keys.
using MillisecondClock = std::function<int()>;

// A run of the store's bytes, for inspection only; valid until the next operation that changes
// the store.
struct StoreImageView {
    const std::uint8_t* bytes;
    std::size_t length;
};

// Image layout (little-endian): a 64-byte header, then column count descriptors of 62 bytes.
// Rows are built in a caller's buffer as a record: flags (1), scramble key (1), record
// identifier (4), fields, an end-of-fields zero; a field is its length (1..255), its column
// identifier (2) and its bytes XORed with (key + i) mod 256, i counting from 0 (a key of 0,
// which new rows never get, leaves them plain). The header's record size is the longest such
// record added.
//
// AddRow keeps a row in a shorter stored form, packed one after another in chunks that never
// move, and finds it through an index of row locations (about 2 bytes a row; a row without
// cells is that alone):
//   key (1), shape (1), [shape 0x80 (dense) or 0x81 (sparse): first column identifier (2,
//   signed), count of positions (2)], [sparse: count identifiers (2 each, rising)], count
//   cell lengths (1 each; 0 for an empty position), one start offset (2) for each further run
//   of 16 positions, then the cell bytes, still scrambled, in position order.
// A shape below 0x80 is the count of a dense row whose first position is the store's first
// identifier (the lowest column identifier when the first row is stored, or that row's first):
// the usual row, from the first column on, spends two bytes on its header instead of six.
// A dense row has one position per identifier from the first on; a sparse row one per field.
// So a cell is found from its identifier in a fixed number of steps whatever its column (a
// sparse row adds a binary search), and no record is padded to the longest one.
//
// Business tables repeat their values (cities, statuses, dates), so each column keeps a
// dictionary of the values of 3 to 255 bytes it has met: their bytes once, scrambled with a key
// of the column's own. A cell whose value is already there is stored as a 2-byte reference to
// its entry (little-endian entry number, a length byte of 2); the first cell of a value keeps
// its bytes. A row holding references says so in its shape, and a bit mask, one bit per
// position (the lowest bit of the first byte for the first position), follows the lengths:
//   shape 0x82 (dense) or 0x83 (sparse) for a full header, 0x84 + count for a short one.
// A dictionary holds at most 65,536 entries; a column whose values do not repeat (fewer than
// 1 in 4 of a run of 4,096 cells found) stops being looked up and frees its hash table, so
// row numbers and amounts cost only that first run. All dictionaries together stop taking new
// values and columns at 4 MiB plus a quarter of the rows' stored bytes, so a wide table whose
// values never repeat does not keep its cells twice before its columns are found out.
//
// Column operations and AddRow take the store's lock. CountRows and GetCellText do not: they
// may run on any number of threads at once, but not while another thread adds rows. Results
// of 0, false or a zero-filled output mean the request was refused or memory ran out; the store
// is then unchanged.
class TableStore {
public:
    static constexpr std::uint32_t kMagicNumber = 757011;
    static constexpr std::uint16_t kFormatNumber = 50;
    static constexpr std::size_t kHeaderSize = 64;
    static constexpr std::size_t kColumnSize = sizeof(StoreColumn);
    // The header's offsets are 16-bit: 64 + 1055 * 62 = 65474 is the last record area offset.
    static constexpr int kMostColumns = 1055;
    static constexpr std::size_t kLargestRecord = 65535;
    static constexpr std::size_t kEmptyRecordSize = 7;
    static constexpr std::size_t kLongestCell = 255;

    // An empty clock means the real one. An allocation failure here leaves a store without a
    // block, which reports no columns or rows and refuses every change.
    explicit TableStore(MillisecondClock clock = nullptr, ReallocateFunction reallocate = nullptr);
    virtual ~TableStore();
    TableStore(const TableStore&) = delete;
    TableStore& operator=(const TableStore&) = delete;

    int CountColumns() const;
    std::uint32_t CountRows() const;

    // Copies the descriptor at table position `index`; false when out of range.
    bool GetColumn(int index, StoreColumn& column) const;
    // Copies the first descriptor with this identifier; false when there is none.
    bool FindColumn(std::int16_t identifier, StoreColumn& column) const;
    // Overwrites the descriptor at `index`; true only when its 62 bytes changed.
    bool SetColumn(int index, const StoreColumn& column);
    // Replaces the descriptor with the same identifier, or appends it after moving the record
    // area up by 62 bytes. False for identifier 0, for a 1056th column and when out of memory.
    bool PutColumn(const StoreColumn& column);

    // Writes an empty record with a fresh scramble key and the next record identifier at the
    // start of `row`; returns its length, 7, or 0 when `row_capacity` is below 7. May wait up
    // to 5 ms for the clock to leave the start of a second.
    std::size_t BeginRow(std::uint8_t* row, std::size_t row_capacity) const;

    // Sets the cell of column `identifier` in the record at the start of `row` to `length`
    // bytes of `bytes` (scrambled with the row's key); a length of 0 removes the cell. The
    // record never grows past `limit` (0: no limit) nor past `row_capacity`, the size of the
    // buffer: a new cell that would not fit is dropped and a longer value for an existing cell
    // is refused. A length above 255 is refused. Returns the record's length afterwards, or 0
    // when the buffer does not hold a well-formed record within `row_capacity`.
    static std::size_t PutField(std::uint8_t* row, std::size_t row_capacity,
                                std::int16_t identifier, const void* bytes, std::size_t length,
                                std::size_t limit);

    // PutField for a column that has no field in the record yet, by a caller that knows the
    // record's length (what BeginRow, PutField or AppendField last returned): the fields are
    // not walked again, so a row of thousands of cells is built in time proportional to its
    // length. Returns the record's length afterwards, or 0 when `record_length` cannot be the
    // length of a record in the buffer.
    static std::size_t AppendField(std::uint8_t* row, std::size_t row_capacity,
                                   std::size_t record_length, std::int16_t identifier,
                                   const void* bytes, std::size_t length, std::size_t limit);

    // Stores the record at the start of `row` after the last row, giving it the next record
    // identifier (written into `row` too). False for a malformed record, one longer than 65535
    // bytes, or when out of memory.
    bool AddRow(std::uint8_t* row, std::size_t row_capacity);

    // Adds a row of `count` cells at once, as BeginRow, PutField for each cell (without a limit)
    // and AddRow would, but without building the record: the cells are scrambled straight into
    // the store, with a key read from the clock once for every 64 such rows. Cells of length 0 are skipped; a later cell of a column replaces an earlier one.
    // False, with the store unchanged, for a cell longer than 255 bytes, a record that would be
    // longer than 65535 bytes, or when out of memory.
    bool AddRowOfCells(const StoreCell* cells, std::size_t count);

    // Makes room in the table of row locations for `count` more rows, so that adding them does
    // not grow it again. False, with the store unchanged, when memory runs out.
    bool ReserveRows(std::uint32_t count);

    // Copies the unscrambled bytes of a cell into `output`, at most `output_size` of them (0: no
    // limit, so `output` must hold 255 bytes), without a terminating zero, and returns their
    // number. A row out of range or a cell without a field zero-fills all `output_size` bytes and
    // returns 0. A record holding several fields of one column reads as the last, the one
    // PutField changes.
    std::size_t GetCellText(std::int64_t row_index, std::int16_t identifier, std::uint8_t* output,
                            std::size_t output_size) const;

    // The bytes between one cell and the next in GetColumnCells's output.
    static constexpr std::size_t kCellStride = kLongestCell + 1;

    // The cells of column `identifier` in `count` rows at once, as GetCellText gives them without
    // a limit: the cell of row rows[k] goes, unscrambled and without a terminator, to
    // texts + k * kCellStride, and its length to lengths[k] (0 for a row out of range or a cell
    // without a field). A null `texts` asks for the lengths alone. Reading a column of a block of
    // rows in one call spares a call per cell to whoever shows, sorts or measures many of them.
    void GetColumnCells(std::int16_t identifier, const std::uint32_t* rows, std::size_t count,
                        std::uint8_t* texts, std::uint8_t* lengths) const;

    // The header and the column table.
    StoreImageView Image() const;
    // The stored form of a row (see above); empty for a row out of range.
    StoreImageView RowRecord(std::int64_t row_index) const;
    // The bytes the column dictionaries hold: entries, their offsets and the hash tables.
    std::size_t DictionaryBytes() const;

private:
    struct FieldAt {
        std::int16_t identifier;
        std::uint8_t length;
        const std::uint8_t* bytes;
        std::int32_t reference = -1;  // the column dictionary's entry, or -1 for the bytes
    };
    struct ColumnDictionary;
    // Where a cell's bytes are: in the row, scrambled with its key, or in a dictionary entry.
    struct StoredCell {
        std::size_t length;
        const std::uint8_t* bytes;
        std::uint8_t key;
        bool reference = false;  // LocateStoredCell: `bytes` hold the dictionary's entry number
    };

    std::uint8_t ReadScrambleKey() const;
    // Stores fields_ as the next row; `scramble` when their bytes are still plain.
    bool StoreFieldsLocked(std::uint8_t key, std::size_t record_length, bool scramble);
    // Room for a stored row of `size` bytes after the last one; nullptr when out of memory.
    std::uint8_t* PlaceRecordLocked(std::size_t size, std::uint32_t& location);
    const std::uint8_t* RecordAt(std::uint32_t row_index) const;
    // Room in the row index for `rows` rows; false (the store unchanged) when out of memory.
    bool GrowRowIndexLocked(std::size_t rows);
    // Enters the location of row row_count_ (which GrowRowIndexLocked has room for), or that it
    // is `empty` (then `location` is NextLocationLocked's); false when a block that must keep
    // whole locations cannot get the memory.
    bool IndexRowLocked(std::uint32_t location, bool empty);
    // Where the next stored row would start in the last chunk (0 before the first chunk).
    std::uint32_t NextLocationLocked() const;
    // The distance of `row` in its page of the row index.
    std::uint16_t* RowOffsets(std::uint32_t row) const;
    // The distances of the block of rows from `first_row` on, taking their page when it has not
    // been taken yet; nullptr when out of memory.
    std::uint16_t* BlockOffsetsLocked(std::uint32_t first_row);
    // The cell of `identifier` in the stored row (length 0 when the row has no such field).
    // A reference is read from the column's dictionary.
    StoredCell FindStoredCell(const std::uint8_t* stored, std::int16_t identifier) const;
    // The cell as the row keeps it: its bytes, or for a reference the entry number it holds.
    StoredCell LocateStoredCell(const std::uint8_t* stored, std::int16_t identifier) const;
    const ColumnDictionary* DictionaryOf(std::int16_t identifier) const;
    // The column's dictionary, made when its first cell worth keeping comes; nullptr when there
    // is no room for another or memory ran out.
    ColumnDictionary* DictionaryForLocked(std::int16_t identifier);
    // The column's dictionary when it has one already (nullptr when not); remembers it for the
    // cell at the same place in the next row.
    ColumnDictionary* KnownDictionaryLocked(std::size_t field_index, std::int16_t identifier);
    // Sets each field's reference to its value's entry when the column's dictionary holds it,
    // entering the values it does not hold yet. `scramble`: the fields' bytes are still plain.
    void ReferenceRepeatedValuesLocked(std::uint8_t key, bool scramble);
    // Whether the dictionaries, together, may take new values or a new column (see the .cpp).
    bool DictionariesMayGrowLocked() const;
    // The identifier the short row header counts from, chosen for the first row.
    std::int32_t FirstIdentifierLocked() const;

    MillisecondClock clock_;
    ReallocateFunction reallocate_;
    mutable std::mutex lock_;
    MemoryBlock block_;            // header and column table
    // Where each row is: a 32-bit location (chunk number and offset) is kept for the first row
    // of every block of rows, and each row's distance from it in 16 bits; a block whose rows
    // spread wider (a long row, a new chunk) keeps their whole locations apart instead.
    MemoryBlock offset_pages_;     // pages of 16 bits a row: its location less its block's first
    std::size_t offset_page_count_ = 0;  // null until a row with cells needs the page
    MemoryBlock row_blocks_;       // a RowBlock per block of rows
    MemoryBlock wide_locations_;   // the 32-bit locations of every row of the wide blocks
    std::uint32_t wide_blocks_ = 0;
    MemoryBlock chunk_table_;      // the chunks' addresses
    std::uint32_t row_count_ = 0;  // the header's record count, read without the lock
    std::int32_t first_identifier_ = 1;  // where the short row header's positions start
    std::size_t chunk_count_ = 0;
    std::size_t last_chunk_used_ = 0;
    std::size_t last_chunk_capacity_ = 0;
    std::uint8_t cells_key_ = 0;          // AddRowOfCells's key, read from the clock
    std::uint8_t fields_key_ = 0;         // the key of the row being stored
    unsigned rows_on_cells_key_ = 0;      // rows added with it so far, up to 64
    std::vector<FieldAt> fields_;  // AddRow's working list, kept to spare an allocation per row
    // The column dictionaries, by rising identifier. Readers search it without the lock; only
    // adding rows changes it.
    std::vector<std::unique_ptr<ColumnDictionary>> dictionaries_;
    std::vector<std::pair<std::int16_t, ColumnDictionary*>> field_dictionaries_;  // by place in a row
    std::size_t dictionary_bytes_ = 0;  // what they hold, as ColumnDictionary::Bytes counts it
};

#endif
