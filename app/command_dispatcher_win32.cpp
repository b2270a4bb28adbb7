// One line per command: the handlers that exist so far.
#include "app/command_dispatcher_win32.h"

#include "resources/resource_ids.h"

namespace {

// Ending goes through WM_CLOSE so that the grid saves its layout before the window goes.
void EndProgram(HWND main_window) {
    SendMessageA(main_window, WM_CLOSE, 0, 0);
}

}  // namespace

void DispatchCommand(HWND main_window, int command_id) {
    switch (command_id) {
        case IDM_EXIT: EndProgram(main_window); break;
        default: break;
    }
}
