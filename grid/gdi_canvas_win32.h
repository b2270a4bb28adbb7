// The line painters' canvas on a GDI device context: the screen's window or a printer's page.
#ifndef LINTARO_GRID_GDI_CANVAS_WIN32_H
#define LINTARO_GRID_GDI_CANVAS_WIN32_H

#include <windows.h>

#include "grid/grid_host_win32.h"
#include "grid/table_fonts_win32.h"
#include "render/gdi_text_meter_win32.h"
#include "render/page_canvas.h"

// Draws on `dc`, into which `fonts` has the table font selected; `on_paper` chooses the
// printer's picture cells (scaled from the display's resolution). `host` gives the picture
// folder and the display; without one, picture cells show no picture.
class GdiCanvas : public PageCanvas {
public:
    GdiCanvas(HDC dc, TableFonts& fonts, bool on_paper, GridHost* host)
        : dc_(dc), fonts_(fonts), on_paper_(on_paper), host_(host), meter_(dc) {}

    const TextMeter& Meter() const override { return meter_; }
    void SelectBold(bool bold) override { fonts_.SelectBold(bold); }
    void SetTextBackground(Shade shade) override;
    void Fill(const PixelRect& rect, Shade shade) override;
    void Text(int x, int y, const char* text, std::size_t count) override;
    void RuleLine(int x1, int y1, int x2, int y2, bool white) override;
    void Pixel(int x, int y, bool white) override;
    void ExcludeClip(const PixelRect& rect) override;
    void KeepBandFinished(int top, int bottom) override;
    void PictureCell(const PixelRect& cell, int padding, int dy, int alignment, int line_type,
                     const char* name) override;

private:
    HDC dc_;
    TableFonts& fonts_;
    bool on_paper_;
    GridHost* host_;
    GdiTextMeter meter_;
};

#endif
