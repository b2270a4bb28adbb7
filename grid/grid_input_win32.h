// The grid window's keyboard, scroll-bar and mouse handling, and the two column drags.
#ifndef LINTARO_GRID_GRID_INPUT_WIN32_H
#define LINTARO_GRID_GRID_INPUT_WIN32_H

#include <windows.h>

class GridSurface;

// WM_KEYDOWN: Page Up/Down (with Ctrl: to the start or the end), Up and Down scroll; Left and
// Right scroll sideways as the scroll-bar arrows do, Home and End go to the left and right ends
// (with Ctrl: to the first and the last line); the context-menu key opens the context menu at
// the grid's top left; every other key goes to the parent window as the same WM_KEYDOWN.
void HandleGridKeyDown(GridSurface& grid, WPARAM key, LPARAM key_data);

// WM_SYSKEYDOWN: Shift+F10 opens the context menu as the context-menu key does. Returns whether
// the key was taken (other system keys go on to the default procedure: menus, Alt+F4).
bool HandleGridSystemKeyDown(GridSurface& grid, WPARAM key);

// Asks the parent for its context menu at the grid's top-left corner, as a right click there.
void OpenContextMenuAtTopLeft(GridSurface& grid);

// WM_MOUSEWHEEL (`sideways` false) and WM_MOUSEHWHEEL (true): a notch scrolls three lines as
// three presses of Up or Down; with Shift held, or tilted, three 8-pixel steps sideways.
void HandleGridWheel(GridSurface& grid, WPARAM request, bool sideways);

// WM_VSCROLL and WM_HSCROLL: lines, pages and thumb tracking; the horizontal bar moves in
// 8-pixel steps and ignores its page codes.
void HandleGridVerticalScroll(GridSurface& grid, WPARAM request);
void HandleGridHorizontalScroll(GridSurface& grid, WPARAM request);

// WM_MOUSEMOVE: the sizing cursor over a column edge in a data row, the arrow elsewhere.
void HandleGridMouseMove(GridSurface& grid, LPARAM point);

// WM_LBUTTONDOWN: takes the focus; a press on a title or column number drags the column to a
// new place, a press on a column's right edge in a data row drags the edge to resize it. Both
// drags run their own message loop until the button is released.
void HandleGridLeftButton(GridSurface& grid, LPARAM point);

// WM_RBUTTONDOWN: the same message to the parent, the point in the parent's client coordinates.
void ForwardGridRightButton(GridSurface& grid, WPARAM keys, LPARAM point);

// The resize feedback: a two-pixel dotted black line that follows the mouse across `window`
// (client coordinates), the cursor confined to `confine` and the mouse captured, until the left
// button is released; the pixels under the line are put back as it moves and at the end.
// Returns the line's last x; `start_x` when the mouse never moved.
int DragResizeLine(HWND window, int start_x, const RECT& confine);

#endif
