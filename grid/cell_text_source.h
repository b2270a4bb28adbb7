// The callback through which every cell text reaches the grid, printing and export.
#ifndef LINTARO_GRID_CELL_TEXT_SOURCE_H
#define LINTARO_GRID_CELL_TEXT_SOURCE_H

#include <algorithm>
#include <cstdint>

// Writes the text of the cell in row `row_key`, table store column `column_identifier`, into
// `buffer` and returns its length. The buffer has room for buffer_size + 1 bytes (the grid
// passes 255), so the text may be buffer_size bytes and its terminator. Code page 1251.
// `context` is the one given with the function: whatever holds the table.
using CellTextFunction = int (*)(void* context, int row_key, int column_identifier, char* buffer,
                                 int buffer_size);

// The buffer_size the grid passes; its buffers hold one byte more.
constexpr int kCellTextLimit = 255;
// The bytes between one cell and the next in a column read.
constexpr int kCellTextStride = kCellTextLimit + 1;

// Optional: the texts of one column for `count` rows at once, what the function above gives
// for each: the text of row_keys[k] goes to texts + k * kCellTextStride (no terminator needed)
// and its length, at most kCellTextLimit, to lengths[k]. A null `texts` asks for the lengths
// alone. Walking a big table a column block at a time spares a call per cell. It may be called
// from two threads at once, and beside the cell text function: the texts must not change.
using CellColumnFunction = void (*)(void* context, int column_identifier,
                                    const std::uint32_t* row_keys, int count, char* texts,
                                    std::uint8_t* lengths);

// A cell text function and its context, set together; without a function there are no texts.
struct CellTextSource {
    CellTextFunction function = nullptr;
    void* context = nullptr;
    CellColumnFunction column_function = nullptr;

    bool Present() const { return function != nullptr; }
    int Fetch(int row_key, int column_identifier, char* buffer, int buffer_size) const {
        return function(context, row_key, column_identifier, buffer, buffer_size);
    }
    // The column read, by the column function or else cell by cell: the same texts either way.
    void FetchColumn(int column_identifier, const std::uint32_t* row_keys, int count, char* texts,
                     std::uint8_t* lengths) const {
        if (column_function != nullptr) {
            column_function(context, column_identifier, row_keys, count, texts, lengths);
            return;
        }
        char scratch[kCellTextStride];
        for (int k = 0; k < count; ++k) {
            char* buffer = texts != nullptr ? texts + static_cast<std::size_t>(k) * kCellTextStride : scratch;
            const int length = std::clamp(
                Fetch(static_cast<int>(row_keys[k]), column_identifier, buffer, kCellTextLimit), 0, kCellTextLimit);
            lengths[k] = static_cast<std::uint8_t>(length);
        }
    }
};

#endif
