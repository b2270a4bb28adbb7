// The About box needs nothing beyond the common dialog handling.
#include "app/about_dialog_win32.h"

#include "dialogs/dialog_helpers_win32.h"

void ShowAboutDialog(HWND owner) {
    const auto module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
    DialogBoxParamA(module, "About", owner, CommonDialogProc, 0);
}
