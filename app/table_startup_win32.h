// The grid's part of the main window's creation: the grid, the data file or the demonstration.
#ifndef LINTARO_APP_TABLE_STARTUP_WIN32_H
#define LINTARO_APP_TABLE_STARTUP_WIN32_H

#include <windows.h>

class Grid;

// Makes the current grid as a child filling the main window's client area, loads the data file
// named on the command line (and the format file after it), or shows the demonstration table
// when there is no usable data file.
void CreateGridAndTable(HWND main_window);

// Tells the user, once, what the load of the data file could not do: a table too big for
// memory (not loaded), or rows cut short. Called when the main window shows.
void ShowTableLoadNotice(HWND main_window);

// Five empty columns, two of them wrapping over three lines, sample header and footer, 128 rows.
void BuildDemonstrationTable(Grid& grid);

#endif
