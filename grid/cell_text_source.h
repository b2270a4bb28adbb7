// The callback through which every cell text reaches the grid, printing and export.
#ifndef LINTARO_GRID_CELL_TEXT_SOURCE_H
#define LINTARO_GRID_CELL_TEXT_SOURCE_H

// Writes the text of the cell in row `row_key`, table store column `column_identifier`, into
// `buffer` and returns its length. The buffer has room for buffer_size + 1 bytes (the grid
// passes 255), so the text may be buffer_size bytes and its terminator. Code page 1251.
// `context` is the one given with the function: whatever holds the table.
using CellTextFunction = int (*)(void* context, int row_key, int column_identifier, char* buffer,
                                 int buffer_size);

// A cell text function and its context, set together; without a function there are no texts.
struct CellTextSource {
    CellTextFunction function = nullptr;
    void* context = nullptr;

    bool Present() const { return function != nullptr; }
    int Fetch(int row_key, int column_identifier, char* buffer, int buffer_size) const {
        return function(context, row_key, column_identifier, buffer, buffer_size);
    }
};

// The buffer_size the grid passes; its buffers hold one byte more.
constexpr int kCellTextLimit = 255;

#endif
