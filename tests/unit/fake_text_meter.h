// A deterministic text meter for native tests: every byte has a fixed width, Cyrillic wider.
#ifndef LINTARO_TESTS_UNIT_FAKE_TEXT_METER_H
#define LINTARO_TESTS_UNIT_FAKE_TEXT_METER_H

#include "render/text_meter.h"

// Widths add up byte by byte: bytes 0xC0-0xFF take `cyrillic_width`, all others `byte_width`.
// The height is the same for every text, also an empty one, as with a real font.
class FakeTextMeter : public TextMeter {
public:
    explicit FakeTextMeter(int byte_width = 1, int cyrillic_width = 2, int height = 10,
                           int pixels_per_inch = 96)
        : byte_width_(byte_width),
          cyrillic_width_(cyrillic_width),
          height_(height),
          pixels_per_inch_(pixels_per_inch) {}

    TextExtent Measure(const char* text, std::size_t count) const override {
        int width = 0;
        for (std::size_t i = 0; i < count; ++i) {
            width += static_cast<unsigned char>(text[i]) >= 0xC0 ? cyrillic_width_ : byte_width_;
        }
        return TextExtent{width, height_};
    }
    int FontHeight() const override { return height_; }
    int PixelsPerInchX() const override { return pixels_per_inch_; }
    int PixelsPerInchY() const override { return pixels_per_inch_; }

private:
    int byte_width_;
    int cyrillic_width_;
    int height_;
    int pixels_per_inch_;
};

#endif
