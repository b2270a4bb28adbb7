// The GDI side of the text rules: a TextMeter over a device context, and rectangle conversions.
#ifndef LINTARO_RENDER_GDI_TEXT_METER_WIN32_H
#define LINTARO_RENDER_GDI_TEXT_METER_WIN32_H

#include <windows.h>

#include "render/text_layout.h"

// Measures with whatever font is selected into `dc` when a measurement is taken
// (GetTextExtentPoint32A, GetTextMetricsA, GetDeviceCaps). Does not own the context.
class GdiTextMeter : public TextMeter {
public:
    explicit GdiTextMeter(HDC dc) : dc_(dc) {}

    TextExtent Measure(const char* text, std::size_t count) const override;
    int FontHeight() const override;
    int PixelsPerInchX() const override;
    int PixelsPerInchY() const override;

private:
    HDC dc_;
};

inline PixelRect ToPixelRect(const RECT& rect) {
    return PixelRect{rect.left, rect.top, rect.right, rect.bottom};
}

inline RECT ToRect(const PixelRect& rect) {
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

#endif
