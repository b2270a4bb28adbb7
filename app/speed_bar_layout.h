// The speed bar's buttons and their geometry, without the window system: which command each
// button sends, where it lies, where its picture goes and which button a point hits.
#ifndef LINTARO_APP_SPEED_BAR_LAYOUT_H
#define LINTARO_APP_SPEED_BAR_LAYOUT_H

#include <vector>

// One button of a bar: the command it sends, its picture's resource name, the pixels left free
// before it, and its tooltip text. A table of them ends with command id 0.
struct SpeedBarButtonSpec {
    int command_id;
    const char* bitmap_name;
    int gap_before;
    const char* tooltip;
};

// The program's bar: eight buttons, the first and the last set off by wider gaps.
extern const SpeedBarButtonSpec kSpeedBarButtons[];

// Button size in pixels; a size of 0 given at creation means kSpeedBarFallbackButtonSize.
constexpr int kSpeedBarButtonSize = 30;
constexpr int kSpeedBarFallbackButtonSize = 28;
// Buttons start this far from the bar's left edge (before the first gap) and from its top.
constexpr int kSpeedBarInset = 2;

// A rectangle in bar pixels; right and bottom are exclusive.
struct BarRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const BarRect& other) const {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }
};

// The buttons' count in a table ended by command id 0 (a null table has none).
int SpeedBarButtonCount(const SpeedBarButtonSpec* buttons);

// The bar's height for a button height: the button and 3 pixels above and below.
int SpeedBarHeightFor(int button_height);

// The buttons' rectangles, in table order: each starts after the previous one (the first at
// kSpeedBarInset) plus its own gap, kSpeedBarInset from the top.
std::vector<BarRect> LayOutSpeedBarButtons(const SpeedBarButtonSpec* buttons, int button_width,
                                           int button_height);

// The first button whose rectangle holds the point, or -1.
int SpeedBarButtonAt(const std::vector<BarRect>& buttons, int x, int y);

// Whether a point lies in a rectangle (left and top inclusive, right and bottom exclusive).
bool BarRectContains(const BarRect& rect, int x, int y);

// Where a picture of the given size goes in a button: centred, but never left of or above the
// rectangle. A held-down button passes its rectangle shrunk by 2 at the left and the top.
BarRect CentredPicture(const BarRect& button, int picture_width, int picture_height);

#endif
