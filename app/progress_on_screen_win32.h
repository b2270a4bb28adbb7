// Long work on the user-interface thread that keeps the program alive: the progress window
// after half a second, the windows repainted, Cancel and a close of the main window heard.
#ifndef LINTARO_APP_PROGRESS_ON_SCREEN_WIN32_H
#define LINTARO_APP_PROGRESS_ON_SCREEN_WIN32_H

#include <windows.h>

#include <cstdint>

#include "base/work_progress.h"
#include "dialogs/progress_window_win32.h"

// How the count line reads.
enum class ProgressCount {
    PagesSent,    // "Изпратени страници: k от n"
    RowsWritten,  // "Записани редове: k от n"
    Percent,      // "Прочетено: p %"
};

// Made by a command just before its work starts (the clock starts here), handed to the work as
// its WorkProgress, destroyed when the work has ended. Once the work has taken half a second
// the progress window shows, the main window is disabled (so no command, menu or accelerator
// starts meanwhile) and the thread's messages are handled at every step and during pauses, so
// every window repaints. Shorter work runs as it always did, without a window or messages. The work is told to stop when the user pressed
// "Отказ" or closed the progress window, and when the main window was closed meanwhile (the
// close then waits, through ModalWorkScope, until the command returns). Destruction enables the
// main window again and removes the progress window.
class ProgressOnScreen : public WorkProgress {
public:
    ProgressOnScreen(HWND main_window, const char* what, ProgressCount count);
    ~ProgressOnScreen() override;
    ProgressOnScreen(const ProgressOnScreen&) = delete;
    ProgressOnScreen& operator=(const ProgressOnScreen&) = delete;

    bool KeepGoing(std::int64_t done, std::int64_t total) override;
    bool Pause(int milliseconds) override;
    // Whether the user (or a close of the main window) asked to stop.
    bool StopAsked() const;

private:
    bool Due() const;
    void BeginWork();
    void ShowProgress();
    void HandleMessages();

    HWND main_window_;
    const char* what_;
    ProgressCount count_;
    DWORD started_;
    bool begun_ = false;
    bool disabled_main_window_ = false;
    bool quit_seen_ = false;
    std::int64_t done_ = 0;
    std::int64_t total_ = 0;
    ProgressWindow window_;
    static int running_;
    friend bool LongWorkRuns();
};

// True while a ProgressOnScreen exists: a command that arrives meanwhile (posted, or forwarded
// by a child window) must not start.
bool LongWorkRuns();

#endif
