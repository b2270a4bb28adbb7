// Loads a data file into the running program: its head, a new current table store, the grid.
#ifndef LINTARO_APP_SESSION_LOADING_WIN32_H
#define LINTARO_APP_SESSION_LOADING_WIN32_H

#include <cstdint>

#include "base/work_progress.h"

// What the user must hear of after a load.
struct DataFileLoadNotice {
    bool out_of_memory = false;  // the table could not be held whole, so it was not loaded
    std::uint32_t cut_rows = 0;  // rows of the loaded table that lost cells to the row limit
};

// Reads the file (waiting up to 10 s for a writer that still holds it), applies its head, builds
// a new store and, only when that worked, makes it current, remembers the file's folder as the
// data directory (where pictures are found) and rebuilds the grid from it. A file that cannot
// be read or holds no table leaves the grid and the current store as they were; a table the
// grid cannot take leaves the grid without a table and no current store. What the head set stays.
// A table is loaded whole or not at all: `notice` (when given) says why not, or how many rows
// were cut short. A `progress` follows the reading of the rows and may stop it: the load then
// fails as for an unreadable file, before anything but the head has changed.
[[nodiscard]] bool LoadDataFile(const char* file_name, DataFileLoadNotice* notice = nullptr,
                                WorkProgress* progress = nullptr);

// The grid's cell text function, its context the Session: the cell of the session's current store,
// zero-terminated (buffer holds size + 1).
int StoreCellTextSource(void* session, int row_key, int column_identifier, char* buffer, int size);
// The same cells a column block at a time (CellColumnFunction).
void StoreCellColumnSource(void* session, int column_identifier, const std::uint32_t* row_keys, int count,
                           char* texts, std::uint8_t* lengths);

// Titles of the grid's columns from the current store's column names.
void RefreshColumnTitles();

#endif
