// The speed bar's window class, drawing, press tracking and tooltips.
#include "app/speed_bar_win32.h"

#include <commctrl.h>

const char kSpeedBarClass[] = "SpeedBarWndClass";

namespace {

RECT ToRect(const BarRect& rect) {
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

// Replaces the picture's background colour (its top-left pixel) by the current button face.
// The bitmap itself changes, so this costs something only when the system colour changed.
void MatchBackgroundToButtonFace(HDC picture_dc, int width, int height) {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF background = GetPixel(picture_dc, 0, 0);
    if (background == face || background == CLR_INVALID) return;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (GetPixel(picture_dc, x, y) == background) SetPixel(picture_dc, x, y, face);
        }
    }
}

// Copies the picture into the button, then fills the rest of the button with the face colour.
void DrawPicture(HDC dc, const BarRect& area, const BarRect& button, HBITMAP picture) {
    const RECT button_rect = ToRect(button);
    if (picture != nullptr) {
        BITMAP size = {};
        GetObjectA(picture, sizeof size, &size);
        const BarRect place = CentredPicture(area, size.bmWidth, size.bmHeight);
        HDC memory = CreateCompatibleDC(dc);
        if (memory != nullptr) {
            SetMapMode(memory, GetMapMode(dc));
            HGDIOBJ previous = SelectObject(memory, picture);
            MatchBackgroundToButtonFace(memory, size.bmWidth, size.bmHeight);
            BitBlt(dc, place.left, place.top, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
            SelectObject(memory, previous);
            DeleteDC(memory);
            ExcludeClipRect(dc, place.left, place.top, place.right, place.bottom);
        }
    }
    FillRect(dc, &button_rect, GetSysColorBrush(COLOR_BTNFACE));
}

// The frame of a button: raised (black at the bottom and right) or sunken (black at the top
// and left); the other two edges in the highlight colour.
void DrawFrame(HDC dc, const BarRect& r, bool held_down) {
    HPEN highlight = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    HGDIOBJ previous = SelectObject(dc, GetStockObject(BLACK_PEN));
    auto bottom_and_right = [&](HGDIOBJ pen) {
        SelectObject(dc, pen);
        MoveToEx(dc, r.left, r.bottom - 1, nullptr);
        LineTo(dc, r.right - 1, r.bottom - 1);
        LineTo(dc, r.right - 1, r.top);
    };
    auto left_and_top = [&](HGDIOBJ pen) {
        SelectObject(dc, pen);
        MoveToEx(dc, r.left, r.bottom - 2, nullptr);
        LineTo(dc, r.left, r.top);
        LineTo(dc, r.right - 1, r.top);
    };
    if (held_down) {
        left_and_top(GetStockObject(BLACK_PEN));
        if (highlight != nullptr) bottom_and_right(highlight);
    } else {
        bottom_and_right(GetStockObject(BLACK_PEN));
        if (highlight != nullptr) left_and_top(highlight);
    }
    SelectObject(dc, previous);
    if (highlight != nullptr) DeleteObject(highlight);
}

std::unique_ptr<SpeedBar> program_bar;

}  // namespace

std::unique_ptr<SpeedBar> SpeedBar::Create(HWND owner, const SpeedBarButtonSpec* buttons,
                                           int button_width, int button_height) {
    if (button_width == 0 || button_height == 0) {
        button_width = kSpeedBarFallbackButtonSize;
        button_height = kSpeedBarFallbackButtonSize;
    }
    InitCommonControls();
    const auto module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));

    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = module;
    window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    window_class.lpszClassName = kSpeedBarClass;
    RegisterClassA(&window_class);  // already registered by an earlier bar: fine

    RECT client = {};
    GetClientRect(owner, &client);
    std::unique_ptr<SpeedBar> bar(new SpeedBar);
    bar->owner_ = owner;
    bar->window_ = CreateWindowExA(0, kSpeedBarClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                                   client.left, client.top, client.right - client.left,
                                   SpeedBarHeightFor(button_height), owner, nullptr, module,
                                   nullptr);
    if (bar->window_ == nullptr) return nullptr;
    bar->tooltip_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, bar->window_,
                                    nullptr, module, nullptr);

    const std::vector<BarRect> rects = LayOutSpeedBarButtons(buttons, button_width, button_height);
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const SpeedBarButtonSpec& entry = buttons[i];
        Button button = {entry.command_id, entry.tooltip, LoadBitmapA(module, entry.bitmap_name),
                         rects[i], kButtonUp};
        bar->buttons_.push_back(button);
        if (bar->tooltip_ != nullptr) {
            TOOLINFOA tool = {};
            tool.cbSize = TTTOOLINFOA_V1_SIZE;
            tool.uFlags = TTF_SUBCLASS;
            tool.hwnd = bar->window_;
            tool.uId = static_cast<UINT_PTR>(entry.command_id);
            tool.rect = ToRect(rects[i]);
            tool.hinst = module;
            tool.lpszText = const_cast<char*>(entry.tooltip);
            SendMessageA(bar->tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    // From here on the class procedure finds this object through the window.
    SetWindowLongPtrA(bar->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(bar.get()));
    InvalidateRect(bar->window_, nullptr, TRUE);
    return bar;
}

SpeedBar::~SpeedBar() {
    for (Button& button : buttons_) {
        if (button.picture != nullptr) DeleteObject(button.picture);
    }
    if (window_ != nullptr && IsWindow(window_)) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    // A popup cannot be owned by a child window: the tooltip's owner is the bar's top-level
    // window, so it does not go with the bar and is destroyed here unless that window took it.
    if (tooltip_ != nullptr && IsWindow(tooltip_)) DestroyWindow(tooltip_);
}

int SpeedBar::Height() const {
    RECT rect = {};
    GetWindowRect(window_, &rect);
    return rect.bottom - rect.top;
}

void SpeedBar::FitToOwner() {
    RECT client = {};
    GetClientRect(owner_, &client);
    MoveWindow(window_, client.left, client.top, client.right - client.left, Height(), TRUE);
}

LRESULT CALLBACK SpeedBar::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* bar = reinterpret_cast<SpeedBar*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (bar == nullptr) return DefWindowProcA(window, message, wparam, lparam);
    return bar->Handle(message, wparam, lparam);
}

LRESULT SpeedBar::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_ERASEBKGND: {
            // All drawing happens here; WM_PAINT's default handling asks for the erase.
            HDC dc = GetDC(window_);
            if (dc != nullptr) {
                PaintAll(dc);
                ReleaseDC(window_, dc);
            }
            return 1;
        }
        case WM_LBUTTONDOWN:
            TrackPress(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
            return 0;
        default:
            return DefWindowProcA(window_, message, wparam, lparam);
    }
}

void SpeedBar::PaintAll(HDC dc) {
    for (Button& button : buttons_) {
        DrawButton(dc, button);
        ExcludeClipRect(dc, button.rect.left, button.rect.top, button.rect.right,
                        button.rect.bottom);
    }
    RECT client = {};
    GetClientRect(window_, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
}

void SpeedBar::DrawButton(HDC dc, Button& button) {
    const bool held_down = button.state != kButtonUp;
    BarRect area = button.rect;
    if (held_down) {
        area.left += 2;
        area.top += 2;
    }
    // The picture's clip exclusion must not outlive this button.
    const int saved = SaveDC(dc);
    DrawPicture(dc, area, button.rect, button.picture);
    RestoreDC(dc, saved);
    DrawFrame(dc, button.rect, held_down);
}

void SpeedBar::RedrawButton(Button& button) {
    HDC dc = GetDC(window_);
    if (dc == nullptr) return;
    DrawButton(dc, button);
    ReleaseDC(window_, dc);
}

void SpeedBar::TrackPress(int x, int y) {
    std::vector<BarRect> rects;
    for (const Button& button : buttons_) rects.push_back(button.rect);
    const int index = SpeedBarButtonAt(rects, x, y);
    if (index < 0) return;
    Button& button = buttons_[static_cast<std::size_t>(index)];
    button.state = kButtonHeldDown;
    RedrawButton(button);

    tracking_ = true;
    SetCapture(window_);
    bool quit = false;
    WPARAM quit_code = 0;
    MSG message;
    for (;;) {
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            // Nothing queued: sleep until something is (the press has no timers to serve).
            WaitMessage();
            continue;
        }
        if (message.message == WM_LBUTTONUP) break;
        if (message.message == WM_QUIT) {
            // Keep the quit for the main loop and give up the press.
            quit = true;
            quit_code = message.wParam;
            break;
        }
        if (message.message == WM_MOUSEMOVE) {
            const int mx = LOWORD(message.lParam);  // unsigned: left of the bar is far right
            const int my = HIWORD(message.lParam);
            const bool inside = BarRectContains(button.rect, mx, my);
            if (!inside && button.state != kButtonUp) {
                button.state = kButtonUp;
                RedrawButton(button);
            } else if (inside && button.state == kButtonUp) {
                button.state = kButtonHeldDown;
                RedrawButton(button);
            }
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    ReleaseCapture();

    const bool send = button.state != kButtonUp && !quit;
    if (button.state != kButtonUp) {
        button.state = kButtonUp;
        RedrawButton(button);
    }
    tracking_ = false;
    if (quit) PostQuitMessage(static_cast<int>(quit_code));
    if (send) SendMessageA(owner_, WM_COMMAND, MAKEWPARAM(button.command_id, 0), 0);
}

bool CreateSpeedBar(HWND owner) {
    program_bar = SpeedBar::Create(owner, kSpeedBarButtons);
    return program_bar != nullptr;
}

int SpeedBarHeight() {
    return program_bar != nullptr ? program_bar->Height() : 0;
}

void FitSpeedBarToOwner() {
    if (program_bar != nullptr) program_bar->FitToOwner();
}

void DestroySpeedBar() {
    program_bar.reset();
}
