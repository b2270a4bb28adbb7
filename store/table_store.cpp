// TableStore: one table in memory, an image of column descriptors and scrambled row records.
#include "store/table_store.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <limits>
#include <new>

#include "base/byte_order.h"
#include "base/byte_search.h"

namespace {

// Header fields, by byte offset.
constexpr std::size_t kMagicAt = 0;
constexpr std::size_t kFormatAt = 4;
constexpr std::size_t kRecordAreaAt = 6;
constexpr std::size_t kRecordSizeAt = 8;
constexpr std::size_t kRecordCountAt = 10;
constexpr std::size_t kColumnCountAt = 14;
constexpr std::size_t kColumnTableAt = 16;
constexpr std::size_t kNextRecordIdentifierAt = 18;

// Row record fields, by byte offset.
constexpr std::size_t kRowFlagsAt = 0;
constexpr std::size_t kScrambleKeyAt = 1;
constexpr std::size_t kRecordIdentifierAt = 2;
constexpr std::size_t kFirstFieldAt = 6;
constexpr std::size_t kFieldHeaderSize = 3;  // length byte and column identifier

constexpr std::size_t kFirstBlockSize = 512;
constexpr std::size_t kGrowthStep = 128;
constexpr std::size_t kLargestImage = std::numeric_limits<std::size_t>::max();

// Stored rows, by byte offset (see the header's description of the stored form).
constexpr std::size_t kStoredKeyAt = 0;
constexpr std::size_t kStoredShapeAt = 1;
constexpr std::size_t kStoredFirstIdentifierAt = 2;
constexpr std::size_t kStoredCountAt = 4;
constexpr std::size_t kShortHeaderSize = 2;
constexpr std::size_t kFullHeaderSize = 6;
// The shape byte: below this, the positions of a dense row starting at the store's first
// identifier.
constexpr std::uint8_t kMostShortPositions = 0x7F;
constexpr std::uint8_t kDenseShape = 0x80;
constexpr std::uint8_t kSparseShape = 0x81;
constexpr std::size_t kMostDensePositions = 0xFFFF;

// Rows holding dictionary references: their full shapes, and the short one plus its count.
constexpr std::uint8_t kReferencesBit = 0x02;
constexpr std::uint8_t kShortShapeWithReferences = 0x84;
constexpr std::size_t kMostShortPositionsWithReferences = 0xFF - kShortShapeWithReferences;

// What a stored row's header says.
struct StoredShape {
    std::size_t header_size;
    bool sparse;
    bool references;  // a bit mask of the positions holding references follows the lengths
    std::int32_t first;  // the identifier of the first position of a dense row
    std::size_t positions;
};

inline StoredShape ReadStoredShape(const std::uint8_t* stored, std::int32_t first_identifier) {
    const std::uint8_t shape = stored[kStoredShapeAt];
    if (shape <= kMostShortPositions) return {kShortHeaderSize, false, false, first_identifier, shape};
    if (shape >= kShortShapeWithReferences) {
        return {kShortHeaderSize, false, true, first_identifier,
                static_cast<std::size_t>(shape - kShortShapeWithReferences)};
    }
    return {kFullHeaderSize, (shape & 1) != 0, (shape & kReferencesBit) != 0,
            ReadInt16(stored + kStoredFirstIdentifierAt), ReadUint16(stored + kStoredCountAt)};
}

inline std::size_t ReferenceMaskSize(const StoredShape& shape) {
    return shape.references ? (shape.positions + 7) / 8 : 0;
}

// The column dictionaries' policy: a reference takes 2 bytes, so only longer cells are kept;
// a run of lookups finding fewer than a quarter of their values ends the lookups of a column.
constexpr std::size_t kShortestKeptValue = 3;
constexpr std::size_t kMostEntries = 65536;
constexpr std::uint32_t kLookupRun = 4096;
constexpr std::uint32_t kFewestHitsInRun = kLookupRun / 4;
constexpr std::size_t kMostDictionaries = 1055;  // one per column the image can describe
// What all dictionaries together may hold: a floor, then a quarter of the rows' stored bytes.
// Values met once cost their copy in a dictionary until their column stops being looked up, so
// a wide table of a few thousand rows that never repeat would otherwise keep every cell twice.
constexpr std::size_t kDictionaryFloor = std::size_t{4} << 20;
constexpr std::size_t kDictionaryShareOfRows = 4;
constexpr std::size_t kReferenceSize = 2;
// A hash slot holds where the entry's length byte is among the values, in its low 25 bits (0:
// empty; the first entry's is at 2), and the top of the value's hash above them, which settles
// most mismatches without reading the entry. Straight to the entry: a search reads no offsets.
constexpr std::uint32_t kSlotPlaceBits = 0x1FFFFFF;
constexpr std::size_t kEntryNumberSize = 2;  // before each entry's length byte, for the writer
constexpr std::size_t kFirstSlotCount = 256;
constexpr std::size_t kEntryGrowthStep = 4096;

inline std::uint32_t HashOfValue(const std::uint8_t* bytes, std::size_t length) {
    std::uint64_t hash = 0x9E3779B97F4A7C15ULL ^ length;
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        hash = (hash ^ word) * 0xFF51AFD7ED558CCDULL;
        hash ^= hash >> 32;
    }
    std::uint64_t tail = 0;
    for (unsigned shift = 0; i < length; ++i, shift += 8) tail |= std::uint64_t{bytes[i]} << shift;
    hash = (hash ^ tail) * 0xC4CEB9FE1A85EC53ULL;
    hash ^= hash >> 29;
    return static_cast<std::uint32_t>(hash);
}
// Every this many positions a start offset spares summing the lengths before it.
constexpr std::size_t kPositionsPerRun = 16;

// A row location is a chunk number and an offset within it, in 32 bits: 1024 chunks of 4 MiB.
constexpr unsigned kChunkShift = 22;
constexpr std::size_t kChunkSize = std::size_t{1} << kChunkShift;
constexpr std::size_t kMostChunks = std::size_t{1} << (32 - kChunkShift);
// The first chunk starts small and grows in place (by reallocation) up to a whole chunk, so
// that a small table takes little memory; later chunks are whole from the start.
constexpr std::size_t kFirstChunkSize = 4096;
constexpr std::size_t kLocationStep = 4096;
// The row index: one full location per block of rows, 16-bit distances from it for the rest.
constexpr unsigned kRowBlockShift = 8;
constexpr std::uint32_t kRowsPerBlock = std::uint32_t{1} << kRowBlockShift;
constexpr std::uint32_t kLongestDistance = 0xFFFE;
// A row without cells is stored as no bytes: its distance or location alone says it is empty,
// and it reads as this stored row, an empty shape.
constexpr std::uint16_t kEmptyRowDistance = 0xFFFF;
constexpr std::uint32_t kEmptyRowLocation = 0xFFFFFFFF;  // never a record's: it ends a chunk
const std::uint8_t kEmptyStoredRow[2] = {0, 0};
// The distances sit in pages that never move, so the index grows a page at a time and is never
// copied (a copy would hold it twice at its largest); a page holds whole blocks of rows.
constexpr unsigned kOffsetPageShift = 14;
constexpr std::uint32_t kRowsPerOffsetPage = std::uint32_t{1} << kOffsetPageShift;
constexpr std::size_t kOffsetPageSize = kRowsPerOffsetPage * sizeof(std::uint16_t);
constexpr std::uint32_t kNarrowBlock = 0xFFFFFFFF;  // RowBlock::wide of a block of distances
// RowBlock::wide of a block whose rows so far have no cells: it needs no distances, so a
// table of empty lines costs its blocks alone.
constexpr std::uint32_t kEmptyBlock = 0xFFFFFFFE;
struct RowBlock {
    std::uint32_t first;  // the location of the block's first row
    std::uint32_t wide;   // kNarrowBlock, kEmptyBlock or the block's number in the wide locations
};
constexpr unsigned kRowsPerClockReading = 64;

void* ReallocateWithStandardLibrary(void* block, std::size_t bytes) {
    return std::realloc(block, bytes);
}

// The millisecond part is the same in local time as in UTC: zone offsets are whole minutes.
int MillisecondsOfRealClock() {
    auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count();
    return static_cast<int>(milliseconds % 1000);
}

// XORs each byte with (key + i) mod 256; a key of 0 leaves the bytes plain. Its own inverse.
// Eight bytes at a time: the mask holds key + i for eight positions (the first in the lowest
// byte, as a little-endian load puts it) and every byte of it steps by 8 without carrying.
void CopyScrambled(std::uint8_t* target, const std::uint8_t* source, std::size_t count,
                   std::uint8_t key) {
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the mask is built little-endian");
    if (key == 0) {
        std::memcpy(target, source, count);
        return;
    }
    std::uint64_t mask = 0;
    for (unsigned j = 0; j < 8; ++j) mask |= std::uint64_t{static_cast<std::uint8_t>(key + j)} << (8 * j);
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint64_t bytes;
        std::memcpy(&bytes, source + i, 8);
        bytes ^= mask;
        std::memcpy(target + i, &bytes, 8);
        mask = ((mask & 0x7F7F7F7F7F7F7F7FULL) + 0x0808080808080808ULL) ^ (mask & 0x8080808080808080ULL);
    }
    for (; i < count; ++i) {
        target[i] = static_cast<std::uint8_t>(source[i] ^ static_cast<std::uint8_t>(key + i));
    }
}

// Walks the fields of the record in the first `size` bytes of `record`. Returns the record's
// length (offset of the end-of-fields zero + 1), or 0 when the fields run past `size` before
// that zero. `last_match` receives the offset of the last field with `identifier` lying whole
// within `size`, or 0 when there is none.
std::size_t WalkFields(const std::uint8_t* record, std::size_t size, std::int16_t identifier,
                       std::size_t& last_match) {
    last_match = 0;
    std::size_t at = kFirstFieldAt;
    while (at < size) {
        std::size_t field_length = record[at];
        if (field_length == 0) return at + 1;
        std::size_t next = at + kFieldHeaderSize + field_length;
        if (next > size) return 0;
        if (ReadInt16(record + at + 1) == identifier) last_match = at;
        at = next;
    }
    return 0;
}

}  // namespace

// One column's values of 3 bytes or more, each once: its entry number (2 bytes), a length byte
// and the bytes scrambled with the dictionary's key, found by readers through their offsets by
// entry number, and while the column is looked up, a hash table of open addressing over them at
// most half full. 65,536 entries of 258 bytes stay within the 25 bits of a slot.
struct TableStore::ColumnDictionary {
    ColumnDictionary(std::int16_t column, std::uint8_t scramble_key, ReallocateFunction reallocate_function)
        : identifier(column), key(scramble_key), offsets(reallocate_function), values(reallocate_function),
          reallocate(reallocate_function) {}
    ~ColumnDictionary() { std::free(slots); }
    ColumnDictionary(const ColumnDictionary&) = delete;
    ColumnDictionary& operator=(const ColumnDictionary&) = delete;

    // The entry's length byte, its scrambled bytes after it.
    const std::uint8_t* Entry(std::size_t entry) const {
        return values.Bytes() + reinterpret_cast<const std::uint32_t*>(offsets.Bytes())[entry];
    }

    // The entry of the value (3..255 bytes scrambled with the dictionary's key, and their hash),
    // or -1 after entering it when there is room: the first cell of a value keeps its own
    // bytes, the later ones refer to it.
    std::int32_t FindOrEnterScrambled(const std::uint8_t* scrambled, std::size_t length, std::uint32_t hash,
                                      bool may_enter) {
        if (slots == nullptr && !GrowSlots()) {
            StopLookingUp();
            return -1;
        }
        const std::uint32_t tag = hash & ~kSlotPlaceBits;
        std::size_t at = hash & (slot_count - 1);
        for (std::uint32_t slot; (slot = slots[at]) != 0; at = (at + 1) & (slot_count - 1)) {
            if ((slot & ~kSlotPlaceBits) != tag) continue;
            const std::uint8_t* found = values.Bytes() + (slot & kSlotPlaceBits);
            if (found[0] == length && SameBytes(found + 1, scrambled, length)) {
                return static_cast<std::int32_t>(ReadUint16(found - kEntryNumberSize));
            }
        }
        if (entry_count == kMostEntries || !may_enter) return -1;
        const std::size_t place = values_used + kEntryNumberSize;
        if (!offsets.Grow((entry_count + 1) * sizeof(std::uint32_t), kEntryGrowthStep, kLargestImage) ||
            !values.Grow(place + 1 + length, kEntryGrowthStep, kLargestImage)) {
            return -1;
        }
        reinterpret_cast<std::uint32_t*>(offsets.Bytes())[entry_count] = static_cast<std::uint32_t>(place);
        WriteUint16(values.Bytes() + values_used, static_cast<std::uint16_t>(entry_count));
        values.Bytes()[place] = static_cast<std::uint8_t>(length);
        std::memcpy(values.Bytes() + place + 1, scrambled, length);
        values_used = place + 1 + length;
        slots[at] = tag | static_cast<std::uint32_t>(place);
        ++entry_count;
        // A table that cannot grow would fill up and never end a search: lookups end instead.
        if (2 * entry_count > slot_count && !GrowSlots()) StopLookingUp();
        return -1;
    }

    // Asks for the hash slot of a value about to be looked up, so that the lookups of a row's
    // cells wait for memory together rather than one after another.
    void PrefetchSlot(std::uint32_t hash) const {
        if (slots != nullptr) __builtin_prefetch(slots + (hash & (slot_count - 1)));
    }

    // Then for the entry that slot names, when its tag matches (most lookups find their value).
    void PrefetchEntry(std::uint32_t hash) const {
        if (slots == nullptr) return;
        const std::uint32_t slot = slots[hash & (slot_count - 1)];
        if (slot != 0 && (slot & ~kSlotPlaceBits) == (hash & ~kSlotPlaceBits)) {
            __builtin_prefetch(values.Bytes() + (slot & kSlotPlaceBits));
        }
    }

    // Doubles the hash table (or makes the first) and enters every entry again.
    bool GrowSlots() {
        const std::size_t count = slot_count != 0 ? 2 * slot_count : kFirstSlotCount;
        void* block = reallocate(nullptr, count * sizeof(std::uint32_t));
        if (block == nullptr) return false;
        std::uint32_t* grown = static_cast<std::uint32_t*>(block);
        std::memset(grown, 0, count * sizeof(std::uint32_t));
        for (std::size_t entry = 0; entry < entry_count; ++entry) {
            const std::uint8_t* value = Entry(entry);
            const std::uint32_t hash = HashOfValue(value + 1, value[0]);
            std::size_t at = hash & (count - 1);
            while (grown[at] != 0) at = (at + 1) & (count - 1);
            grown[at] = (hash & ~kSlotPlaceBits) | reinterpret_cast<const std::uint32_t*>(offsets.Bytes())[entry];
        }
        std::free(slots);
        slots = grown;
        slot_count = count;
        return true;
    }

    // The entries stay, for the rows that refer to them; the hash table goes.
    void StopLookingUp() {
        looking_up = false;
        std::free(slots);
        slots = nullptr;
        slot_count = 0;
    }

    // Counts a lookup, and ends the column's lookups after a run that found too few.
    void CountLookup(bool found) {
        ++run_lookups;
        if (found) ++run_hits;
        if (run_lookups < kLookupRun) return;
        if (run_hits < kFewestHitsInRun) StopLookingUp();
        run_lookups = 0;
        run_hits = 0;
    }

    std::size_t Bytes() const {
        return sizeof *this + offsets.Capacity() + values.Capacity() + slot_count * sizeof(std::uint32_t);
    }

    const std::int16_t identifier;
    const std::uint8_t key;
    MemoryBlock offsets;  // a 32-bit offset into `values` per entry
    MemoryBlock values;
    ReallocateFunction reallocate;
    std::size_t entry_count = 0;
    std::size_t values_used = 0;
    std::uint32_t* slots = nullptr;
    std::size_t slot_count = 0;  // a power of two, or 0 without a table
    bool looking_up = true;
    std::uint32_t run_lookups = 0;
    std::uint32_t run_hits = 0;
};

std::int16_t StoreColumnIdentifier(const StoreColumn& column) {
    return ReadInt16(column.identifier);
}

void SetStoreColumnIdentifier(StoreColumn& column, std::int16_t identifier) {
    WriteInt16(column.identifier, identifier);
}

StoreColumn MakeStoreColumn(std::int16_t identifier, std::uint8_t type, const char* name) {
    StoreColumn column;
    std::memset(&column, 0, sizeof column);
    SetStoreColumnIdentifier(column, identifier);
    column.type = type;
    if (name != nullptr) {
        std::size_t length = std::min(std::strlen(name), sizeof column.name - 1);
        std::memcpy(column.name, name, length);
    }
    return column;
}

TableStore::TableStore(MillisecondClock clock, ReallocateFunction reallocate)
    : clock_(clock ? std::move(clock) : MillisecondClock(MillisecondsOfRealClock)),
      reallocate_(reallocate != nullptr ? reallocate : ReallocateWithStandardLibrary),
      block_(reallocate),
      offset_pages_(reallocate),
      row_blocks_(reallocate),
      wide_locations_(reallocate),
      chunk_table_(reallocate) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!block_.Grow(kFirstBlockSize, kGrowthStep, kLargestImage)) return;
    std::uint8_t* header = block_.Bytes();  // zero-filled, so the reserved bytes are zero
    WriteUint32(header + kMagicAt, kMagicNumber);
    WriteUint16(header + kFormatAt, kFormatNumber);
    WriteUint16(header + kRecordAreaAt, static_cast<std::uint16_t>(kHeaderSize));
    WriteUint16(header + kRecordSizeAt, 0);
    WriteUint32(header + kRecordCountAt, 0);
    WriteUint16(header + kColumnCountAt, 0);
    WriteUint16(header + kColumnTableAt, static_cast<std::uint16_t>(kHeaderSize));
    WriteUint32(header + kNextRecordIdentifierAt, 1);
}

TableStore::~TableStore() {
    std::uint8_t** chunks = reinterpret_cast<std::uint8_t**>(chunk_table_.Bytes());
    for (std::size_t chunk = 0; chunk < chunk_count_; ++chunk) std::free(chunks[chunk]);
    std::uint16_t** pages = reinterpret_cast<std::uint16_t**>(offset_pages_.Bytes());
    for (std::size_t page = 0; page < offset_page_count_; ++page) std::free(pages[page]);
}

int TableStore::CountColumns() const {
    std::lock_guard<std::mutex> guard(lock_);
    const std::uint8_t* header = block_.Bytes();
    return header != nullptr ? ReadUint16(header + kColumnCountAt) : 0;
}

std::uint32_t TableStore::CountRows() const {
    return row_count_;
}

bool TableStore::GetColumn(int index, StoreColumn& column) const {
    std::lock_guard<std::mutex> guard(lock_);
    const std::uint8_t* header = block_.Bytes();
    if (header == nullptr || index < 0 || index >= ReadUint16(header + kColumnCountAt))
        return false;
    std::memcpy(&column, header + ReadUint16(header + kColumnTableAt) + index * kColumnSize,
                kColumnSize);
    return true;
}

bool TableStore::FindColumn(std::int16_t identifier, StoreColumn& column) const {
    std::lock_guard<std::mutex> guard(lock_);
    const std::uint8_t* header = block_.Bytes();
    if (header == nullptr) return false;
    const std::uint8_t* table = header + ReadUint16(header + kColumnTableAt);
    int count = ReadUint16(header + kColumnCountAt);
    for (int index = 0; index < count; ++index) {
        const std::uint8_t* descriptor = table + index * kColumnSize;
        if (ReadInt16(descriptor) == identifier) {
            std::memcpy(&column, descriptor, kColumnSize);
            return true;
        }
    }
    return false;
}

bool TableStore::SetColumn(int index, const StoreColumn& column) {
    std::lock_guard<std::mutex> guard(lock_);
    std::uint8_t* header = block_.Bytes();
    if (header == nullptr || index < 0 || index >= ReadUint16(header + kColumnCountAt))
        return false;
    std::uint8_t* descriptor = header + ReadUint16(header + kColumnTableAt) + index * kColumnSize;
    if (std::memcmp(descriptor, &column, kColumnSize) == 0) return false;
    std::memcpy(descriptor, &column, kColumnSize);
    return true;
}

bool TableStore::PutColumn(const StoreColumn& column) {
    std::int16_t identifier = StoreColumnIdentifier(column);
    if (identifier == 0) return false;
    std::lock_guard<std::mutex> guard(lock_);
    std::uint8_t* header = block_.Bytes();
    if (header == nullptr) return false;

    std::size_t table_at = ReadUint16(header + kColumnTableAt);
    std::size_t column_count = ReadUint16(header + kColumnCountAt);
    for (std::size_t index = 0; index < column_count; ++index) {
        std::uint8_t* descriptor = header + table_at + index * kColumnSize;
        if (ReadInt16(descriptor) == identifier) {
            std::memcpy(descriptor, &column, kColumnSize);
            return true;
        }
    }
    if (column_count >= static_cast<std::size_t>(kMostColumns)) return false;

    // Rows live apart from the image, so a new column moves nothing but the area's offset.
    std::size_t table_end = table_at + (column_count + 1) * kColumnSize;
    std::size_t record_area_at = ReadUint16(header + kRecordAreaAt);
    if (!block_.Grow(std::max(record_area_at, table_end), kGrowthStep, kLargestImage)) return false;
    header = block_.Bytes();
    if (table_end > record_area_at) {
        WriteUint16(header + kRecordAreaAt, static_cast<std::uint16_t>(table_end));
    }
    std::memcpy(header + table_at + column_count * kColumnSize, &column, kColumnSize);
    WriteUint16(header + kColumnCountAt, static_cast<std::uint16_t>(column_count + 1));
    return true;
}

std::uint8_t TableStore::ReadScrambleKey() const {
    // Keys run from 32 to 230; the first five milliseconds of a second would give 31, so the
    // clock is read again until they have passed.
    for (;;) {
        unsigned key = static_cast<unsigned>(clock_() / 5 + 31) % 256;
        if (key >= 32 && key <= 232) return static_cast<std::uint8_t>(key);
    }
}

std::size_t TableStore::BeginRow(std::uint8_t* row, std::size_t row_capacity) const {
    if (row == nullptr || row_capacity < kEmptyRecordSize) return 0;
    std::uint8_t key = ReadScrambleKey();
    std::uint32_t record_identifier = 1;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (block_.Bytes() != nullptr)
            record_identifier = ReadUint32(block_.Bytes() + kNextRecordIdentifierAt);
    }
    row[kRowFlagsAt] = 0;
    row[kScrambleKeyAt] = key;
    WriteUint32(row + kRecordIdentifierAt, record_identifier);
    row[kFirstFieldAt] = 0;
    return kEmptyRecordSize;
}

std::size_t TableStore::PutField(std::uint8_t* row, std::size_t row_capacity,
                                 std::int16_t identifier, const void* bytes, std::size_t length,
                                 std::size_t limit) {
    if (row == nullptr || row_capacity < kEmptyRecordSize) return 0;
    std::size_t field_at = 0;
    std::size_t record_length = WalkFields(row, row_capacity, identifier, field_at);
    if (record_length == 0) return 0;
    if (length > kLongestCell || (length > 0 && bytes == nullptr)) return record_length;

    std::size_t room = (limit != 0 && limit < row_capacity) ? limit : row_capacity;
    const std::uint8_t* value = static_cast<const std::uint8_t*>(bytes);
    std::uint8_t key = row[kScrambleKeyAt];

    if (field_at == 0) {
        return AppendField(row, row_capacity, record_length, identifier, bytes, length, limit);
    }

    std::size_t old_length = row[field_at];
    std::size_t tail_at = field_at + kFieldHeaderSize + old_length;
    std::size_t tail_length = record_length - tail_at;  // the fields after it and the end zero
    if (length == 0) {
        std::memmove(row + field_at, row + tail_at, tail_length);
        std::size_t new_length = record_length - kFieldHeaderSize - old_length;
        std::memset(row + new_length, 0, kFieldHeaderSize + old_length);
        return new_length;
    }
    std::size_t new_length = record_length - old_length + length;
    if (length > old_length && new_length > room) return record_length;
    std::memmove(row + field_at + kFieldHeaderSize + length, row + tail_at, tail_length);
    if (length < old_length) std::memset(row + new_length, 0, old_length - length);
    row[field_at] = static_cast<std::uint8_t>(length);
    CopyScrambled(row + field_at + kFieldHeaderSize, value, length, key);
    return new_length;
}

std::size_t TableStore::AppendField(std::uint8_t* row, std::size_t row_capacity,
                                    std::size_t record_length, std::int16_t identifier,
                                    const void* bytes, std::size_t length, std::size_t limit) {
    if (row == nullptr || record_length < kEmptyRecordSize || record_length > row_capacity ||
        row[record_length - 1] != 0) {
        return 0;
    }
    if (length == 0 || length > kLongestCell || bytes == nullptr) return record_length;
    std::size_t room = (limit != 0 && limit < row_capacity) ? limit : row_capacity;
    if (record_length + kFieldHeaderSize + length > room) return record_length;
    std::size_t at = record_length - 1;  // where the end-of-fields zero was
    row[at] = static_cast<std::uint8_t>(length);
    WriteInt16(row + at + 1, identifier);
    CopyScrambled(row + at + kFieldHeaderSize, static_cast<const std::uint8_t*>(bytes), length,
                  row[kScrambleKeyAt]);
    row[at + kFieldHeaderSize + length] = 0;
    return record_length + kFieldHeaderSize + length;
}

bool TableStore::AddRow(std::uint8_t* row, std::size_t row_capacity) {
    if (row == nullptr || row_capacity < kEmptyRecordSize) return false;
    std::lock_guard<std::mutex> guard(lock_);
    std::uint8_t* header = block_.Bytes();
    if (header == nullptr) return false;

    WriteUint32(row + kRecordIdentifierAt, ReadUint32(header + kNextRecordIdentifierAt));
    fields_.clear();
    std::size_t record_length = 0;
    try {
        std::size_t at = kFirstFieldAt;
        while (at < row_capacity) {
            std::size_t field_length = row[at];
            if (field_length == 0) {
                record_length = at + 1;
                break;
            }
            std::size_t next = at + kFieldHeaderSize + field_length;
            if (next > row_capacity) return false;
            fields_.push_back({ReadInt16(row + at + 1), static_cast<std::uint8_t>(field_length),
                               row + at + kFieldHeaderSize});
            at = next;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (record_length < kEmptyRecordSize) return false;
    return StoreFieldsLocked(row[kScrambleKeyAt], record_length, false);
}

bool TableStore::AddRowOfCells(const StoreCell* cells, std::size_t count) {
    if (cells == nullptr && count != 0) return false;
    std::lock_guard<std::mutex> guard(lock_);
    if (block_.Bytes() == nullptr) return false;
    // The key changes every 5 ms, over thousands of rows: reading the clock for every row would
    // cost more than storing it.
    if (rows_on_cells_key_ == 0) cells_key_ = ReadScrambleKey();
    rows_on_cells_key_ = (rows_on_cells_key_ + 1) % kRowsPerClockReading;
    const std::uint8_t key = cells_key_;
    fields_.clear();
    std::size_t record_length = kEmptyRecordSize;
    try {
        for (std::size_t index = 0; index < count; ++index) {
            const StoreCell& cell = cells[index];
            if (cell.length == 0) continue;
            if (cell.length > kLongestCell || cell.bytes == nullptr) return false;
            fields_.push_back({cell.identifier, static_cast<std::uint8_t>(cell.length),
                               static_cast<const std::uint8_t*>(cell.bytes)});
            record_length += kFieldHeaderSize + cell.length;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return StoreFieldsLocked(key, record_length, true);
}

bool TableStore::StoreFieldsLocked(std::uint8_t key, std::size_t record_length, bool scramble) {
    std::uint8_t* header = block_.Bytes();
    if (row_count_ == std::numeric_limits<std::uint32_t>::max()) return false;
    // The header's record size is 16-bit, so a longer record cannot be described.
    if (record_length > kLargestRecord) return false;

    // The fields in column order, the last of each column winning, as GetCellText reads them.
    bool rising = true;
    for (std::size_t index = 1; index < fields_.size() && rising; ++index) {
        rising = fields_[index - 1].identifier < fields_[index].identifier;
    }
    if (!rising) {
        std::stable_sort(fields_.begin(), fields_.end(), [](const FieldAt& a, const FieldAt& b) {
            return a.identifier < b.identifier;
        });
        std::size_t kept = 0;
        for (std::size_t index = 0; index < fields_.size(); ++index) {
            if (index + 1 < fields_.size() && fields_[index + 1].identifier == fields_[index].identifier)
                continue;
            fields_[kept++] = fields_[index];
        }
        fields_.resize(kept);
    }

    ReferenceRepeatedValuesLocked(key, scramble);
    bool references = false;
    for (const FieldAt& field : fields_) references = references || field.reference >= 0;

    const std::size_t count = fields_.size();
    if (row_count_ == 0) first_identifier_ = FirstIdentifierLocked();
    const std::int32_t first_field = count != 0 ? fields_.front().identifier : first_identifier_;
    const std::int32_t last = count != 0 ? fields_.back().identifier : first_field - 1;
    // A row with few gaps between its columns keeps a length per column, with no identifiers.
    const std::size_t most_dense = std::min(2 * count + kPositionsPerRun, kMostDensePositions);
    const bool dense = static_cast<std::size_t>(last - first_field + 1) <= most_dense;
    struct Layout {
        bool short_header;
        std::int32_t first;
        std::size_t positions;
        std::size_t size;
    };
    auto lay_out = [&](bool with_references) {
        Layout layout{false, first_field, static_cast<std::size_t>(last - first_field + 1), 0};
        // Most rows start at the first column and have few: a two-byte header then tells their
        // shape, when the empty positions it adds in front cost no more than the longer header.
        const std::int32_t short_span = last - first_identifier_ + 1;
        layout.short_header =
            dense && first_field >= first_identifier_ && short_span <= kMostShortPositions &&
            static_cast<std::size_t>(short_span) <= most_dense &&
            static_cast<std::size_t>(first_field - first_identifier_) <= kFullHeaderSize - kShortHeaderSize &&
            (!with_references || static_cast<std::size_t>(short_span) <= kMostShortPositionsWithReferences);
        if (layout.short_header) {
            layout.first = first_identifier_;
            layout.positions = static_cast<std::size_t>(short_span);
        }
        if (!dense) layout.positions = count;
        const std::size_t runs = layout.positions != 0 ? (layout.positions - 1) / kPositionsPerRun : 0;
        std::size_t cell_bytes = 0;
        for (const FieldAt& field : fields_) {
            cell_bytes += with_references && field.reference >= 0 ? kReferenceSize : field.length;
        }
        layout.size = (layout.short_header ? kShortHeaderSize : kFullHeaderSize) + (dense ? 0 : 2 * count) +
                      layout.positions + (with_references ? (layout.positions + 7) / 8 : 0) + 2 * runs + cell_bytes;
        return layout;
    };
    Layout layout = lay_out(references);
    // References must spare more than their bit mask (and a longer header) take.
    if (references) {
        const Layout plain = lay_out(false);
        if (plain.size <= layout.size) {
            for (FieldAt& field : fields_) field.reference = -1;
            references = false;
            layout = plain;
        }
    }
    const bool short_header = layout.short_header;
    const std::int32_t first = layout.first;
    const std::size_t header_size = short_header ? kShortHeaderSize : kFullHeaderSize;
    const std::size_t positions = layout.positions;
    const std::size_t runs = positions != 0 ? (positions - 1) / kPositionsPerRun : 0;
    const std::size_t mask_size = references ? (positions + 7) / 8 : 0;
    const std::size_t size = layout.size;

    if (!GrowRowIndexLocked(static_cast<std::size_t>(row_count_) + 1)) return false;
    // A row without cells takes no place (it is written to the scratch bytes and dropped).
    const bool empty = count == 0;
    std::uint8_t scratch[kFullHeaderSize];
    std::uint32_t location = NextLocationLocked();
    std::uint8_t* stored = empty && size <= sizeof scratch ? scratch : PlaceRecordLocked(size, location);
    if (stored == nullptr) return false;
    if (!IndexRowLocked(location, stored == scratch)) {
        if (stored != scratch) last_chunk_used_ -= size;  // the place is given back: the next row takes it
        return false;
    }

    stored[kStoredKeyAt] = key;
    if (short_header) {
        stored[kStoredShapeAt] = static_cast<std::uint8_t>(positions + (references ? kShortShapeWithReferences : 0));
    } else {
        stored[kStoredShapeAt] = static_cast<std::uint8_t>((dense ? kDenseShape : kSparseShape) |
                                                           (references ? kReferencesBit : 0));
        WriteInt16(stored + kStoredFirstIdentifierAt, static_cast<std::int16_t>(first));
        WriteUint16(stored + kStoredCountAt, static_cast<std::uint16_t>(positions));
    }
    std::uint8_t* identifiers = stored + header_size;
    std::uint8_t* lengths = identifiers + (dense ? 0 : 2 * count);
    std::uint8_t* reference_mask = lengths + positions;
    std::uint8_t* starts = reference_mask + mask_size;
    std::uint8_t* cells = starts + 2 * runs;
    if (dense) std::memset(lengths, 0, positions);
    std::memset(reference_mask, 0, mask_size);
    std::size_t written = 0;
    for (std::size_t index = 0; index < count; ++index) {
        const FieldAt& field = fields_[index];
        const std::size_t position = dense ? static_cast<std::size_t>(field.identifier - first) : index;
        if (!dense) WriteInt16(identifiers + 2 * index, field.identifier);
        if (field.reference >= 0) {
            lengths[position] = kReferenceSize;
            reference_mask[position / 8] = static_cast<std::uint8_t>(reference_mask[position / 8] | (1u << (position % 8)));
            WriteUint16(cells + written, static_cast<std::uint16_t>(field.reference));
            written += kReferenceSize;
            continue;
        }
        lengths[position] = field.length;
        if (scramble) CopyScrambled(cells + written, field.bytes, field.length, key);
        else std::memcpy(cells + written, field.bytes, field.length);
        written += field.length;
    }
    std::size_t start = 0;
    for (std::size_t position = 0; position < positions; ++position) {
        if (position != 0 && position % kPositionsPerRun == 0) {
            WriteUint16(starts + 2 * (position / kPositionsPerRun - 1),
                        static_cast<std::uint16_t>(start));
        }
        start += lengths[position];
    }

    ++row_count_;
    std::uint32_t record_identifier = ReadUint32(header + kNextRecordIdentifierAt);
    WriteUint32(header + kRecordCountAt, row_count_);
    WriteUint32(header + kNextRecordIdentifierAt, record_identifier + 1);
    if (record_length > ReadUint16(header + kRecordSizeAt)) {
        WriteUint16(header + kRecordSizeAt, static_cast<std::uint16_t>(record_length));
    }
    return true;
}

TableStore::ColumnDictionary* TableStore::DictionaryForLocked(std::int16_t identifier) {
    auto at = std::lower_bound(dictionaries_.begin(), dictionaries_.end(), identifier,
                               [](const std::unique_ptr<ColumnDictionary>& dictionary, std::int16_t wanted) {
                                   return dictionary->identifier < wanted;
                               });
    if (at != dictionaries_.end() && (*at)->identifier == identifier) return at->get();
    if (dictionaries_.size() >= kMostDictionaries || !DictionariesMayGrowLocked()) return nullptr;
    // The key comes from the row that brings the column's first value, and the column: 32..232
    // like the rows' keys, without another wait for the clock.
    const std::uint8_t key = static_cast<std::uint8_t>(
        32 + (static_cast<unsigned>(fields_key_) + 37u * static_cast<std::uint16_t>(identifier)) % 201);
    try {
        ColumnDictionary* made = dictionaries_.insert(at, std::make_unique<ColumnDictionary>(identifier, key, reallocate_))->get();
        dictionary_bytes_ += made->Bytes() + sizeof(dictionaries_[0]);
        return made;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

const TableStore::ColumnDictionary* TableStore::DictionaryOf(std::int16_t identifier) const {
    std::size_t low = 0, high = dictionaries_.size();
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        if (dictionaries_[middle]->identifier < identifier) low = middle + 1;
        else high = middle;
    }
    return low < dictionaries_.size() && dictionaries_[low]->identifier == identifier ? dictionaries_[low].get()
                                                                                       : nullptr;
}

void TableStore::ReferenceRepeatedValuesLocked(std::uint8_t key, bool scramble) {
    fields_key_ = key;
    // A row's cells go in groups: each value of a group is scrambled and hashed and its hash slot
    // and entry asked for before any is looked up, so that their waits for memory overlap. Each
    // column has one cell in a row, so a lookup cannot change another's dictionary in between.
    constexpr std::size_t kGroup = 8;
    enum class Lookup : std::uint8_t { None, Prepared, First };
    struct Pending {
        Lookup lookup;
        ColumnDictionary* dictionary;
        std::uint32_t hash;
        std::uint8_t bytes[kLongestCell];
    };
    Pending pending[kGroup];
    // The value as the dictionary keeps it (scrambled with its key), and its hash.
    const auto prepare = [key, scramble](const FieldAt& field, ColumnDictionary* dictionary, Pending& value) {
        std::uint8_t plain[kLongestCell];
        const std::uint8_t* bytes = field.bytes;
        if (!scramble) {
            CopyScrambled(plain, field.bytes, field.length, key);
            bytes = plain;
        }
        CopyScrambled(value.bytes, bytes, field.length, dictionary->key);
        value.hash = HashOfValue(value.bytes, field.length);
        value.dictionary = dictionary;
    };
    const std::size_t count = fields_.size();
    for (std::size_t first = 0; first < count; first += kGroup) {
        const std::size_t end = std::min(count, first + kGroup);
        for (std::size_t index = first; index < end; ++index) {
            FieldAt& field = fields_[index];
            Pending& value = pending[index - first];
            field.reference = -1;
            value.lookup = Lookup::None;
            if (field.length < kShortestKeptValue) continue;
            ColumnDictionary* dictionary = KnownDictionaryLocked(index, field.identifier);
            if (dictionary == nullptr) {
                // Made (or refused) in its turn, as the bytes the cells before it take decide.
                value.lookup = Lookup::First;
                continue;
            }
            if (!dictionary->looking_up) continue;
            prepare(field, dictionary, value);
            value.lookup = Lookup::Prepared;
            dictionary->PrefetchSlot(value.hash);
        }
        for (std::size_t index = first; index < end; ++index) {
            const Pending& value = pending[index - first];
            if (value.lookup == Lookup::Prepared) value.dictionary->PrefetchEntry(value.hash);
        }
        for (std::size_t index = first; index < end; ++index) {
            FieldAt& field = fields_[index];
            Pending& value = pending[index - first];
            if (value.lookup == Lookup::None) continue;
            if (value.lookup == Lookup::First) {
                ColumnDictionary* dictionary = DictionaryForLocked(field.identifier);
                if (dictionary == nullptr || !dictionary->looking_up) continue;
                prepare(field, dictionary, value);
            }
            ColumnDictionary* dictionary = value.dictionary;
            const std::size_t bytes_before = dictionary->Bytes();
            field.reference =
                dictionary->FindOrEnterScrambled(value.bytes, field.length, value.hash, DictionariesMayGrowLocked());
            dictionary->CountLookup(field.reference >= 0);
            dictionary_bytes_ = dictionary_bytes_ + dictionary->Bytes() - bytes_before;
        }
    }
}

TableStore::ColumnDictionary* TableStore::KnownDictionaryLocked(std::size_t field_index, std::int16_t identifier) {
    // Rows of a table mostly have the same columns: the dictionary of the previous row's cell
    // at this place is the likely one.
    if (field_index < field_dictionaries_.size()) {
        const auto& [known_identifier, known] = field_dictionaries_[field_index];
        if (known_identifier == identifier && known != nullptr) return known;
    }
    ColumnDictionary* dictionary = const_cast<ColumnDictionary*>(DictionaryOf(identifier));
    if (dictionary == nullptr) return nullptr;
    try {
        if (field_index >= field_dictionaries_.size()) field_dictionaries_.resize(field_index + 1, {0, nullptr});
        field_dictionaries_[field_index] = {identifier, dictionary};
    } catch (const std::bad_alloc&) {
        // Only a shortcut: the dictionary is searched for again next time.
    }
    return dictionary;
}

bool TableStore::DictionariesMayGrowLocked() const {
    return dictionary_bytes_ < kDictionaryFloor + NextLocationLocked() / kDictionaryShareOfRows;
}

std::int32_t TableStore::FirstIdentifierLocked() const {
    const std::uint8_t* header = block_.Bytes();
    const std::uint8_t* table = header + ReadUint16(header + kColumnTableAt);
    const int columns = ReadUint16(header + kColumnCountAt);
    if (columns == 0) return fields_.empty() ? 1 : fields_.front().identifier;
    std::int32_t first = ReadInt16(table);
    for (int index = 1; index < columns; ++index) first = std::min<std::int32_t>(first, ReadInt16(table + index * kColumnSize));
    return first;
}

std::uint32_t TableStore::NextLocationLocked() const {
    if (chunk_count_ == 0) return 0;
    return static_cast<std::uint32_t>(((chunk_count_ - 1) << kChunkShift) + last_chunk_used_);
}

std::uint8_t* TableStore::PlaceRecordLocked(std::size_t size, std::uint32_t& location) {
    if (size > kChunkSize) return nullptr;
    std::uint8_t** chunks = reinterpret_cast<std::uint8_t**>(chunk_table_.Bytes());
    if (chunk_count_ == 1 && last_chunk_used_ + size > last_chunk_capacity_ &&
        last_chunk_capacity_ < kChunkSize) {
        // Growing the first chunk moves it, which its rows' locations (offsets) survive.
        std::size_t grown = std::max(last_chunk_capacity_ * 2, last_chunk_used_ + size);
        grown = std::min(kChunkSize, (grown + kFirstChunkSize - 1) / kFirstChunkSize * kFirstChunkSize);
        if (last_chunk_used_ + size <= grown) {
            void* moved = reallocate_(chunks[0], grown);
            if (moved == nullptr) return nullptr;
            chunks[0] = static_cast<std::uint8_t*>(moved);
            last_chunk_capacity_ = grown;
        }
    }
    if (chunk_count_ == 0 || last_chunk_used_ + size > last_chunk_capacity_) {
        if (chunk_count_ == kMostChunks) return nullptr;
        if (!chunk_table_.Grow((chunk_count_ + 1) * sizeof(std::uint8_t*),
                               16 * sizeof(std::uint8_t*), kLargestImage)) {
            return nullptr;
        }
        chunks = reinterpret_cast<std::uint8_t**>(chunk_table_.Bytes());
        std::size_t capacity = kChunkSize;
        if (chunk_count_ == 0) {
            capacity = std::max(kFirstChunkSize,
                                (size + kFirstChunkSize - 1) / kFirstChunkSize * kFirstChunkSize);
        }
        void* chunk = reallocate_(nullptr, capacity);
        if (chunk == nullptr) return nullptr;
        chunks[chunk_count_++] = static_cast<std::uint8_t*>(chunk);
        last_chunk_used_ = 0;
        last_chunk_capacity_ = capacity;
    }
    location = static_cast<std::uint32_t>(((chunk_count_ - 1) << kChunkShift) | last_chunk_used_);
    std::uint8_t* place = chunks[chunk_count_ - 1] + last_chunk_used_;
    last_chunk_used_ += size;
    return place;
}

bool TableStore::ReserveRows(std::uint32_t count) {
    std::lock_guard<std::mutex> guard(lock_);
    if (block_.Bytes() == nullptr) return false;
    std::size_t rows = static_cast<std::size_t>(row_count_) + count;
    if (!GrowRowIndexLocked(rows)) return false;
    for (std::size_t row = row_count_ & ~std::size_t{kRowsPerOffsetPage - 1}; row < rows; row += kRowsPerOffsetPage) {
        if (BlockOffsetsLocked(static_cast<std::uint32_t>(row)) == nullptr) return false;
    }
    return true;
}

bool TableStore::GrowRowIndexLocked(std::size_t rows) {
    const std::size_t blocks = (rows + kRowsPerBlock - 1) >> kRowBlockShift;
    const std::size_t pages = (rows + kRowsPerOffsetPage - 1) >> kOffsetPageShift;
    if (!row_blocks_.Grow(blocks * sizeof(RowBlock), kLocationStep, kLargestImage)) return false;
    if (pages <= offset_page_count_) return true;
    if (!offset_pages_.Grow(pages * sizeof(std::uint16_t*), kLocationStep, kLargestImage)) return false;
    // A page is taken when a row with cells first needs it (BlockOffsetsLocked).
    std::uint16_t** table = reinterpret_cast<std::uint16_t**>(offset_pages_.Bytes());
    while (offset_page_count_ < pages) table[offset_page_count_++] = nullptr;
    return true;
}

std::uint16_t* TableStore::BlockOffsetsLocked(std::uint32_t first_row) {
    std::uint16_t*& page = reinterpret_cast<std::uint16_t**>(offset_pages_.Bytes())[first_row >> kOffsetPageShift];
    if (page == nullptr) page = static_cast<std::uint16_t*>(reallocate_(nullptr, kOffsetPageSize));
    return page != nullptr ? RowOffsets(first_row) : nullptr;
}

inline std::uint16_t* TableStore::RowOffsets(std::uint32_t row) const {
    return reinterpret_cast<std::uint16_t* const*>(offset_pages_.Bytes())[row >> kOffsetPageShift] +
           (row & (kRowsPerOffsetPage - 1));
}

bool TableStore::IndexRowLocked(std::uint32_t location, bool empty) {
    const std::uint32_t row = row_count_;
    const std::uint32_t in_block = row & (kRowsPerBlock - 1);
    RowBlock& block = reinterpret_cast<RowBlock*>(row_blocks_.Bytes())[row >> kRowBlockShift];
    if (in_block == 0) block = RowBlock{location, empty ? kEmptyBlock : kNarrowBlock};
    if (block.wide == kEmptyBlock && empty) return true;
    // A block's distances lie in one page, one after another.
    std::uint16_t* offsets = BlockOffsetsLocked(row - in_block);
    if (offsets == nullptr) return false;
    if (block.wide == kEmptyBlock) {
        std::fill(offsets, offsets + in_block, kEmptyRowDistance);
        block.wide = kNarrowBlock;
    }
    // Locations only rise as rows are added, so the distance is never negative.
    const std::uint32_t distance = location - block.first;
    if (block.wide == kNarrowBlock && (empty || distance <= kLongestDistance)) {
        offsets[in_block] = empty ? kEmptyRowDistance : static_cast<std::uint16_t>(distance);
        return true;
    }
    if (block.wide == kNarrowBlock) {
        const std::size_t held = static_cast<std::size_t>(wide_blocks_) + 1;
        if (!wide_locations_.Grow(held * kRowsPerBlock * sizeof(std::uint32_t), kLocationStep, kLargestImage)) {
            return false;
        }
        std::uint32_t* wide = reinterpret_cast<std::uint32_t*>(wide_locations_.Bytes()) +
                              static_cast<std::size_t>(wide_blocks_) * kRowsPerBlock;
        for (std::uint32_t k = 0; k < in_block; ++k) {
            wide[k] = offsets[k] == kEmptyRowDistance ? kEmptyRowLocation : block.first + offsets[k];
        }
        block.wide = wide_blocks_++;
    }
    offsets[in_block] = 0;
    reinterpret_cast<std::uint32_t*>(wide_locations_.Bytes())[static_cast<std::size_t>(block.wide) * kRowsPerBlock +
                                                              in_block] = empty ? kEmptyRowLocation : location;
    return true;
}

inline const std::uint8_t* TableStore::RecordAt(std::uint32_t row_index) const {
    const RowBlock& block = reinterpret_cast<const RowBlock*>(row_blocks_.Bytes())[row_index >> kRowBlockShift];
    std::uint32_t location;
    if (block.wide == kNarrowBlock) {
        const std::uint16_t distance = *RowOffsets(row_index);
        if (distance == kEmptyRowDistance) return kEmptyStoredRow;
        location = block.first + distance;
    } else if (block.wide == kEmptyBlock) {
        return kEmptyStoredRow;
    } else {
        location = reinterpret_cast<const std::uint32_t*>(
            wide_locations_.Bytes())[static_cast<std::size_t>(block.wide) * kRowsPerBlock + (row_index & (kRowsPerBlock - 1))];
        if (location == kEmptyRowLocation) return kEmptyStoredRow;
    }
    const std::uint8_t* const* chunks =
        reinterpret_cast<const std::uint8_t* const*>(chunk_table_.Bytes());
    return chunks[location >> kChunkShift] + (location & (kChunkSize - 1));
}

inline TableStore::StoredCell TableStore::LocateStoredCell(const std::uint8_t* stored,
                                                           std::int16_t identifier) const {
    const StoredShape shape = ReadStoredShape(stored, first_identifier_);
    const std::size_t positions = shape.positions;
    const std::uint8_t* lengths = stored + shape.header_size;
    std::size_t position = positions;  // none
    if (!shape.sparse) {
        const std::int32_t offset = identifier - shape.first;
        if (offset >= 0) position = static_cast<std::size_t>(offset);
    } else {
        const std::uint8_t* identifiers = lengths;
        lengths += 2 * positions;
        std::size_t low = 0, high = positions;
        while (low < high) {
            std::size_t middle = (low + high) / 2;
            if (ReadInt16(identifiers + 2 * middle) < identifier) low = middle + 1;
            else high = middle;
        }
        if (low < positions && ReadInt16(identifiers + 2 * low) == identifier) position = low;
    }
    const std::size_t length = position < positions ? lengths[position] : 0;
    if (length == 0) return {0, nullptr, 0};
    const std::size_t runs = (positions - 1) / kPositionsPerRun;
    const std::uint8_t* reference_mask = lengths + positions;
    const std::uint8_t* starts = reference_mask + ReferenceMaskSize(shape);
    const std::size_t run = position / kPositionsPerRun;
    std::size_t start = run != 0 ? ReadUint16(starts + 2 * (run - 1)) : 0;
    for (std::size_t before = run * kPositionsPerRun; before < position; ++before) {
        start += lengths[before];
    }
    const std::uint8_t* bytes = starts + 2 * runs + start;
    const bool reference = shape.references && ((reference_mask[position / 8] >> (position % 8)) & 1) != 0;
    return {length, bytes, stored[kStoredKeyAt], reference};
}

inline TableStore::StoredCell TableStore::FindStoredCell(const std::uint8_t* stored,
                                                         std::int16_t identifier) const {
    const StoredCell cell = LocateStoredCell(stored, identifier);
    if (!cell.reference) return cell;
    const std::size_t entry = ReadUint16(cell.bytes);
    const ColumnDictionary* dictionary = DictionaryOf(identifier);
    if (dictionary == nullptr || entry >= dictionary->entry_count) return {0, nullptr, 0};
    const std::uint8_t* value = dictionary->Entry(entry);
    return {value[0], value + 1, dictionary->key};
}

std::size_t TableStore::GetCellText(std::int64_t row_index, std::int16_t identifier,
                                    std::uint8_t* output, std::size_t output_size) const {
    if (output == nullptr) return 0;
    if (row_index < 0 || row_index >= row_count_) {
        std::memset(output, 0, output_size);
        return 0;
    }
    const std::uint8_t* stored = RecordAt(static_cast<std::uint32_t>(row_index));
    const StoredCell cell = FindStoredCell(stored, identifier);
    std::size_t length = cell.length;
    if (length == 0) {
        std::memset(output, 0, output_size);
        return 0;
    }
    if (output_size != 0 && output_size < length) length = output_size;
    CopyScrambled(output, cell.bytes, length, cell.key);
    return length;
}

void TableStore::GetColumnCells(std::int16_t identifier, const std::uint32_t* rows,
                                std::size_t count, std::uint8_t* texts,
                                std::uint8_t* lengths) const {
    if (rows == nullptr || lengths == nullptr) return;
    const ColumnDictionary* dictionary = DictionaryOf(identifier);
    // In groups: the cells of a group are found in their rows and the dictionary entries they
    // refer to asked for before any is copied, so the waits for those entries overlap.
    constexpr std::size_t kGroup = 32;
    StoredCell cells[kGroup];
    for (std::size_t first = 0; first < count; first += kGroup) {
        const std::size_t end = std::min(count, first + kGroup);
        for (std::size_t k = first; k < end; ++k) {
            StoredCell& cell = cells[k - first];
            if (rows[k] >= row_count_) {
                cell = {0, nullptr, 0};
                continue;
            }
            cell = LocateStoredCell(RecordAt(rows[k]), identifier);
            if (!cell.reference) continue;
            const std::size_t entry = ReadUint16(cell.bytes);
            if (dictionary == nullptr || entry >= dictionary->entry_count) {
                cell = {0, nullptr, 0};
                continue;
            }
            cell.bytes = dictionary->Entry(entry);
            __builtin_prefetch(cell.bytes);
        }
        for (std::size_t k = first; k < end; ++k) {
            StoredCell cell = cells[k - first];
            if (cell.reference) cell = {cell.bytes[0], cell.bytes + 1, dictionary->key};
            lengths[k] = static_cast<std::uint8_t>(cell.length);
            if (texts != nullptr && cell.length != 0) {
                CopyScrambled(texts + k * kCellStride, cell.bytes, cell.length, cell.key);
            }
        }
    }
}

StoreImageView TableStore::Image() const {
    std::lock_guard<std::mutex> guard(lock_);
    const std::uint8_t* header = block_.Bytes();
    if (header == nullptr) return {nullptr, 0};
    return {header, ReadUint16(header + kRecordAreaAt)};
}

StoreImageView TableStore::RowRecord(std::int64_t row_index) const {
    std::lock_guard<std::mutex> guard(lock_);
    if (row_index < 0 || row_index >= row_count_) return {nullptr, 0};
    const std::uint8_t* stored = RecordAt(static_cast<std::uint32_t>(row_index));
    const StoredShape shape = ReadStoredShape(stored, first_identifier_);
    const std::size_t positions = shape.positions;
    const std::uint8_t* lengths = stored + shape.header_size + (shape.sparse ? 2 * positions : 0);
    const std::size_t runs = positions != 0 ? (positions - 1) / kPositionsPerRun : 0;
    std::size_t size = static_cast<std::size_t>(lengths - stored) + positions + ReferenceMaskSize(shape) + 2 * runs;
    for (std::size_t position = 0; position < positions; ++position) size += lengths[position];
    return {stored, size};
}

std::size_t TableStore::DictionaryBytes() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::size_t bytes = dictionaries_.capacity() * sizeof(dictionaries_[0]);
    for (const auto& dictionary : dictionaries_) bytes += dictionary->Bytes();
    return bytes;
}
