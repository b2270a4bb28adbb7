// Routes every command id (menu bar, context menu, accelerator, toolbar) to its handler.
#ifndef LINTARO_APP_COMMAND_DISPATCHER_WIN32_H
#define LINTARO_APP_COMMAND_DISPATCHER_WIN32_H

#include <windows.h>

// Runs the handler of one command id for the main window; unknown ids do nothing.
void DispatchCommand(HWND main_window, int command_id);

#endif
