// The grid window's keyboard, scroll-bar and mouse handling, and the column resize and move drags.
#include "grid/grid_input_win32.h"

#include <cstdlib>

#include "grid/grid_view_layout.h"
#include "grid/grid_surface_win32.h"

namespace {

constexpr char kMoveColumnCursor[] = "MoveColumn";
constexpr int kWheelLinesPerNotch = 3;
// The feedback line follows the mouse only once it is this far from where the line is.
constexpr int kFeedbackStep = 2;

// Mouse coordinates are signed 16-bit values (left of or above the window while captured).
int PointX(LPARAM point) { return static_cast<short>(LOWORD(point)); }
int PointY(LPARAM point) { return static_cast<short>(HIWORD(point)); }

void RedrawWhen(GridSurface& grid, bool changed) {
    if (changed) grid.Redraw();
}

RECT ToScreen(HWND window, const RECT& rect) {
    RECT screen = rect;
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&screen), 2);
    return screen;
}

// The thumb position of a tracking scroll bar. The message carries only 16 bits; when the bar
// itself reports a tracking position that agrees with them, its full 32 bits are taken, so that
// tables of more than 65535 text lines can be reached.
int ThumbPosition(HWND window, int bar, WPARAM request) {
    const int low_bits = HIWORD(request);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_TRACKPOS;
    if (GetScrollInfo(window, bar, &info) && (info.nTrackPos & 0xFFFF) == low_bits) return info.nTrackPos;
    return low_bits;
}

// Waits for the next message of the drag; false when the drag must end without a release
// (the program is quitting).
bool NextDragMessage(MSG& message) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got > 0) return true;
    if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
    return false;
}

void Dispatch(MSG& message) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

// The dotted feedback line with the pixels it covers kept aside.
class FeedbackLine {
public:
    FeedbackLine(HWND window, int top, int height)
        : window_(window), dc_(GetDC(window)), top_(top), height_((height + 1) / 2 * 2) {
        saved_dc_ = CreateCompatibleDC(dc_);
        saved_ = CreateCompatibleBitmap(dc_, 2, height_ > 0 ? height_ : 1);
        previous_ = SelectObject(saved_dc_, saved_);
    }
    ~FeedbackLine() {
        Hide();
        SelectObject(saved_dc_, previous_);
        DeleteObject(saved_);
        DeleteDC(saved_dc_);
        ReleaseDC(window_, dc_);
    }
    FeedbackLine(const FeedbackLine&) = delete;
    FeedbackLine& operator=(const FeedbackLine&) = delete;

    void ShowAt(int x) {
        Hide();
        BitBlt(saved_dc_, 0, 0, 2, height_, dc_, x, top_, SRCCOPY);
        for (int row = 0; row < height_; row += 2) {
            SetPixel(dc_, x, top_ + row, RGB(0, 0, 0));
            SetPixel(dc_, x + 1, top_ + row + 1, RGB(0, 0, 0));
        }
        x_ = x;
        shown_ = true;
    }
    void Hide() {
        if (!shown_) return;
        BitBlt(dc_, x_, top_, 2, height_, saved_dc_, 0, 0, SRCCOPY);
        shown_ = false;
    }
    bool Shown() const { return shown_; }

private:
    HWND window_;
    HDC dc_;
    int top_;
    int height_;
    HDC saved_dc_ = nullptr;
    HBITMAP saved_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    int x_ = 0;
    bool shown_ = false;
};

void ResizeColumnByDrag(GridSurface& grid, int column, const PixelRect& client) {
    GridModel& model = grid.Model();
    const int left = ColumnLeftX(model, column, client);
    const int old_x = left + model.Column(column)->width + model.Metrics(GridDevice::Screen).rule_width;
    const RECT confine{left + kResizeMargin, client.top, client.right - kResizeMargin, client.bottom};
    const int new_x = DragResizeLine(grid.Window(), old_x, confine);
    if (std::abs(new_x - old_x) <= 1) return;
    ResizeColumn(model, column, new_x - old_x);
    FillView(model, grid.Frame());
    model.SetLayoutDirty(true);
    grid.Redraw();
}

void MoveColumnByDrag(GridSurface& grid, int column, const PixelRect& client) {
    const HWND window = grid.Window();
    const HCURSOR move_cursor = LoadCursorA(GetModuleHandleA(nullptr), kMoveColumnCursor);
    const HCURSOR previous = move_cursor != nullptr ? SetCursor(move_cursor) : GetCursor();
    RECT area{};
    GetClientRect(window, &area);
    const RECT confine = ToScreen(window, area);
    ClipCursor(&confine);
    SetCapture(window);
    MSG message;
    while (NextDragMessage(message)) {
        if (message.message == WM_LBUTTONUP) break;
        // Moves are dropped: nothing follows the mouse but the cursor.
        if (message.message != WM_MOUSEMOVE) Dispatch(message);
        if (GetCapture() != window) break;
    }
    POINT drop{};
    GetCursorPos(&drop);
    ReleaseCapture();
    ClipCursor(nullptr);
    SetCursor(previous);
    ScreenToClient(window, &drop);

    GridModel& model = grid.Model();
    const int target = ColumnDropTarget(model, drop.x, client);
    if (target >= 0 && MoveColumn(model, column, target)) grid.Redraw();
}

}  // namespace

int DragResizeLine(HWND window, int start_x, const RECT& confine) {
    const RECT screen_confine = ToScreen(window, confine);
    ClipCursor(&screen_confine);
    SetCapture(window);
    int line_x = start_x;
    {
        FeedbackLine line(window, confine.top, confine.bottom - confine.top);
        MSG message;
        while (NextDragMessage(message)) {
            if (message.message == WM_LBUTTONUP) break;
            if (message.message == WM_MOUSEMOVE) {
                POINT cursor{};
                GetCursorPos(&cursor);
                ScreenToClient(window, &cursor);
                if (!line.Shown() || std::abs(cursor.x - line_x) >= kFeedbackStep) {
                    line_x = cursor.x;
                    line.ShowAt(line_x);
                }
            } else {
                Dispatch(message);
            }
            if (GetCapture() != window) break;
        }
    }
    ReleaseCapture();
    ClipCursor(nullptr);
    return line_x;
}

void HandleGridKeyDown(GridSurface& grid, WPARAM key, LPARAM key_data) {
    GridModel& model = grid.Model();
    const bool control = GetKeyState(VK_CONTROL) < 0;
    switch (key) {
        case VK_PRIOR:
            if (!control) {
                RedrawWhen(grid, PageUp(model, grid.Frame()));
            } else if (model.ViewState().top_line != 0 || model.ViewState().top_sub_line != 0) {
                model.ScrollHome(true);
            }
            return;
        case VK_NEXT:
            RedrawWhen(grid, control ? ScrollToEnd(model, grid.Frame()) : PageDown(model, grid.Frame()));
            return;
        case VK_UP:
            RedrawWhen(grid, LineUp(model));
            return;
        case VK_DOWN:
            RedrawWhen(grid, LineDown(model));
            return;
        case VK_LEFT:
            RedrawWhen(grid, ScrollLeft(model));
            return;
        case VK_RIGHT:
            RedrawWhen(grid, ScrollRight(model, grid.Frame()));
            return;
        case VK_HOME:
            RedrawWhen(grid, control ? ScrollToStart(model) : ScrollToLeftEnd(model));
            return;
        case VK_END:
            RedrawWhen(grid, control ? ScrollToEnd(model, grid.Frame()) : ScrollToRightEnd(model, grid.Frame()));
            return;
        case VK_APPS:
            OpenContextMenuAtTopLeft(grid);
            return;
        default:
            if (const HWND parent = GetParent(grid.Window())) SendMessageA(parent, WM_KEYDOWN, key, key_data);
            return;
    }
}

bool HandleGridSystemKeyDown(GridSurface& grid, WPARAM key) {
    if (key != VK_F10 || GetKeyState(VK_SHIFT) >= 0) return false;
    OpenContextMenuAtTopLeft(grid);
    return true;
}

void OpenContextMenuAtTopLeft(GridSurface& grid) { ForwardGridRightButton(grid, 0, MAKELPARAM(0, 0)); }

void HandleGridWheel(GridSurface& grid, WPARAM request, bool sideways) {
    const int delta = GET_WHEEL_DELTA_WPARAM(request);
    // Three lines a notch, as three presses of Up or Down; a finer wheel moves at least one.
    int steps = delta * kWheelLinesPerNotch / WHEEL_DELTA;
    if (steps == 0 && delta != 0) steps = delta > 0 ? 1 : -1;
    GridModel& model = grid.Model();
    if (sideways || (GET_KEYSTATE_WPARAM(request) & MK_SHIFT)) {
        // A tilt to the right is positive; a Shift+wheel turn towards the user goes right.
        RedrawWhen(grid, ScrollSideways(model, grid.Frame(), sideways ? steps : -steps));
    } else {
        RedrawWhen(grid, ScrollLines(model, -steps));
    }
}

void HandleGridVerticalScroll(GridSurface& grid, WPARAM request) {
    GridModel& model = grid.Model();
    if (model.LineCount() == 0) return;
    switch (LOWORD(request)) {
        case SB_LINEUP:
            RedrawWhen(grid, LineUp(model));
            break;
        case SB_LINEDOWN:
            RedrawWhen(grid, LineDown(model));
            break;
        case SB_PAGEUP:
            RedrawWhen(grid, PageUp(model, grid.Frame()));
            break;
        case SB_PAGEDOWN:
            RedrawWhen(grid, PageDown(model, grid.Frame()));
            break;
        case SB_THUMBTRACK:
            RedrawWhen(grid, TrackVerticalThumb(model, ThumbPosition(grid.Window(), SB_VERT, request)));
            break;
        default:
            break;
    }
}

void HandleGridHorizontalScroll(GridSurface& grid, WPARAM request) {
    GridModel& model = grid.Model();
    switch (LOWORD(request)) {
        case SB_LINELEFT:
            RedrawWhen(grid, ScrollLeft(model));
            break;
        case SB_LINERIGHT:
            RedrawWhen(grid, ScrollRight(model, grid.Frame()));
            break;
        case SB_THUMBTRACK:
            RedrawWhen(grid, TrackHorizontalThumb(model, ThumbPosition(grid.Window(), SB_HORZ, request)));
            break;
        default:
            // Page left and right move nothing.
            break;
    }
}

void HandleGridMouseMove(GridSurface& grid, LPARAM point) {
    const GridModel& model = grid.Model();
    const PixelRect client = grid.Frame().client;
    const int x = PointX(point);
    const int y = PointY(point);
    LPCSTR shape = IDC_ARROW;
    if (grid.StyleBits() & GridStyle::ResizeCursor) {
        const int line = LineAtY(model, y, client);
        if (line >= 0 && model.Line(line).kind == LineKind::DataRow && ColumnEdgeAtX(model, x, client) >= 0) {
            shape = IDC_SIZEWE;
        }
    }
    SetCursor(LoadCursorA(nullptr, shape));
}

void HandleGridLeftButton(GridSurface& grid, LPARAM point) {
    const HWND window = grid.Window();
    if (GetFocus() != window) SetFocus(window);
    GridModel& model = grid.Model();
    const PixelRect client = grid.Frame().client;
    const int x = PointX(point);
    const int y = PointY(point);
    const int line = LineAtY(model, y, client);
    if (line < 0) return;
    const std::uint8_t kind = model.Line(line).kind;
    if (kind == LineKind::Titles || kind == LineKind::ColumnNumbers) {
        if (!(grid.StyleBits() & GridStyle::MoveColumns)) return;
        const int column = ColumnAtTitleX(model, x, client);
        if (column >= 0) MoveColumnByDrag(grid, column, client);
    } else if (kind == LineKind::DataRow) {
        const int column = ColumnEdgeAtX(model, x, client);
        if (column >= 0) ResizeColumnByDrag(grid, column, client);
    }
}

void ForwardGridRightButton(GridSurface& grid, WPARAM keys, LPARAM point) {
    const HWND parent = GetParent(grid.Window());
    if (parent == nullptr) return;
    POINT at{PointX(point), PointY(point)};
    MapWindowPoints(grid.Window(), parent, &at, 1);
    SendMessageA(parent, WM_RBUTTONDOWN, keys, MAKELPARAM(at.x, at.y));
}
