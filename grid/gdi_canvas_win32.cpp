// Picture cells of the grid's canvas: the host's folder, scaled for paper from the display.
#include "grid/gdi_canvas_win32.h"

#include "render/draw_primitives_win32.h"
#include "render/picture_cell_win32.h"

GdiCanvas::GdiCanvas(HDC dc, TableFonts& fonts, bool on_paper, GridHost* host)
    : HdcCanvas(dc, WhiteBrush()), fonts_(fonts), on_paper_(on_paper), host_(host) {}

void GdiCanvas::PictureCell(const PixelRect& cell, int padding, int dy, int alignment, int line_type,
                            const char* name) {
    const char* folder = host_ != nullptr ? host_->PictureFolder() : nullptr;
    const RECT rect = ToRect(cell);
    if (!on_paper_) {
        DrawPictureCell(dc(), rect, padding, dy, alignment, line_type, name, folder);
        return;
    }
    const HDC display = host_ != nullptr ? host_->DisplayContext() : nullptr;
    PrintPictureCell(dc(), rect, padding, dy, alignment, line_type, name, folder, display);
}
