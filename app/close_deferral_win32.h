// Closing the main window while a modal loop runs: the close waits until the loop has returned.
#ifndef LINTARO_APP_CLOSE_DEFERRAL_WIN32_H
#define LINTARO_APP_CLOSE_DEFERRAL_WIN32_H

#include <windows.h>

// A command handler (or any stretch of code that may run a modal loop: a dialog, a message box,
// a chooser, a drag) holds the grid, the table store and device contexts across that loop. A
// WM_CLOSE that the loop dispatches meanwhile must not free them: while at least one of these
// scopes is open the close is only remembered, and every open dialog of the program is asked
// to close, so the loops return on their own. When the last scope ends, WM_CLOSE is posted to
// the main window again and the program ends as through its close box.
class ModalWorkScope {
public:
    ModalWorkScope();
    ~ModalWorkScope();
    ModalWorkScope(const ModalWorkScope&) = delete;
    ModalWorkScope& operator=(const ModalWorkScope&) = delete;
};

// For the main window's WM_CLOSE: true when a scope is open, in which case the close has been
// remembered and the open dialogs asked to close (a column drag ends when the mouse button is
// released); the caller then does nothing more now.
bool DeferCloseWhileModal();

// True once a close was asked for while a scope was open: no new command may start.
bool CloseIsPending();

#endif
