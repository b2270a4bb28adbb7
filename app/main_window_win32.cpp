// The main window's class, creation sequence and message handling.
#include "app/main_window_win32.h"

#include "app/close_deferral_win32.h"
#include "app/command_dispatcher_win32.h"
#include "app/menus_win32.h"
#include "app/progress_on_screen_win32.h"
#include "app/session_win32.h"
#include "app/speed_bar_win32.h"
#include "app/table_startup_win32.h"
#include "dialogs/dialog_helpers_win32.h"
#include "grid/grid_win32.h"

const char kMainWindowClass[] = "LintaroClass";

namespace {

// The creation sequence: remember the window, menus and speed bar, the print settings and
// their contexts, then the grid with the table.
void OnCreate(HWND window) {
    // Messages shown while the table loads run modal loops over the half-made grid.
    const ModalWorkScope creating;
    CurrentSession().main_window = window;
    AttachApplicationMenu(window);
    CreateContextMenu();
    if (CreateSpeedBar(window)) CurrentSession().speed_bar_height = SpeedBarHeight();
    LoadPrinterConfig();
    RefreshInfoContexts();
    CreateGridAndTable(window);
}

// A layout that could not be kept is told, so that the user does not rely on it next time.
void ReportLayoutSave(HWND window, LayoutSaveOutcome outcome, const char* path) {
    if (outcome == LayoutSaveOutcome::Failed) {
        ShowMessage(window, MB_ICONHAND, kMessageTitle,
                    "Оформлението на таблицата не може да бъде записано във файла:", path);
    } else if (outcome == LayoutSaveOutcome::Refused) {
        ShowMessage(window, MB_ICONHAND, kMessageTitle, "Оформлението на таблицата не е записано във файла:",
                    path, "Той не е файл с оформление на таблица и остава непроменен.");
    }
}

// Closing saves a modified column layout first, while the table is still shown, then destroys
// the grid. A message here runs a modal loop: a second close meanwhile only ends the message.
void OnClose(HWND window) {
    const ModalWorkScope closing;
    Session& app = CurrentSession();
    if (app.grid != nullptr) {
        ReportLayoutSave(window, app.grid->SaveModifiedLayout(), app.grid->Model().LayoutFilePath());
        app.grid->Destroy();
        app.grid.reset();
    }
    DestroyWindow(window);
}

// A command may hold the grid across its dialogs: a close meanwhile waits until it returns, and
// once a close waits no command starts; nor while long work handles messages between its steps.
void RunCommand(HWND window, int command_id) {
    if (CloseIsPending() || LongWorkRuns()) return;
    const ModalWorkScope command;
    DispatchCommand(window, command_id);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            OnCreate(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_CLOSE:
            if (!DeferCloseWhileModal()) OnClose(window);
            return 0;
        case WM_SETFOCUS:
            if (CurrentSession().grid != nullptr && CurrentSession().grid->Window() != nullptr) {
                SetFocus(CurrentSession().grid->Window());
                return 0;
            }
            return DefWindowProcA(window, message, wparam, lparam);
        case WM_ERASEBKGND:
            // The grid and the speed bar cover the client area.
            return 1;
        case WM_SIZE:
            FitSpeedBarToOwner();
            if (CurrentSession().grid != nullptr) CurrentSession().grid->FitToParent(CurrentSession().speed_bar_height, 0);
            return 0;
        case WM_COMMAND:
            RunCommand(window, LOWORD(wparam));
            return 0;
        case WM_RBUTTONDOWN:
            ShowContextMenu(window, lparam);
            return 0;
        default:
            return DefWindowProcA(window, message, wparam, lparam);
    }
}

}  // namespace

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSA window_class = {};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = MainWindowProc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconA(instance, "SmallIcon");
    window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = kMainWindowClass;
    return RegisterClassA(&window_class) != 0;
}

RECT MainWindowPlacement(int screen_width, int screen_height) {
    const int width = screen_width * 7 / 8;
    const int height = screen_height * 3 / 4;
    const int left = (screen_width - width) / 2;
    const int top = (screen_height - height) / 2;
    return RECT{left, top, left + width, top + height};
}

HWND CreateMainWindow(HINSTANCE instance, const char* command_line) {
    const RECT place = MainWindowPlacement(GetSystemMetrics(SM_CXSCREEN),
                                           GetSystemMetrics(SM_CYSCREEN));
    return CreateWindowExA(0, kMainWindowClass, CurrentSession().window_title,
                           WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, place.left, place.top,
                           place.right - place.left, place.bottom - place.top, nullptr, nullptr,
                           instance, const_cast<char*>(command_line));
}
