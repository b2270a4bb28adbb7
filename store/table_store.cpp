// TableStore: one table in memory, an image of column descriptors and scrambled row records.
#include "store/table_store.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>

#include "base/byte_order.h"

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

// The millisecond part is the same in local time as in UTC: zone offsets are whole minutes.
int MillisecondsOfRealClock() {
    auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count();
    return static_cast<int>(milliseconds % 1000);
}

// XORs each byte with (key + i) mod 256; a key of 0 leaves the bytes plain. Its own inverse.
void CopyScrambled(std::uint8_t* target, const std::uint8_t* source, std::size_t count,
                   std::uint8_t key) {
    if (key == 0) {
        std::memcpy(target, source, count);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
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
      block_(reallocate) {
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

TableStore::~TableStore() = default;

int TableStore::CountColumns() const {
    std::lock_guard<std::mutex> guard(lock_);
    const std::uint8_t* header = block_.Bytes();
    return header != nullptr ? ReadUint16(header + kColumnCountAt) : 0;
}

std::uint32_t TableStore::CountRows() const {
    std::lock_guard<std::mutex> guard(lock_);
    const std::uint8_t* header = block_.Bytes();
    return header != nullptr ? ReadUint32(header + kRecordCountAt) : 0;
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

    std::size_t table_end = table_at + (column_count + 1) * kColumnSize;
    std::size_t record_area_at = ReadUint16(header + kRecordAreaAt);
    std::size_t record_bytes = static_cast<std::size_t>(ReadUint32(header + kRecordCountAt)) *
                               ReadUint16(header + kRecordSizeAt);
    std::size_t new_record_area_at = std::max(record_area_at, table_end);
    if (!block_.Grow(new_record_area_at + record_bytes, kGrowthStep, kLargestImage)) return false;
    header = block_.Bytes();

    if (new_record_area_at != record_area_at) {
        std::memmove(header + new_record_area_at, header + record_area_at, record_bytes);
        WriteUint16(header + kRecordAreaAt, static_cast<std::uint16_t>(new_record_area_at));
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

    std::uint32_t record_identifier = ReadUint32(header + kNextRecordIdentifierAt);
    WriteUint32(row + kRecordIdentifierAt, record_identifier);
    std::size_t no_match = 0;
    std::size_t record_length = WalkFields(row, row_capacity, 0, no_match);
    // The header's record size is 16-bit, so a longer record cannot be described.
    if (record_length < kEmptyRecordSize || record_length > kLargestRecord) return false;

    std::uint32_t record_count = ReadUint32(header + kRecordCountAt);
    if (record_count == std::numeric_limits<std::uint32_t>::max()) return false;
    std::size_t record_size = ReadUint16(header + kRecordSizeAt);
    std::size_t slot_size = std::max(record_size, record_length);
    std::size_t record_area_at = ReadUint16(header + kRecordAreaAt);

    // Growing once for both the widening and the new slot keeps a failure from leaving
    // the store half changed.
    std::size_t needed = record_area_at + (static_cast<std::size_t>(record_count) + 1) * slot_size;
    if (!block_.Grow(needed, kGrowthStep, kLargestImage)) return false;
    header = block_.Bytes();
    if (slot_size > record_size) WidenSlotsLocked(slot_size);

    std::uint8_t* slot =
        header + record_area_at + static_cast<std::size_t>(record_count) * slot_size;
    std::memcpy(slot, row, record_length);
    std::memset(slot + record_length, 0, slot_size - record_length);
    WriteUint32(header + kRecordCountAt, record_count + 1);
    if (record_identifier >= ReadUint32(header + kNextRecordIdentifierAt)) {
        WriteUint32(header + kNextRecordIdentifierAt, record_identifier + 1);
    }
    return true;
}

bool TableStore::ReserveRows(std::uint32_t count, std::size_t longest) {
    if (longest > kLargestRecord) return false;
    std::lock_guard<std::mutex> guard(lock_);
    const std::uint8_t* header = block_.Bytes();
    if (header == nullptr) return false;

    std::size_t record_size = ReadUint16(header + kRecordSizeAt);
    std::size_t slot_size = std::max(record_size, longest);
    std::size_t record_area_at = ReadUint16(header + kRecordAreaAt);
    std::size_t rows = static_cast<std::size_t>(ReadUint32(header + kRecordCountAt)) + count;
    if (slot_size != 0 && rows > (kLargestImage - record_area_at) / slot_size) return false;
    if (!block_.Grow(record_area_at + rows * slot_size, kGrowthStep, kLargestImage)) return false;
    if (slot_size > record_size) WidenSlotsLocked(slot_size);
    return true;
}

void TableStore::WidenSlotsLocked(std::size_t record_size) {
    std::uint8_t* header = block_.Bytes();
    std::size_t old_size = ReadUint16(header + kRecordSizeAt);
    std::size_t record_count = ReadUint32(header + kRecordCountAt);
    std::uint8_t* area = header + ReadUint16(header + kRecordAreaAt);
    // From the last record down, so that no record is overwritten before it has moved.
    for (std::size_t index = record_count; index-- > 0;) {
        std::memmove(area + index * record_size, area + index * old_size, old_size);
        std::memset(area + index * record_size + old_size, 0, record_size - old_size);
    }
    WriteUint16(header + kRecordSizeAt, static_cast<std::uint16_t>(record_size));
}

std::size_t TableStore::GetCellText(std::int64_t row_index, std::int16_t identifier,
                                    std::uint8_t* output, std::size_t output_size) const {
    if (output == nullptr) return 0;
    std::lock_guard<std::mutex> guard(lock_);
    const std::uint8_t* header = block_.Bytes();
    std::size_t field_at = 0;
    const std::uint8_t* slot = nullptr;
    if (header != nullptr && row_index >= 0 && row_index < ReadUint32(header + kRecordCountAt)) {
        std::size_t record_size = ReadUint16(header + kRecordSizeAt);
        slot = header + ReadUint16(header + kRecordAreaAt) +
               static_cast<std::size_t>(row_index) * record_size;
        WalkFields(slot, record_size, identifier, field_at);  // a damaged tail only hides cells
    }
    if (field_at == 0) {
        std::memset(output, 0, output_size);
        return 0;
    }
    std::size_t length = slot[field_at];
    if (output_size != 0 && output_size < length) length = output_size;
    CopyScrambled(output, slot + field_at + kFieldHeaderSize, length, slot[kScrambleKeyAt]);
    return length;
}

StoreImageView TableStore::Image() const {
    std::lock_guard<std::mutex> guard(lock_);
    const std::uint8_t* header = block_.Bytes();
    if (header == nullptr) return {nullptr, 0};
    std::size_t used = ReadUint16(header + kRecordAreaAt) +
                       static_cast<std::size_t>(ReadUint32(header + kRecordCountAt)) *
                           ReadUint16(header + kRecordSizeAt);
    return {header, used};
}
