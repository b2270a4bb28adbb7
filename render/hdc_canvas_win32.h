// The drawing canvas over a GDI device context: fills with stock brushes, TextOutA, rules in the
// selected pen, the clip region. The font is the one selected into the context.
#ifndef LINTARO_RENDER_HDC_CANVAS_WIN32_H
#define LINTARO_RENDER_HDC_CANVAS_WIN32_H

#include <windows.h>

#include "render/gdi_text_meter_win32.h"
#include "render/page_canvas.h"

class HdcCanvas : public PageCanvas {
public:
    // `white` is the brush of Shade::White (the stock white brush unless a caller wants another
    // cell background); light gray is the stock light-gray brush.
    HdcCanvas(HDC dc, HBRUSH white);

    const TextMeter& Meter() const override { return meter_; }
    // The selected font stays; a canvas that knows the table fonts switches them.
    void SelectBold(bool) override {}
    void SetTextBackground(Shade shade) override;
    void Fill(const PixelRect& rect, Shade shade) override;
    void Text(int x, int y, const char* text, std::size_t count) override;
    void RuleLine(int x1, int y1, int x2, int y2, bool white) override;
    void Pixel(int x, int y, bool white) override;
    void ExcludeClip(const PixelRect& rect) override;
    void KeepBandFinished(int top, int bottom) override;
    // The screen's picture cell, without a picture folder: pictures named relative to the
    // current folder.
    void PictureCell(const PixelRect& cell, int padding, int dy, int alignment, int line_type,
                     const char* name) override;

protected:
    HDC dc() const { return dc_; }

private:
    HDC dc_;
    HBRUSH white_;
    GdiTextMeter meter_;
};

#endif
