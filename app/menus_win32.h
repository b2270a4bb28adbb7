// The menu bar ("ApplicationMenu") and the right-click context menu of the main window.
#ifndef LINTARO_APP_MENUS_WIN32_H
#define LINTARO_APP_MENUS_WIN32_H

#include <windows.h>

// Loads "ApplicationMenu" from the window's module and attaches it; the menu then belongs to
// the window and goes with it. Returns false (and attaches nothing) when it does not load.
bool AttachApplicationMenu(HWND main_window);

// Builds the context menu once (Видими колони..., Естествени ширини, Оформление на таблицата...,
// Оформление на колоните..., a separator, Отпечатване...). Returns false when it cannot be made;
// a second call keeps the first menu.
bool CreateContextMenu();


// Shows the context menu at a point of the main window's client area (the packed coordinates
// of WM_RBUTTONDOWN, read unsigned). The chosen item arrives as an ordinary WM_COMMAND.
void ShowContextMenu(HWND main_window, LPARAM client_point);

// Destroys the context menu; called in the final clean-up after the message loop.
void DestroyContextMenu();

#endif
