// The speed bar: a strip of picture buttons along the top of the main window ("SpeedBarWndClass")
// that sends a button's command to its owner when the button is clicked.
#ifndef LINTARO_APP_SPEED_BAR_WIN32_H
#define LINTARO_APP_SPEED_BAR_WIN32_H

#include <windows.h>

#include <memory>
#include <vector>

#include "app/speed_bar_layout.h"

extern const char kSpeedBarClass[];  // "SpeedBarWndClass"

// Button states.
constexpr int kButtonUp = 0;
constexpr int kButtonHeldDown = 2;

// One bar. It draws its buttons while its background is erased, tracks a press in a loop of its
// own until the left button is released, and then sends SendMessageA(owner, WM_COMMAND,
// command id, 0) when the pointer was over the pressed button at the last move. Tooltips come
// from a tooltip control that subclasses the bar. User-interface thread only.
class SpeedBar {
public:
    // Creates the bar across the top of the owner's client area, as wide as it and
    // SpeedBarHeightFor(button height) high, with one button per table entry (the table must
    // outlive the bar). A button size of 0 means 28. Null when the window cannot be created.
    static std::unique_ptr<SpeedBar> Create(HWND owner, const SpeedBarButtonSpec* buttons,
                                            int button_width = kSpeedBarButtonSize,
                                            int button_height = kSpeedBarButtonSize);
    // Deletes the pictures and destroys the bar window and its tooltip when they still exist.
    ~SpeedBar();
    SpeedBar(const SpeedBar&) = delete;
    SpeedBar& operator=(const SpeedBar&) = delete;

    // The height of the bar window, in pixels.
    int Height() const;
    // Moves the bar to the owner's client area's top left, as wide as it, and repaints it.
    void FitToOwner();

    HWND Window() const { return window_; }
    HWND Tooltip() const { return tooltip_; }
    int ButtonCount() const { return static_cast<int>(buttons_.size()); }
    BarRect ButtonRect(int index) const { return buttons_[index].rect; }
    int ButtonState(int index) const { return buttons_[index].state; }
    bool IsTracking() const { return tracking_; }

private:
    struct Button {
        int command_id;
        const char* tooltip;
        HBITMAP picture;  // null when its resource did not load: the button is drawn empty
        BarRect rect;
        int state;
    };

    SpeedBar() = default;
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
    void PaintAll(HDC dc);
    void DrawButton(HDC dc, Button& button);
    void RedrawButton(Button& button);
    void TrackPress(int x, int y);

    HWND owner_ = nullptr;
    HWND window_ = nullptr;
    HWND tooltip_ = nullptr;
    std::vector<Button> buttons_;
    bool tracking_ = false;
};

// The program's one bar, kept here from the main window's creation to the final clean-up.
// Creates it with kSpeedBarButtons in the owner; false when it could not be made.
bool CreateSpeedBar(HWND owner);
// Its height, or 0 when there is no bar.
int SpeedBarHeight();
// Stretches it to the owner's client width; called on every WM_SIZE of the owner.
void FitSpeedBarToOwner();
// Releases it; called after the message loop.
void DestroySpeedBar();

#endif
