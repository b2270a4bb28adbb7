// What painting and input see of a grid: its model, window, style, frame and host.
#ifndef LINTARO_GRID_GRID_SURFACE_WIN32_H
#define LINTARO_GRID_GRID_SURFACE_WIN32_H

#include <windows.h>

#include <cstdint>

#include "grid/grid_host_win32.h"
#include "grid/grid_model.h"
#include "grid/grid_view_layout.h"

// The grid as its window procedure's helpers use it, so that they need not know the Grid that
// owns the window (and the Grid, whose window procedure calls them, need not be known to them).
class GridSurface {
public:
    virtual ~GridSurface() = default;
    virtual GridModel& Model() = 0;
    // The grid's window, or null.
    virtual HWND Window() const = 0;
    // GridStyle bits given at creation.
    virtual std::uint32_t StyleBits() const = 0;
    // The client rectangle as it is now and the page's printable width on screen.
    virtual GridFrame Frame() const = 0;
    virtual GridHost& Host() const = 0;
    // Invalidates the whole client area without erasing and paints it now.
    virtual void Redraw() = 0;
};

#endif
