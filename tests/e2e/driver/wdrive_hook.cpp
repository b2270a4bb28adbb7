// Message hook that wdrive.exe places on the program's thread to read a menu from inside it:
// under Wine a menu handle works only in the process that owns it, so the driver cannot read
// the program's menus itself.
//
// The driver posts the registered message "WdriveReadMenu" to a window of the program with its
// own process id as the word parameter and a request number as the long parameter. The hook,
// called as the program takes the message from its queue, writes the menu of that window (its
// menu bar, or for a popup menu window of class "#32768" the menu it shows) into the driver's
// file mapping "WdriveMenu<pid>" and sets the event "WdriveMenuDone<pid>".
//
// The mapping holds a count of bytes (4 bytes) and then one line per item, depth first:
//   depth TAB id TAB type TAB state TAB has-submenu TAB left,top,right,bottom TAB text LF
// with the item's rectangle on the screen while its menu is shown (0,0,0,0 otherwise) and the
// text as the menu holds it (code page 1251; a menu text has no LF).
//
// The registered message "WdriveSpyCommands" (same parameters) subclasses the window instead:
// from then on every WM_COMMAND that reaches its window procedure, however it was delivered
// (posted by a menu, sent by an accelerator or a control), is appended to the driver's mapping
// "WdriveSpy<pid>_<window>" as a 32-bit word parameter after a 32-bit count, before the
// program's own procedure runs. The event is set once the subclass is in place.
//
// The registered message "WdriveRecordText" (same parameters) starts, or starts again, a record
// of the text that the window paints: the program's import of TextOutA is pointed at a recorder
// that, for every call on a device context of that window, appends to the driver's mapping
// "WdriveText<pid>_<window>" (a 32-bit count of bytes, then lines) the line
//   x TAB y TAB text LF
// (bytes below 0x20 in the text written as blanks), and its import of BeginPaint at one that
// appends "paint LF" before each paint of the window, so that the lines of one paint can be told
// from the next. Nothing the program does changes; the record only reads what it draws.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD kMappingSize = 1 << 16;

LONG last_request = 0;  // each request is answered once, whether peeked or removed

// Wine loads a hook's module for each call and frees it afterwards; a subclass procedure and
// the request number must outlive the call, so the module pins itself on first use.
void PinThisModule() {
    static bool pinned = false;
    if (pinned) return;
    HMODULE self = nullptr;
    pinned = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                reinterpret_cast<LPCSTR>(&PinThisModule), &self) != FALSE;
}

void SignalDone(DWORD driver_pid) {
    char name[64];
    std::snprintf(name, sizeof name, "WdriveMenuDone%lu", static_cast<unsigned long>(driver_pid));
    if (HANDLE done = OpenEventA(EVENT_MODIFY_STATE, FALSE, name)) {
        SetEvent(done);
        CloseHandle(done);
    }
}

// One spied window: its original procedure and the log it writes to.
struct Spy {
    HWND window;
    WNDPROC original;
    volatile LONG* log;  // count, then word parameters
};
constexpr int kMaxSpies = 8;
constexpr LONG kMaxLogged = (1 << 14) - 1;
Spy spies[kMaxSpies];

LRESULT CALLBACK SpyProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    for (Spy& spy : spies) {
        if (spy.window != window) continue;
        if (message == WM_COMMAND) {
            const LONG index = spy.log[0];
            if (index < kMaxLogged) {
                spy.log[1 + index] = static_cast<LONG>(wparam);
                InterlockedIncrement(&spy.log[0]);
            }
        }
        return CallWindowProcA(spy.original, window, message, wparam, lparam);
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

void StartSpying(HWND window, DWORD driver_pid) {
    for (const Spy& spy : spies) {
        if (spy.window == window) return SignalDone(driver_pid);
    }
    char name[96];
    std::snprintf(name, sizeof name, "WdriveSpy%lu_%llX", static_cast<unsigned long>(driver_pid),
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (mapping == nullptr) return;
    // The view stays mapped for the life of the process; the handle is no longer needed.
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, (kMaxLogged + 1) * 4);
    CloseHandle(mapping);
    if (view == nullptr) return;
    for (Spy& spy : spies) {
        if (spy.window != nullptr) continue;
        spy.log = static_cast<volatile LONG*>(view);
        spy.original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
        spy.window = window;
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SpyProc));
        return SignalDone(driver_pid);
    }
}

// --- Recording the painted text ----------------------------------------------------------

constexpr DWORD kTextLogBytes = 16 << 20;
using TextOutFunction = BOOL(WINAPI*)(HDC, int, int, LPCSTR, int);
using BeginPaintFunction = HDC(WINAPI*)(HWND, PAINTSTRUCT*);
TextOutFunction original_text_out = nullptr;
BeginPaintFunction original_begin_paint = nullptr;
HWND recorded_window = nullptr;
volatile LONG* text_log = nullptr;  // count of bytes, then the lines

void AppendToTextLog(const char* bytes, DWORD size) {
    const DWORD used = static_cast<DWORD>(text_log[0]);
    if (used + size > kTextLogBytes - 4) return;
    CopyMemory(reinterpret_cast<char*>(const_cast<LONG*>(text_log)) + 4 + used, bytes, size);
    text_log[0] = static_cast<LONG>(used + size);
}

BOOL WINAPI RecordingTextOut(HDC dc, int x, int y, LPCSTR text, int count) {
    if (text_log != nullptr && text != nullptr && count > 0 && WindowFromDC(dc) == recorded_window) {
        char line[320];
        int length = std::snprintf(line, sizeof line, "%d\t%d\t", x, y);
        for (int i = 0; i < count && length < static_cast<int>(sizeof line) - 1; ++i) {
            const unsigned char byte = static_cast<unsigned char>(text[i]);
            line[length++] = byte < 0x20 ? ' ' : static_cast<char>(byte);
        }
        line[length++] = '\n';
        AppendToTextLog(line, static_cast<DWORD>(length));
    }
    return original_text_out(dc, x, y, text, count);
}

HDC WINAPI RecordingBeginPaint(HWND window, PAINTSTRUCT* paint) {
    if (text_log != nullptr && window == recorded_window) AppendToTextLog("paint\n", 6);
    return original_begin_paint(window, paint);
}

// Points the program's import of `function` from `dll` at `replacement`; returns the original,
// or null when the program does not import it.
void* PatchImport(const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return nullptr;
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name != 0;
         ++entry) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + entry->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<const char*>(by_name->Name), function) != 0) continue;
            DWORD protection = 0;
            if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection)) {
                return nullptr;
            }
            void* original = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            return original;
        }
    }
    return nullptr;
}

void StartRecordingText(HWND window, DWORD driver_pid) {
    char name[96];
    std::snprintf(name, sizeof name, "WdriveText%lu_%llX", static_cast<unsigned long>(driver_pid),
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (mapping == nullptr) return;
    // Mapped for the life of the process, as the command logs are.
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kTextLogBytes);
    CloseHandle(mapping);
    if (view == nullptr) return;
    if (original_text_out == nullptr) {
        original_text_out = reinterpret_cast<TextOutFunction>(
            PatchImport("gdi32.dll", "TextOutA", reinterpret_cast<void*>(&RecordingTextOut)));
        original_begin_paint = reinterpret_cast<BeginPaintFunction>(
            PatchImport("user32.dll", "BeginPaint", reinterpret_cast<void*>(&RecordingBeginPaint)));
    }
    if (original_text_out == nullptr || original_begin_paint == nullptr) return;
    recorded_window = window;
    text_log = static_cast<volatile LONG*>(view);
    text_log[0] = 0;
    SignalDone(driver_pid);
}

// `owner` is the window whose menu bar `menu` is, or null for a popup menu.
void DescribeMenu(HWND owner, HMENU menu, int depth, std::string& out) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[512] = {};
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = sizeof text - 1;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &item)) continue;
        RECT rect = {};
        if (!GetMenuItemRect(owner, menu, static_cast<UINT>(i), &rect)) rect = RECT{};
        char head[192];
        std::snprintf(head, sizeof head, "%d\t%u\t%#lx\t%#lx\t%d\t%ld,%ld,%ld,%ld\t", depth,
                      item.wID, static_cast<unsigned long>(item.fType),
                      static_cast<unsigned long>(item.fState), item.hSubMenu != nullptr ? 1 : 0,
                      rect.left, rect.top, rect.right, rect.bottom);
        out += head;
        out += text;
        out += '\n';
        if (item.hSubMenu != nullptr) DescribeMenu(nullptr, item.hSubMenu, depth + 1, out);
    }
}

void Answer(HWND window, DWORD driver_pid) {
    HMENU menu = nullptr;
    HWND owner = nullptr;
    char window_class[64] = {};
    GetClassNameA(window, window_class, sizeof window_class);
    if (lstrcmpA(window_class, "#32768") == 0) {
        menu = reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0));
    } else {
        menu = GetMenu(window);
        owner = window;
    }
    std::string text;
    if (menu != nullptr) DescribeMenu(owner, menu, 0, text);
    else text = "nomenu\n";

    char name[64];
    std::snprintf(name, sizeof name, "WdriveMenu%lu", static_cast<unsigned long>(driver_pid));
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (mapping != nullptr) {
        if (void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kMappingSize)) {
            DWORD size = static_cast<DWORD>(text.size());
            if (size > kMappingSize - 4) size = kMappingSize - 4;
            CopyMemory(view, &size, 4);
            CopyMemory(static_cast<char*>(view) + 4, text.data(), size);
            UnmapViewOfFile(view);
        }
        CloseHandle(mapping);
    }
    SignalDone(driver_pid);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK WdriveGetMessageHook(int code, WPARAM wparam,
                                                                        LPARAM lparam) {
    static const UINT read_menu = RegisterWindowMessageA("WdriveReadMenu");
    static const UINT spy_commands = RegisterWindowMessageA("WdriveSpyCommands");
    static const UINT record_text = RegisterWindowMessageA("WdriveRecordText");
    if (code == HC_ACTION) {
        MSG* message = reinterpret_cast<MSG*>(lparam);
        if (message->message == read_menu || message->message == spy_commands || message->message == record_text) {
            PinThisModule();
            if (message->lParam != last_request) {
                last_request = static_cast<LONG>(message->lParam);
                const DWORD driver_pid = static_cast<DWORD>(message->wParam);
                if (message->message == read_menu) Answer(message->hwnd, driver_pid);
                else if (message->message == record_text) StartRecordingText(message->hwnd, driver_pid);
                else StartSpying(message->hwnd, driver_pid);
            }
            if (wparam == PM_REMOVE) message->message = WM_NULL;  // the program never sees it
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
