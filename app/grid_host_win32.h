// The session as the grid's host: the shell's contexts, print settings and data folder.
#ifndef LINTARO_APP_GRID_HOST_WIN32_H
#define LINTARO_APP_GRID_HOST_WIN32_H

#include "grid/grid_host_win32.h"

// The one host of the program's grid, answering from CurrentSession(): the display information context
// (opened on first need and kept in CurrentSession().display_info), the printer information context when
// open, the current print settings, the data directory (the program's folder while no data file
// named one), and the close deferral around a column drag.
GridHost& SessionGridHost();

#endif
