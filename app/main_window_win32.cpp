// The main window's class, creation sequence and message handling.
#include "app/main_window_win32.h"

#include "app/app_state_win32.h"
#include "app/command_dispatcher_win32.h"
#include "app/menus_win32.h"
#include "app/speed_bar_win32.h"
#include "app/table_startup_win32.h"
#include "grid/grid_win32.h"

const char kMainWindowClass[] = "LintaroClass";

namespace {

// The creation sequence: remember the window, menus and speed bar, the print settings and
// their contexts, then the grid with the table.
void OnCreate(HWND window) {
    App().main_window = window;
    AttachApplicationMenu(window);
    CreateContextMenu();
    if (CreateSpeedBar(window)) App().speed_bar_height = SpeedBarHeight();
    LoadPrinterConfig();
    RefreshInfoContexts();
    CreateGridAndTable(window);
}

// Closing destroys the grid first, which saves a modified column layout.
void OnClose(HWND window) {
    AppState& app = App();
    if (app.grid != nullptr) {
        app.grid->Destroy();
        app.grid.reset();
    }
    DestroyWindow(window);
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
            OnClose(window);
            return 0;
        case WM_SETFOCUS:
            if (App().grid != nullptr && App().grid->Window() != nullptr) {
                SetFocus(App().grid->Window());
                return 0;
            }
            return DefWindowProcA(window, message, wparam, lparam);
        case WM_ERASEBKGND:
            // The grid and the speed bar cover the client area.
            return 1;
        case WM_SIZE:
            FitSpeedBarToOwner();
            if (App().grid != nullptr) App().grid->FitToParent(App().speed_bar_height, 0);
            return 0;
        case WM_COMMAND:
            DispatchCommand(window, LOWORD(wparam));
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
    return CreateWindowExA(0, kMainWindowClass, App().window_title,
                           WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, place.left, place.top,
                           place.right - place.left, place.bottom - place.top, nullptr, nullptr,
                           instance, const_cast<char*>(command_line));
}
