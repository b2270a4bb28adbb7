// Loads the data file named on the command line into a new table store and the grid.
#ifndef LINTARO_FORMATS_DATA_FILE_WIN32_H
#define LINTARO_FORMATS_DATA_FILE_WIN32_H

// Reads the file (waiting up to 10 s for a writer that still holds it), applies its head, builds
// a new store and, only when that worked, makes it current and rebuilds the grid from it. A
// failed load leaves the grid and the store as they were; what the head set stays.
bool LoadDataFile(const char* file_name);

// The grid's CellTextSource: the current store's cell, zero-terminated (buffer holds size + 1).
int StoreCellTextSource(int row_key, int column_identifier, char* buffer, int size);

// Titles of the grid's columns from the current store's column names.
void RefreshColumnTitles();

#endif
