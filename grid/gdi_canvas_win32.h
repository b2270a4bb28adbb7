// The line painters' canvas on a GDI device context: the screen's window or a printer's page,
// with the table font pair and the grid host's pictures.
#ifndef LINTARO_GRID_GDI_CANVAS_WIN32_H
#define LINTARO_GRID_GDI_CANVAS_WIN32_H

#include <windows.h>

#include "grid/grid_host_win32.h"
#include "grid/table_fonts_win32.h"
#include "render/hdc_canvas_win32.h"

// Draws on `dc`, into which `fonts` has the table font selected; `on_paper` chooses the
// printer's picture cells (scaled from the display's resolution). `host` gives the picture
// folder and the display; without one, picture cells show no picture.
class GdiCanvas : public HdcCanvas {
public:
    GdiCanvas(HDC dc, TableFonts& fonts, bool on_paper, GridHost* host);

    void SelectBold(bool bold) override { fonts_.SelectBold(bold); }
    void PictureCell(const PixelRect& cell, int padding, int dy, int alignment, int line_type,
                     const char* name) override;

private:
    TableFonts& fonts_;
    bool on_paper_;
    GridHost* host_;
};

#endif
