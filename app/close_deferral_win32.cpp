// The deferred close: a count of open modal-work scopes and a remembered close.
#include "app/close_deferral_win32.h"

#include "app/session_win32.h"

namespace {

int open_scopes = 0;
bool close_pending = false;

// Dialogs, message boxes and the common choosers are all of the dialog class; each ends on
// WM_CLOSE as through its close box (cancel, or OK where a box has no other button).
BOOL CALLBACK CloseOneDialog(HWND window, LPARAM) {
    char class_name[16] = {};
    if (IsWindowVisible(window) && GetClassNameA(window, class_name, sizeof class_name) > 0 &&
        lstrcmpA(class_name, "#32770") == 0) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

}  // namespace

ModalWorkScope::ModalWorkScope() { ++open_scopes; }

ModalWorkScope::~ModalWorkScope() {
    // The close stays pending until it runs, so that no command starts in between.
    if (--open_scopes == 0 && close_pending) {
        if (CurrentSession().main_window != nullptr) PostMessageA(CurrentSession().main_window, WM_CLOSE, 0, 0);
    }
}

bool DeferCloseWhileModal() {
    if (open_scopes == 0) return false;
    close_pending = true;
    EnumThreadWindows(GetCurrentThreadId(), &CloseOneDialog, 0);
    return true;
}

bool CloseIsPending() { return close_pending; }
