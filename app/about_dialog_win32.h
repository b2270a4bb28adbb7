// The About box: the dialog resource "About", shown modally over the main window.
#ifndef LINTARO_APP_ABOUT_DIALOG_WIN32_H
#define LINTARO_APP_ABOUT_DIALOG_WIN32_H

#include <windows.h>

// Shows the About box until the user closes it (Ok, Escape or the close box).
void ShowAboutDialog(HWND owner);

#endif
