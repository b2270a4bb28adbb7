// The program's entry point: single-instance guard, command line, main window, message loop.
#include <windows.h>

#include "app/command_line.h"
#include "app/job_command_line.h"
#include "app/job_runner_win32.h"
#include "app/main_window_win32.h"
#include "app/menus_win32.h"
#include "app/session_win32.h"
#include "app/speed_bar_win32.h"
#include "app/table_startup_win32.h"

namespace {

// The named mapping that a running copy holds open; a second copy finds it and leaves.
class SingleInstanceGuard {
public:
    SingleInstanceGuard()
        : mapping_(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, 32,
                                      "LINTARO_PROGRAMM_MAP")),
          another_runs_(mapping_ != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {}
    ~SingleInstanceGuard() {
        if (mapping_ != nullptr) CloseHandle(mapping_);
    }
    SingleInstanceGuard(const SingleInstanceGuard&) = delete;
    SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

    bool AnotherCopyRuns() const { return another_runs_; }

private:
    HANDLE mapping_;
    bool another_runs_;
};

void RunMessageLoop(HACCEL shortcuts) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Accelerators are translated for whichever window the message is addressed to.
        if (shortcuts != nullptr && TranslateAcceleratorA(message.hwnd, shortcuts, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show_command) {
    // A job runs beside a copy that shows its window, and never keeps one from starting.
    JobRequest job;
    std::string job_error;
    switch (ParseJobCommandLine(command_line, job, job_error)) {
        case JobCommandLine::Job:
            return RunJob(job);
        case JobCommandLine::Invalid:
            WriteJobError(job_error);
            return kJobUsage;
        case JobCommandLine::NotAJob:
            break;
    }
    SingleInstanceGuard guard;
    if (guard.AnotherCopyRuns()) {
        MessageBoxA(nullptr, "This programm already running.", CurrentSession().window_title, MB_OK);
        return 0;
    }
    SplitCommandLine(command_line, CurrentSession().command_line);
    if (!RegisterMainWindowClass(instance)) return 0;
    HWND main_window = CreateMainWindow(instance, command_line);
    if (main_window == nullptr) return 0;
    HACCEL shortcuts = LoadAcceleratorsA(instance, "Shorts");
    ShowWindow(main_window, show_command);
    UpdateWindow(main_window);
    ShowTableLoadNotice(main_window);
    RunMessageLoop(shortcuts);
    DestroyContextMenu();
    DestroySpeedBar();
    ReleaseSession();
    return 0;
}
