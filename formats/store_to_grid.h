// Fills the grid from the current table store and lets the grid read cells from it.
#ifndef LINTARO_FORMATS_STORE_TO_GRID_H
#define LINTARO_FORMATS_STORE_TO_GRID_H

#include <cstdint>
#include <string_view>

class GridModel;
class TableStore;

// Rebuilds the grid's columns, header, footer and rows from the store: one grid column per
// store column (numbers right-aligned, pictures centred), then natural widths unless
// `natural_widths` is false (for a caller that needs only the cells, in order: measuring every
// cell on two devices is most of the work). A null header or footer leaves that text empty. Does nothing without a store. False when the grid could not
// take every column and row (it ran out of memory), so that the caller never shows part of a
// table as the whole.
[[nodiscard]] bool RebuildGridFromStore(GridModel& grid, const TableStore* store, const char* header,
                          const char* footer, bool natural_widths = true);

// The same for a caller that keeps the rows apart from the store (which holds the columns):
// `rows` data rows, whose cells the grid's cell text source gives.
[[nodiscard]] bool RebuildGridFromStoreColumns(GridModel& grid, const TableStore* store, std::uint32_t rows,
                                               const char* header, const char* footer, bool natural_widths);

// Gives every grid column the name of the store column it shows, so that titles always come
// from the data file even after a layout file replaced the columns.
void RefreshColumnTitles(GridModel& grid, const TableStore* store);

// The cell text for the grid: at most `size` bytes and a terminating zero into `buffer` (which
// holds size + 1 bytes); an empty text without a store. Returns the length.
int CellTextFromStore(const TableStore* store, int row_key, int column_identifier, char* buffer,
                      int size);

// The column read for the grid (CellColumnFunction): the texts CellTextFromStore gives with the
// grid's limit, `count` rows at a time; empty texts without a store.
void CellColumnFromStore(const TableStore* store, int column_identifier, const std::uint32_t* row_keys,
                         int count, char* texts, std::uint8_t* lengths);

#endif
