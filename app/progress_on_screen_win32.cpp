// The progress of long work on screen: a message pump between steps and a window after 500 ms.
#include "app/progress_on_screen_win32.h"

#include <cstdio>

#include "app/close_deferral_win32.h"

namespace {

constexpr DWORD kShowAfterMilliseconds = 500;

}  // namespace

int ProgressOnScreen::running_ = 0;

bool LongWorkRuns() { return ProgressOnScreen::running_ > 0; }

ProgressOnScreen::ProgressOnScreen(HWND main_window, const char* what, ProgressCount count)
    : main_window_(main_window), what_(what), count_(count), started_(GetTickCount()) {
    ++running_;
}

ProgressOnScreen::~ProgressOnScreen() {
    --running_;
    if (!disabled_main_window_) return;
    // The owner is enabled before its owned window goes, so that it becomes the active window;
    // disabling took the keyboard focus from the grid, which gets it back.
    EnableWindow(main_window_, TRUE);
    window_.Close();
    if (GetActiveWindow() == main_window_) SetFocus(main_window_);
}

bool ProgressOnScreen::Due() const { return GetTickCount() - started_ >= kShowAfterMilliseconds; }

bool ProgressOnScreen::StopAsked() const { return quit_seen_ || window_.StopAsked() || CloseIsPending(); }

void ProgressOnScreen::BeginWork() {
    if (begun_) return;
    begun_ = true;
    // As a modal dialog does: the main window takes no input while the work runs, but paints.
    // A main window not yet shown (the load at start-up) takes none anyway, and disabling it
    // there would leave the window manager unsure whether it may have the keyboard later.
    if (main_window_ != nullptr && IsWindowVisible(main_window_) && IsWindowEnabled(main_window_)) {
        EnableWindow(main_window_, FALSE);
        disabled_main_window_ = true;
    }
}

void ProgressOnScreen::ShowProgress() {
    if (!window_.IsOpen() && !window_.Open(main_window_, what_)) return;
    char text[96];
    const long done = static_cast<long>(done_);
    const long total = static_cast<long>(total_);
    int permille = total_ > 0 ? static_cast<int>(done_ * 1000 / total_) : -1;
    switch (count_) {
        case ProgressCount::PagesSent:
            std::snprintf(text, sizeof text, "Изпратени страници: %ld от %ld", done, total);
            break;
        case ProgressCount::RowsWritten:
            std::snprintf(text, sizeof text, "Записани редове: %ld от %ld", done, total);
            break;
        case ProgressCount::Percent:
            std::snprintf(text, sizeof text, "Прочетено: %d %%", permille < 0 ? 0 : permille / 10);
            break;
    }
    window_.ShowCount(text, permille);
}

void ProgressOnScreen::HandleMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Meant for the main loop: put back for it, and stop the work.
            PostQuitMessage(static_cast<int>(message.wParam));
            quit_seen_ = true;
            return;
        }
        if (window_.HandleDialogMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Work that ends within half a second runs as it always did: nothing shows, nothing else runs.
bool ProgressOnScreen::KeepGoing(std::int64_t done, std::int64_t total) {
    done_ = done;
    total_ = total;
    if (Due()) {
        BeginWork();
        ShowProgress();
        HandleMessages();
    }
    return !StopAsked();
}

bool ProgressOnScreen::Pause(int milliseconds) {
    const DWORD start = GetTickCount();
    const DWORD length = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0;
    for (;;) {
        const bool due = Due();
        if (due) {
            BeginWork();
            ShowProgress();
            HandleMessages();
        }
        if (StopAsked()) return false;
        const DWORD passed = GetTickCount() - start;
        if (passed >= length) return true;
        DWORD wait = length - passed;
        if (!due) {
            // Asleep as before until the window is due, so that it shows at half a second.
            const DWORD since_start = GetTickCount() - started_;
            const DWORD until_due = since_start < kShowAfterMilliseconds ? kShowAfterMilliseconds - since_start : 0;
            Sleep(until_due < wait ? until_due : wait);
            continue;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    }
}
