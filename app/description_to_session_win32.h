// Applies a data file's description head to the running program.
#ifndef LINTARO_APP_DESCRIPTION_TO_SESSION_WIN32_H
#define LINTARO_APP_DESCRIPTION_TO_SESSION_WIN32_H

#include <string_view>

// Changes the current print settings, the window title text and the grid's table font as the
// head says, makes a Windows printer it names the one printing opens, then recreates the
// printer information context. Never fails, shows nothing.
void ReadDescription(std::string_view head);

#endif
