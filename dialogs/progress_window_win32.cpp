// The progress window: a modeless dialog whose Cancel only records the wish to stop.
#include "dialogs/progress_window_win32.h"

#include <commctrl.h>

#include "dialogs/dialog_helpers_win32.h"
#include "resources/resource_ids.h"

namespace {

constexpr int kBarRange = 1000;

// The window is a dialog of a class of its own: whoever looks for the program's dialogs and
// message boxes (the close of the main window, which asks each to close; a user's tools) finds
// only those that wait for an answer, never the window beside the work.
bool RegisterProgressClass(HINSTANCE module) {
    WNDCLASSA window_class{};
    if (GetClassInfoA(module, kProgressWindowClass, &window_class)) return true;
    if (!GetClassInfoA(nullptr, reinterpret_cast<LPCSTR>(WC_DIALOG), &window_class)) return false;
    window_class.hInstance = module;
    window_class.lpszClassName = kProgressWindowClass;
    return RegisterClassA(&window_class) != 0;
}

}  // namespace

const char kProgressWindowClass[] = "LintaroProgress";

ProgressWindow::~ProgressWindow() { Close(); }

void ProgressWindow::Close() {
    if (window_ != nullptr) DestroyWindow(window_);
    window_ = nullptr;
}

bool ProgressWindow::Open(HWND owner, const char* what) {
    if (window_ != nullptr) return true;
    InitCommonControls();  // the bar's window class
    const auto module = owner != nullptr ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE))
                                         : GetModuleHandleA(nullptr);
    if (!RegisterProgressClass(module)) return false;
    window_ = CreateDialogParamA(module, "WorkProgress", owner, &ProgressWindow::Procedure,
                                 reinterpret_cast<LPARAM>(this));
    if (window_ == nullptr) return false;
    SetControlText(window_, IDC_PROGRESS_WHAT, what);
    SendDlgItemMessageA(window_, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, kBarRange);
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    return true;
}

void ProgressWindow::ShowCount(const char* text, int permille) {
    if (window_ == nullptr || stop_asked_) return;
    SetControlText(window_, IDC_PROGRESS_COUNT, text);
    if (permille >= 0) SendDlgItemMessageA(window_, IDC_PROGRESS_BAR, PBM_SETPOS, permille, 0);
}

bool ProgressWindow::HandleDialogMessage(MSG& message) {
    return window_ != nullptr && IsDialogMessageA(window_, &message) != FALSE;
}

// A second Cancel finds the button disabled: the stop is already on its way.
void ProgressWindow::AskToStop() {
    if (stop_asked_) return;
    stop_asked_ = true;
    SetControlText(window_, IDC_PROGRESS_COUNT, "Прекъсване...");
    EnableControl(window_, IDCANCEL, false);
}

INT_PTR CALLBACK ProgressWindow::Procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) != IDCANCEL) return FALSE;
            [[fallthrough]];
        case WM_CLOSE: {
            auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
            if (self != nullptr) self->AskToStop();
            return TRUE;
        }
        default:
            return FALSE;
    }
}
