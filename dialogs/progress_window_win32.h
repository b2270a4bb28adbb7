// The progress window of long work: what is being done, how far it got, and "Отказ".
#ifndef LINTARO_DIALOGS_PROGRESS_WINDOW_WIN32_H
#define LINTARO_DIALOGS_PROGRESS_WINDOW_WIN32_H

#include <windows.h>

// The window class of the progress window, a dialog class of its own.
extern const char kProgressWindowClass[];  // "LintaroProgress"

// A modeless window from the resource "WorkProgress", owned by the window the work runs for.
// Its "Отказ" button, Escape and its close box only record that the user asked to stop: the
// work asks and ends at its next step.
// Destroyed with the object. Only the thread that made it may use it.
class ProgressWindow {
public:
    ProgressWindow() = default;
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    // Makes and shows the window over `owner`, saying `what` is being done. False when it cannot
    // be made; the work then goes on without it.
    bool Open(HWND owner, const char* what);
    bool IsOpen() const { return window_ != nullptr; }
    // Removes the window (the destructor does too).
    void Close();
    // The count line under `what` ("Изпратени страници: 3 от 20") and the bar at `permille`
    // of its length (-1 leaves the bar as it is). Ignored once a stop was asked for.
    void ShowCount(const char* text, int permille);
    // Keyboard navigation of the window (Tab, Enter, Escape); true when the message was its.
    bool HandleDialogMessage(MSG& message);
    bool StopAsked() const { return stop_asked_; }

private:
    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
    void AskToStop();

    HWND window_ = nullptr;
    bool stop_asked_ = false;
};

#endif
