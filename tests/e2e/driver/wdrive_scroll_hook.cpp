// Message hook that wdrive.exe places on the program's thread to read a window's scroll bar from
// inside it: under Wine GetScrollInfo fails for a window of another process.
//
// The driver posts the registered message "WdriveReadScroll" to the window with its own process
// id as the word parameter and, in the long parameter, a request number times 2 plus the bar
// (0 horizontal, 1 vertical). The hook, called as the program takes the message from its queue,
// writes a success flag and the bar's minimum, maximum, page, position and tracking position
// (six 32-bit values) into the driver's file mapping "WdriveScroll<pid>" and sets the event
// "WdriveScrollDone<pid>".
#include <windows.h>

#include <cstdio>

namespace {

LONG last_request = 0;  // each request is answered once, whether peeked or removed

void Answer(HWND window, DWORD driver_pid, int bar) {
    char name[64];
    std::snprintf(name, sizeof name, "WdriveScroll%lu", static_cast<unsigned long>(driver_pid));
    if (HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name)) {
        if (void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 6 * sizeof(LONG))) {
            SCROLLINFO info = {};
            info.cbSize = sizeof info;
            info.fMask = SIF_ALL;
            const LONG ok = GetScrollInfo(window, bar, &info) ? 1 : 0;
            const LONG values[6] = {ok, info.nMin, info.nMax, static_cast<LONG>(info.nPage), info.nPos,
                                    info.nTrackPos};
            CopyMemory(view, values, sizeof values);
            UnmapViewOfFile(view);
        }
        CloseHandle(mapping);
    }
    std::snprintf(name, sizeof name, "WdriveScrollDone%lu", static_cast<unsigned long>(driver_pid));
    if (HANDLE done = OpenEventA(EVENT_MODIFY_STATE, FALSE, name)) {
        SetEvent(done);
        CloseHandle(done);
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK WdriveScrollHook(int code, WPARAM wparam, LPARAM lparam) {
    static const UINT read_scroll = RegisterWindowMessageA("WdriveReadScroll");
    if (code == HC_ACTION) {
        const MSG* message = reinterpret_cast<const MSG*>(lparam);
        if (message->message == read_scroll && (message->lParam >> 1) != last_request) {
            last_request = static_cast<LONG>(message->lParam >> 1);
            Answer(message->hwnd, static_cast<DWORD>(message->wParam), (message->lParam & 1) ? SB_VERT : SB_HORZ);
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
