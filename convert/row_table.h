// The rows of a data file kept for one conversion, read once and then fetched cell by cell.
#ifndef LINTARO_CONVERT_ROW_TABLE_H
#define LINTARO_CONVERT_ROW_TABLE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/data_file.h"

// A conversion never changes a row, so the rows are kept plain and packed one after another,
// each found in a fixed number of steps: what the grid, the sort and the writers ask for is
// copied out with no unscrambling and no lock. The cells are the store's (same cut, trim and
// empty cells); CellText gives what TableStore::GetCellText gives for them. Filled on one
// thread; once filled, any number of threads may read at once.
class RowTable : public DataRowReceiver {
public:
    RowTable() = default;
    RowTable(const RowTable&) = delete;
    RowTable& operator=(const RowTable&) = delete;

    bool TakeRow(const StoreCell* cells, std::size_t count) override;

    // Moves the rows of `later` (read from further on in the file) after these, with no copy of
    // their records or of their index; rows taken afterwards come after them. False, with both
    // tables as they were, when the rows would be too many to count or out of memory.
    bool AppendRows(RowTable& later);

    std::uint32_t RowCount() const {
        return static_cast<std::uint32_t>(rows_.size() + (later_ != nullptr ? later_->RowCount() : 0));
    }

    // Copies at most `size` bytes (at least 1) of the cell of column `identifier` in `row` and
    // returns their number; 0 for a row out of range or a column the row has no cell in.
    std::size_t CellText(std::int64_t row, std::int16_t identifier, char* output, std::size_t size) const;

    // A CellTextFunction reading the RowTable given as its context (terminates the text).
    static int FetchCell(void* table, int row_key, int column_identifier, char* buffer, int size);
    // The CellColumnFunction beside it: the same cells, a block of rows of one column at a time.
    static void FetchColumn(void* table, int column_identifier, const std::uint32_t* row_keys, int count, char* texts,
                            std::uint8_t* lengths);

private:
    // The record of `row`, in these rows or the later ones; null past the last.
    const std::uint8_t* Record(std::uint64_t row) const;
    // The length of the cell of column `identifier` in `row` (0 for none), with `bytes` at its text.
    std::size_t FindCell(std::uint64_t row, std::int16_t identifier, const std::uint8_t*& bytes) const;
    // Room for a record of `size` bytes after the last one; null when out of memory.
    std::uint8_t* Place(std::size_t size);

    struct FreeChunk {
        void operator()(std::uint8_t* chunk) const;
    };
    std::vector<std::unique_ptr<std::uint8_t[], FreeChunk>> chunks_;
    std::size_t chunk_used_ = 0;
    std::size_t chunk_size_ = 0;
    // Where each record starts, in blocks of fixed size: a growing index is never copied into
    // fresh memory twice its size, as one vector would be.
    class RecordIndex {
    public:
        std::size_t size() const { return count_; }
        const std::uint8_t* operator[](std::size_t row) const { return blocks_[row >> kBlockShift][row & kBlockMask]; }
        // False when out of memory, with the index as it was.
        bool Add(const std::uint8_t* record);
        void clear() {
            blocks_.clear();
            count_ = 0;
        }

    private:
        static constexpr std::size_t kBlockShift = 16;
        static constexpr std::size_t kBlockMask = (std::size_t{1} << kBlockShift) - 1;
        std::vector<std::unique_ptr<const std::uint8_t*[]>> blocks_;
        std::size_t count_ = 0;
    };
    RecordIndex rows_;
    std::unique_ptr<RowTable> later_;  // the rows after rows_, moved in whole by AppendRows
};

#endif
