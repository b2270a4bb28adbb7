// The table window: creation, placement, the window's tie to its grid, and the layout file on disk.
#include "grid/grid_win32.h"

#include <algorithm>
#include <cstring>

#include "base/file_utils_win32.h"
#include "grid/grid_input_win32.h"
#include "grid/grid_paint_win32.h"
#include "render/gdi_text_meter_win32.h"

const char kGridWindowClass[] = "PrintableTableClassName";

namespace {

// A grid window carries its grid in its user data; until it is tied (after CreateWindowEx) and
// once untied, the window procedure leaves its messages to DefWindowProc.
void TieWindowToGrid(HWND window, Grid* grid) {
    if (window != nullptr && IsWindow(window)) {
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(grid));
    }
}

Grid* GridOfWindow(HWND window) { return reinterpret_cast<Grid*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

PrintSettings HostPrintSettings(void* host) { return static_cast<GridHost*>(host)->CurrentPrintSettings(); }

// Whether `path` names a folder or a file of at least one byte: something a save would destroy.
// A path that cannot be looked at holds nothing known; writing there fails and is reported.
bool HoldsSomething(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA found;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &found)) return false;
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || found.nFileSizeLow != 0 ||
           found.nFileSizeHigh != 0;
}

}  // namespace

Grid::Grid(GridHost& host)
    : host_(host),
      screen_device_(host, GridDevice::Screen),
      print_device_(host, GridDevice::Print),
      pictures_(host),
      model_(GridEnvironment{&screen_device_, &print_device_, &pictures_, &HostPrintSettings, &host}) {
    model_.AttachView(this);
}

Grid::~Grid() {
    model_.AttachView(nullptr);
    TieWindowToGrid(window_, nullptr);
    if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
}

Grid* Grid::FromWindow(HWND window) {
    // Another class's user data is not a grid.
    char class_name[sizeof "PrintableTableClassName" + 1] = {};
    if (window == nullptr || GetClassNameA(window, class_name, sizeof class_name) == 0 ||
        lstrcmpA(class_name, kGridWindowClass) != 0) {
        return nullptr;
    }
    return GridOfWindow(window);
}

bool Grid::Create(HWND parent, int control_id, std::uint32_t style_bits, int x, int y, int width, int height) {
    if (window_ != nullptr) return false;
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA window_class = {};
    if (!GetClassInfoA(instance, kGridWindowClass, &window_class)) {
        window_class = WNDCLASSA{};
        window_class.lpfnWndProc = &Grid::WindowProcedure;
        window_class.hInstance = instance;
        window_class.lpszClassName = kGridWindowClass;
        if (RegisterClassA(&window_class) == 0) return false;
    }
    const DWORD extended_style = (style_bits & GridStyle::ClientEdge) ? WS_EX_CLIENTEDGE : 0;
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_HSCROLL | WS_VSCROLL | WS_GROUP | WS_TABSTOP;
    const HWND window = CreateWindowExA(extended_style, kGridWindowClass, "", style, x, y, width, height, parent,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id)), instance, nullptr);
    if (window == nullptr) return false;
    window_ = window;
    style_bits_ = style_bits;
    GridViewState& view = model_.ViewState();
    view.horizontal_offset = 0;
    view.top_line = 0;
    view.top_sub_line = 0;
    model_.UpdateTableWidth();
    TieWindowToGrid(window_, this);
    GetClientRect(window_, &client_);
    return true;
}

void Grid::FitToParent(int top, int bottom_reserve) {
    if (window_ == nullptr) return;
    RECT parent_area = {};
    GetClientRect(GetParent(window_), &parent_area);
    const int height = std::max(0, static_cast<int>(parent_area.bottom - parent_area.top) - top - bottom_reserve);
    MoveWindow(window_, parent_area.left, parent_area.top + top, parent_area.right - parent_area.left, height, TRUE);
}

void Grid::Redraw() {
    if (window_ == nullptr) return;
    InvalidateRect(window_, nullptr, FALSE);
    UpdateWindow(window_);
}

GridFrame Grid::Frame() const {
    RECT client = client_;
    if (window_ != nullptr) GetClientRect(window_, &client);
    return GridFrame{ToPixelRect(client), PrintableWidthOnScreen(model_, style_bits_)};
}

void Grid::RefreshView() {
    if (window_ != nullptr) GetClientRect(window_, &client_);
    RefreshViewState(model_, Frame());
}

void Grid::ForgetWindow() {
    TieWindowToGrid(window_, nullptr);
    window_ = nullptr;
}

LayoutSaveOutcome Grid::Destroy() {
    const LayoutSaveOutcome outcome = SaveModifiedLayout();
    TieWindowToGrid(window_, nullptr);
    if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
    window_ = nullptr;
    return outcome;
}

bool Grid::LoadLayout(const char* path) {
    if (path == nullptr || path[0] == '\0' || !model_.SetLayoutFilePath(path)) return false;
    // A missing or unreadable file reads as no bytes: nothing is taken, titles are re-derived.
    std::vector<unsigned char> bytes;
    const bool read = ReadWholeFile(path, bytes);
    const bool accepted = model_.ApplyLayoutFileImage(bytes.data(), bytes.size());
    const bool something = read ? !bytes.empty() : HoldsSomething(path);
    found_layout_file_ = accepted    ? FoundLayoutFile::Layout
                         : something ? FoundLayoutFile::SomethingElse
                                     : FoundLayoutFile::Nothing;
    return accepted;
}

LayoutSaveOutcome Grid::SaveModifiedLayout() {
    const char* path = model_.LayoutFilePath();
    if (!model_.IsModified() || path[0] == '\0') return LayoutSaveOutcome::NotNeeded;
    // A file that appeared since the start is as foreign as one that was there.
    if (found_layout_file_ == FoundLayoutFile::SomethingElse ||
        (found_layout_file_ == FoundLayoutFile::Nothing && HoldsSomething(path))) {
        model_.SetModified(false);
        return LayoutSaveOutcome::Refused;
    }
    if (!SaveLayout(path)) return LayoutSaveOutcome::Failed;
    found_layout_file_ = FoundLayoutFile::Layout;  // ours now, to be written again
    return LayoutSaveOutcome::Saved;
}

bool Grid::SaveLayout(const char* path) {
    model_.SetModified(false);
    if (path == nullptr || path[0] == '\0' || model_.ColumnCount() == 0) return false;
    const std::vector<std::uint8_t> image = model_.BuildLayoutFileImage();
    return ReplaceFileSafely(path, image.data(), image.size());
}

LRESULT CALLBACK Grid::WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Grid* grid = GridOfWindow(window);
    if (grid == nullptr) return DefWindowProcA(window, message, wparam, lparam);
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(window, &paint);
            const bool visible_lines_changed = PaintGridWindow(*grid, dc);
            EndPaint(window, &paint);
            if (visible_lines_changed) UpdateGridScrollRanges(*grid);
            UpdateGridScrollPositions(*grid);
            return 0;
        }
        case WM_ERASEBKGND:
            // Painting covers the whole client area.
            return 1;
        case WM_SIZE:
            grid->RefreshView();
            // A scroll bar that came or went changed the client area: paint again, which also
            // brings the scroll ranges up to date.
            InvalidateRect(window, nullptr, FALSE);
            break;
        case WM_KEYDOWN:
            HandleGridKeyDown(*grid, wparam, lparam);
            break;
        case WM_SYSKEYDOWN:
            // Shift+F10 must not also open the menu bar as F10 does.
            if (HandleGridSystemKeyDown(*grid, wparam)) return 0;
            break;
        case WM_MOUSEWHEEL:
            HandleGridWheel(*grid, wparam, false);
            return 0;
        case WM_MOUSEHWHEEL:
            HandleGridWheel(*grid, wparam, true);
            return 0;
        case WM_COMMAND:
            if (const HWND parent = GetParent(window)) SendMessageA(parent, WM_COMMAND, wparam, lparam);
            return 0;
        case WM_VSCROLL:
            HandleGridVerticalScroll(*grid, wparam);
            break;
        case WM_HSCROLL:
            HandleGridHorizontalScroll(*grid, wparam);
            break;
        case WM_MOUSEMOVE:
            HandleGridMouseMove(*grid, lparam);
            break;
        case WM_LBUTTONDOWN: {
            // A column drag runs its own message loop and holds the grid throughout.
            const GridModalWork drag(grid->Host());
            HandleGridLeftButton(*grid, lparam);
            break;
        }
        case WM_RBUTTONDOWN:
            ForwardGridRightButton(*grid, wparam, lparam);
            break;
        case WM_NCDESTROY:
            // Destroyed with its parent: the grid must not keep a dead handle.
            grid->ForgetWindow();
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}
