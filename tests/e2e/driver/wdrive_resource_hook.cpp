// Message hook that wdrive.exe places on the program's thread to count, from inside the program,
// what it holds: GDI objects, USER objects, kernel handles and memory. The soak run compares
// these counts over thousands of commands to find leaks.
//
// Under Wine 8 GetGuiResources is a stub (0, ERROR_CALL_NOT_IMPLEMENTED) and GetProcessHandleCount
// reports 0, so both are reported as they answer ("gdi_api", "user_api", "handles_api") and the
// counts proper are taken another way:
//   - GDI: every index of the process's GDI handle table (0 .. 0xFFFF) is given to GetObjectType;
//     Wine accepts an index without its generation bits, so this finds every live object of the
//     process (stock objects included) exactly once, by type.
//   - USER: the process's own windows (top-level, their descendants and message-only windows),
//     and every index of the USER handle table tried as a menu (IsMenu), a cursor or icon
//     (GetCursorFrameInfo) and an accelerator table (CopyAcceleratorTable). These calls look only
//     at the calling process's objects.
//   - Kernel handles: the system handle list (NtQuerySystemInformation, SystemHandleInformation)
//     filtered by the process id.
//   - Memory: GetProcessMemoryInfo (working set, its peak, private bytes and their peak), and the
//     bytes and blocks in use in every heap of the process (HeapWalk).
//
// The driver posts the registered message "WdriveCountResources" to a window of the program with
// its own process id as the word parameter and a request number times 2 plus the mode in the long
// parameter (1: count; 0: only answer, which tells the driver that every message posted before has
// been taken from the queue). The hook writes "name=value" lines into the driver's file mapping
// "WdriveResources<pid>" after a 32-bit byte count and sets the event "WdriveResourcesDone<pid>".
// Every answer also says whether keyboard or mouse input is still waiting in the thread's queue
// ("input=1"), so the driver can wait until real input sent before a request has been handled.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD kMappingSize = 4096;
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
// Wine numbers USER handles 0x20 + 2 * index, index 0 .. 0x7FE7 (the high word, a generation
// count, may be left zero).
constexpr UINT kFirstUserHandle = 0x20;
constexpr UINT kUserHandleCount = 0x7FE8;

// Each request is answered once, whether peeked or removed; a driver started later counts its
// requests from 1 again, so the driver's process id is part of the request.
DWORD last_driver = 0;
LONG last_request = 0;

// The module stays loaded once used: loading and freeing it for every request would itself come
// and go in the counts.
void PinThisModule() {
    static bool pinned = false;
    if (pinned) return;
    HMODULE self = nullptr;
    pinned = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                reinterpret_cast<LPCSTR>(&PinThisModule), &self) != FALSE;
}

void Add(std::string& out, const char* name, long long value) {
    char line[96];
    std::snprintf(line, sizeof line, "%s=%lld\n", name, value);
    out += line;
}

struct GdiCounts {
    long total = 0, dcs = 0, bitmaps = 0, fonts = 0, pens = 0, brushes = 0, regions = 0, other = 0;
};

GdiCounts CountGdiObjects() {
    GdiCounts counts;
    for (UINT index = 1; index <= 0xFFFF; ++index) {
        const DWORD type = GetObjectType(reinterpret_cast<HGDIOBJ>(static_cast<UINT_PTR>(index)));
        if (type == 0) continue;
        ++counts.total;
        switch (type) {
            case OBJ_DC: case OBJ_MEMDC: case OBJ_METADC: case OBJ_ENHMETADC: ++counts.dcs; break;
            case OBJ_BITMAP: ++counts.bitmaps; break;
            case OBJ_FONT: ++counts.fonts; break;
            case OBJ_PEN: case OBJ_EXTPEN: ++counts.pens; break;
            case OBJ_BRUSH: ++counts.brushes; break;
            case OBJ_REGION: ++counts.regions; break;
            default: ++counts.other; break;
        }
    }
    return counts;
}

struct WindowCount {
    DWORD pid;
    long count;
};

BOOL CALLBACK CountChild(HWND window, LPARAM data) {
    auto* counted = reinterpret_cast<WindowCount*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == counted->pid) ++counted->count;
    return TRUE;
}

// A top-level window of the process counts with all its descendants.
BOOL CALLBACK CountTopLevel(HWND window, LPARAM data) {
    auto* counted = reinterpret_cast<WindowCount*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != counted->pid) return TRUE;
    ++counted->count;
    EnumChildWindows(window, CountChild, data);
    return TRUE;
}

long CountOwnWindows() {
    WindowCount counted{GetCurrentProcessId(), 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&counted));
    for (HWND window = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window != nullptr;
         window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) {
        CountTopLevel(window, reinterpret_cast<LPARAM>(&counted));
    }
    return counted.count;
}

struct UserCounts {
    long windows = 0, menus = 0, cursors = 0, accelerators = 0;
};

UserCounts CountUserObjects() {
    using FrameInfo = HCURSOR(WINAPI*)(HCURSOR, DWORD, DWORD, DWORD*, DWORD*);
    static const auto frame_info = reinterpret_cast<FrameInfo>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetCursorFrameInfo")));
    UserCounts counts;
    counts.windows = CountOwnWindows();
    for (UINT index = 0; index < kUserHandleCount; ++index) {
        const UINT_PTR handle = kFirstUserHandle + 2 * index;
        if (IsMenu(reinterpret_cast<HMENU>(handle))) {
            ++counts.menus;
            continue;
        }
        DWORD rate = 0, steps = 0;
        if (frame_info != nullptr && frame_info(reinterpret_cast<HCURSOR>(handle), 0, 0, &rate, &steps) != nullptr) {
            ++counts.cursors;
            continue;
        }
        if (CopyAcceleratorTableA(reinterpret_cast<HACCEL>(handle), nullptr, 0) > 0) ++counts.accelerators;
    }
    return counts;
}

// One entry of the system handle list as NtQuerySystemInformation fills it.
struct SystemHandleEntry {
    ULONG process_id;
    UCHAR object_type;
    UCHAR flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};

// The kernel handles of this process, or -1 when the system list cannot be read.
long CountKernelHandles() {
    using QuerySystem = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QuerySystem>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return -1;
    for (SIZE_T size = 1 << 20; size <= (SIZE_T{1} << 28); size *= 4) {
        void* buffer = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (buffer == nullptr) return -1;
        ULONG needed = 0;
        const LONG status = query(kSystemHandleInformation, buffer, static_cast<ULONG>(size), &needed);
        long count = -1;
        if (status == 0) {
            const ULONG entries = *static_cast<const ULONG*>(buffer);
            // The entries follow the count at the alignment of a pointer.
            const auto* entry = reinterpret_cast<const SystemHandleEntry*>(static_cast<const char*>(buffer) +
                                                                            sizeof(void*));
            const DWORD pid = GetCurrentProcessId();
            count = 0;
            for (ULONG i = 0; i < entries; ++i) {
                if (entry[i].process_id == pid) ++count;
            }
        }
        VirtualFree(buffer, 0, MEM_RELEASE);
        if (status != kStatusInfoLengthMismatch) return count;
    }
    return -1;
}

// Bytes and blocks in use in every heap of the process (the C runtime's and Wine's included):
// unlike private bytes, this does not keep what a heap once grew to.
void AddHeapUse(std::string& out) {
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    long long bytes = 0, blocks = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
                bytes += entry.cbData;
                ++blocks;
            }
        }
        HeapUnlock(heaps[i]);
    }
    Add(out, "heap_kb", bytes / 1024);
    Add(out, "heap_blocks", blocks);
}

// PROCESS_MEMORY_COUNTERS, declared here so that no import library is needed.
struct MemoryCounters {
    DWORD size;
    DWORD page_fault_count;
    SIZE_T peak_working_set, working_set, quota_peak_paged, quota_paged, quota_peak_nonpaged,
        quota_nonpaged, private_bytes, peak_private_bytes;
};

void AddMemory(std::string& out) {
    using MemoryInfo = BOOL(WINAPI*)(HANDLE, MemoryCounters*, DWORD);
    static const auto memory_info = reinterpret_cast<MemoryInfo>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
    MemoryCounters counters = {};
    counters.size = sizeof counters;
    if (memory_info == nullptr || !memory_info(GetCurrentProcess(), &counters, sizeof counters)) return;
    Add(out, "working_set_kb", static_cast<long long>(counters.working_set / 1024));
    Add(out, "peak_working_set_kb", static_cast<long long>(counters.peak_working_set / 1024));
    Add(out, "private_kb", static_cast<long long>(counters.private_bytes / 1024));
    Add(out, "peak_private_kb", static_cast<long long>(counters.peak_private_bytes / 1024));
}

std::string CountEverything() {
    const DWORD started = GetTickCount();
    std::string out;
    // Kernel handles first: nothing below opens one.
    Add(out, "handles", CountKernelHandles());
    DWORD reported = 0;
    Add(out, "handles_api", GetProcessHandleCount(GetCurrentProcess(), &reported) ? reported : -1);
    Add(out, "gdi_api", GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    Add(out, "user_api", GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    const GdiCounts gdi = CountGdiObjects();
    Add(out, "gdi", gdi.total);
    Add(out, "gdi_dc", gdi.dcs);
    Add(out, "gdi_bitmap", gdi.bitmaps);
    Add(out, "gdi_font", gdi.fonts);
    Add(out, "gdi_pen", gdi.pens);
    Add(out, "gdi_brush", gdi.brushes);
    Add(out, "gdi_region", gdi.regions);
    Add(out, "gdi_other", gdi.other);
    const UserCounts user = CountUserObjects();
    Add(out, "user", user.windows + user.menus + user.cursors + user.accelerators);
    Add(out, "user_window", user.windows);
    Add(out, "user_menu", user.menus);
    Add(out, "user_cursor", user.cursors);
    Add(out, "user_accelerator", user.accelerators);
    AddMemory(out);
    AddHeapUse(out);
    Add(out, "count_ms", static_cast<long long>(GetTickCount() - started));
    return out;
}

void Answer(DWORD driver_pid, bool count) {
    std::string text = count ? CountEverything() : std::string();
    Add(text, "input", HIWORD(GetQueueStatus(QS_INPUT)) != 0 ? 1 : 0);

    char name[64];
    std::snprintf(name, sizeof name, "WdriveResources%lu", static_cast<unsigned long>(driver_pid));
    if (HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name)) {
        if (void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kMappingSize)) {
            DWORD size = static_cast<DWORD>(text.size());
            if (size > kMappingSize - 4) size = kMappingSize - 4;
            CopyMemory(view, &size, 4);
            CopyMemory(static_cast<char*>(view) + 4, text.data(), size);
            UnmapViewOfFile(view);
        }
        CloseHandle(mapping);
    }
    std::snprintf(name, sizeof name, "WdriveResourcesDone%lu", static_cast<unsigned long>(driver_pid));
    if (HANDLE done = OpenEventA(EVENT_MODIFY_STATE, FALSE, name)) {
        SetEvent(done);
        CloseHandle(done);
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK WdriveResourceHook(int code, WPARAM wparam, LPARAM lparam) {
    static const UINT count_resources = RegisterWindowMessageA("WdriveCountResources");
    if (code == HC_ACTION) {
        MSG* message = reinterpret_cast<MSG*>(lparam);
        if (message->message == count_resources) {
            PinThisModule();
            const DWORD driver = static_cast<DWORD>(message->wParam);
            const LONG request = static_cast<LONG>(message->lParam >> 1);
            if (driver != last_driver || request != last_request) {
                last_driver = driver;
                last_request = request;
                Answer(driver, (message->lParam & 1) != 0);
            }
            if (wparam == PM_REMOVE) message->message = WM_NULL;  // the program never sees it
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
