// The GDI side of the text rules: a TextMeter over a device context.
#include "render/gdi_text_meter_win32.h"

#include <climits>

TextExtent GdiTextMeter::Measure(const char* text, std::size_t count) const {
    if (text == nullptr || count == 0) return TextExtent{0, FontHeight()};
    SIZE size{};
    const int length = count > INT_MAX ? INT_MAX : static_cast<int>(count);
    if (!GetTextExtentPoint32A(dc_, text, length, &size)) return TextExtent{0, FontHeight()};
    return TextExtent{size.cx, size.cy};
}

int GdiTextMeter::FontHeight() const {
    TEXTMETRICA metrics{};
    return GetTextMetricsA(dc_, &metrics) ? metrics.tmHeight : 0;
}

int GdiTextMeter::PixelsPerInchX() const { return GetDeviceCaps(dc_, LOGPIXELSX); }

int GdiTextMeter::PixelsPerInchY() const { return GetDeviceCaps(dc_, LOGPIXELSY); }
