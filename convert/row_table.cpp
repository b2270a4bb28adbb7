// The converter's rows: packed records, one per data line.
#include "convert/row_table.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/byte_order.h"
#include "grid/cell_text_source.h"

namespace {

// A record: the first cell's identifier (2, signed), a count (2: bit 15 set when the row is
// sparse, the other bits the positions), for a sparse row the identifier of each position (2
// each, rising), the end of each position's bytes after the header (2 each; an empty position
// ends where the one before it did), then the bytes. A dense row has a position for every
// identifier from its first to its last, so a cell is found by subtraction; a row with wide
// gaps between its cells (a line of many empty pieces) keeps its cells only, found by halving.
constexpr std::size_t kHeaderSize = 4;
constexpr std::uint16_t kSparse = 0x8000;
constexpr std::size_t kMostPositions = 0x7FFF;
constexpr std::size_t kChunkSize = std::size_t{4} << 20;
// Chunks start at a huge page, which the kernel may then back with two huge pages instead of
// two thousand small ones: a big table is stored with a thousandth of the page faults.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLongestRecordBytes = 0xFFFF;  // the ends are 16-bit

}  // namespace

void RowTable::FreeChunk::operator()(std::uint8_t* chunk) const {
    std::free(chunk);
}

std::uint8_t* RowTable::Place(std::size_t size) {
    if (chunks_.empty() || chunk_size_ - chunk_used_ < size) {
        // aligned_alloc takes whole multiples of the alignment.
        const std::size_t capacity = std::max(size + kHugePage - 1, kChunkSize) / kHugePage * kHugePage;
        std::unique_ptr<std::uint8_t[], FreeChunk> chunk(static_cast<std::uint8_t*>(std::aligned_alloc(kHugePage, capacity)));
        if (chunk == nullptr) return nullptr;
        ::madvise(chunk.get(), capacity, MADV_HUGEPAGE);
        try {
            chunks_.push_back(std::move(chunk));
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        chunk_size_ = capacity;
        chunk_used_ = 0;
    }
    std::uint8_t* at = chunks_.back().get() + chunk_used_;
    chunk_used_ += size;
    return at;
}

bool RowTable::RecordIndex::Add(const std::uint8_t* record) {
    if ((count_ & kBlockMask) == 0) {
        std::unique_ptr<const std::uint8_t*[]> block(new (std::nothrow) const std::uint8_t*[kBlockMask + 1]);
        if (block == nullptr) return false;
        try {
            blocks_.push_back(std::move(block));
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    blocks_.back()[count_ & kBlockMask] = record;
    ++count_;
    return true;
}

bool RowTable::TakeRow(const StoreCell* cells, std::size_t count) {
    if (later_ != nullptr) return RowCount() < UINT32_MAX && later_->TakeRow(cells, count);
    if (rows_.size() >= UINT32_MAX || count > kMostPositions || (count != 0 && cells == nullptr)) return false;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < count; ++i) {
        // The reader hands over rising identifiers of non-empty cells that fit a store record.
        if (cells[i].length == 0 || cells[i].length > 255 || (i > 0 && cells[i].identifier <= cells[i - 1].identifier)) {
            return false;
        }
        bytes += cells[i].length;
    }
    if (bytes > kLongestRecordBytes) return false;
    const std::int32_t first = count != 0 ? cells[0].identifier : 0;
    const std::size_t span = count != 0 ? static_cast<std::size_t>(cells[count - 1].identifier - first + 1) : 0;
    const bool dense = span <= 2 * count + 16 && span <= kMostPositions;
    const std::size_t positions = dense ? span : count;
    const std::size_t size = kHeaderSize + (dense ? 2 : 4) * positions + bytes;
    std::uint8_t* record = Place(size);
    if (record == nullptr) return false;
    if (!rows_.Add(record)) {
        chunk_used_ -= size;
        return false;
    }
    WriteInt16(record, static_cast<std::int16_t>(first));
    WriteUint16(record + 2, static_cast<std::uint16_t>(positions | (dense ? 0 : kSparse)));
    std::uint8_t* identifiers = record + kHeaderSize;
    std::uint8_t* ends = identifiers + (dense ? 0 : 2 * positions);
    std::uint8_t* text = ends + 2 * positions;
    std::size_t end = 0;
    std::size_t position = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const StoreCell& cell = cells[i];
        if (dense) {
            // The empty positions before this cell end where the last cell did.
            for (const std::size_t at = static_cast<std::size_t>(cell.identifier - first); position < at; ++position) {
                WriteUint16(ends + 2 * position, static_cast<std::uint16_t>(end));
            }
        } else {
            WriteInt16(identifiers + 2 * position, cell.identifier);
        }
        std::memcpy(text + end, cell.bytes, cell.length);
        end += cell.length;
        WriteUint16(ends + 2 * position, static_cast<std::uint16_t>(end));
        ++position;
    }
    return true;
}

bool RowTable::AppendRows(RowTable& later) {
    // TakeRow keeps at most UINT32_MAX rows; so does a table joined from two.
    if (later.RowCount() > UINT32_MAX - RowCount()) return false;
    if (later_ != nullptr) return later_->AppendRows(later);
    // Moved whole, the rows' index is not copied into fresh memory.
    std::unique_ptr<RowTable> moved(new (std::nothrow) RowTable);
    if (moved == nullptr) return false;
    moved->chunks_ = std::move(later.chunks_);
    moved->rows_ = std::move(later.rows_);
    moved->later_ = std::move(later.later_);
    moved->chunk_size_ = later.chunk_size_;
    moved->chunk_used_ = later.chunk_used_;
    later.chunks_.clear();
    later.rows_.clear();
    later.chunk_size_ = 0;
    later.chunk_used_ = 0;
    later_ = std::move(moved);
    return true;
}

namespace {

// The length of the cell of column `identifier` in `record` (0 for none), with `bytes` at its text.
inline std::size_t CellInRecord(const std::uint8_t* record, std::int16_t identifier, const std::uint8_t*& bytes) {
    const std::int32_t first = ReadInt16(record);
    const std::uint16_t count = ReadUint16(record + 2);
    const std::size_t positions = count & ~kSparse;
    std::size_t position = 0;
    const std::uint8_t* ends = record + kHeaderSize;
    if ((count & kSparse) == 0) {
        if (identifier < first || static_cast<std::size_t>(identifier - first) >= positions) return 0;
        position = static_cast<std::size_t>(identifier - first);
    } else {
        const std::uint8_t* identifiers = ends;
        ends += 2 * positions;
        std::size_t low = 0;
        std::size_t high = positions;
        while (low < high) {
            const std::size_t middle = (low + high) / 2;
            if (ReadInt16(identifiers + 2 * middle) < identifier) low = middle + 1;
            else high = middle;
        }
        if (low == positions || ReadInt16(identifiers + 2 * low) != identifier) return 0;
        position = low;
    }
    const std::size_t start = position == 0 ? 0 : ReadUint16(ends + 2 * (position - 1));
    bytes = ends + 2 * positions + start;
    return ReadUint16(ends + 2 * position) - start;
}

}  // namespace

const std::uint8_t* RowTable::Record(std::uint64_t row) const {
    const RowTable* part = this;
    while (row >= part->rows_.size()) {
        row -= part->rows_.size();
        part = part->later_.get();
        if (part == nullptr) return nullptr;
    }
    return part->rows_[static_cast<std::size_t>(row)];
}

std::size_t RowTable::FindCell(std::uint64_t row, std::int16_t identifier, const std::uint8_t*& bytes) const {
    const std::uint8_t* record = Record(row);
    return record != nullptr ? CellInRecord(record, identifier, bytes) : 0;
}

std::size_t RowTable::CellText(std::int64_t row, std::int16_t identifier, char* output, std::size_t size) const {
    if (row < 0 || size == 0) return 0;
    const std::uint8_t* bytes = nullptr;
    const std::size_t length = std::min(FindCell(static_cast<std::uint64_t>(row), identifier, bytes), size);
    if (length != 0) std::memcpy(output, bytes, length);
    return length;
}

int RowTable::FetchCell(void* table, int row_key, int column_identifier, char* buffer, int size) {
    if (buffer == nullptr) return 0;
    const RowTable* rows = static_cast<const RowTable*>(table);
    // The low 16 bits name the column, as the store reads them.
    const std::size_t length =
        rows != nullptr && size > 0
            ? rows->CellText(row_key, static_cast<std::int16_t>(column_identifier), buffer, static_cast<std::size_t>(size))
            : 0;
    buffer[length] = '\0';
    return static_cast<int>(length);
}

void RowTable::FetchColumn(void* table, int column_identifier, const std::uint32_t* row_keys, int count, char* texts,
                           std::uint8_t* lengths) {
    if (row_keys == nullptr || lengths == nullptr || count <= 0) return;
    const RowTable* rows = static_cast<const RowTable*>(table);
    if (rows == nullptr) {
        std::memset(lengths, 0, static_cast<std::size_t>(count));
        return;
    }
    const auto identifier = static_cast<std::int16_t>(column_identifier);
    for (std::size_t k = 0; k < static_cast<std::size_t>(count); ++k) {
        const std::uint8_t* record = rows->Record(row_keys[k]);
        const std::uint8_t* bytes = nullptr;
        // TakeRow keeps no cell longer than kCellTextLimit, so every length fits a byte and a stride.
        const std::size_t length = record != nullptr ? CellInRecord(record, identifier, bytes) : 0;
        lengths[k] = static_cast<std::uint8_t>(length);
        if (texts != nullptr && length != 0) std::memcpy(texts + k * kCellTextStride, bytes, length);
    }
}
