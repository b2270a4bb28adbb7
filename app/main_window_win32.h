// The main window: its class, its creation and its window procedure.
#ifndef LINTARO_APP_MAIN_WINDOW_WIN32_H
#define LINTARO_APP_MAIN_WINDOW_WIN32_H

#include <windows.h>

extern const char kMainWindowClass[];  // "LintaroClass"

bool RegisterMainWindowClass(HINSTANCE instance);

// Creates the main window centred on the screen, 7/8 of its width and 3/4 of its height.
HWND CreateMainWindow(HINSTANCE instance, const char* command_line);

// Position and size of the main window on a screen of the given size, in pixels.
RECT MainWindowPlacement(int screen_width, int screen_height);

#endif
