// Widths of single bytes learnt once from a meter, so that a cell's width is a sum instead of a
// round trip to the device. Used only when the device's widths are additive for the font.
#ifndef LINTARO_RENDER_ADVANCE_TABLE_H
#define LINTARO_RENDER_ADVANCE_TABLE_H

#include <array>
#include <cstddef>

#include "render/text_meter.h"

class AdvanceTable {
public:
    // Measures every byte alone with `meter`, then a few probe strings: the table is usable
    // only when each probe's measured width and height equal the sum of its bytes and the
    // font's height. A device that rounds running totals (scaled device fonts) fails the probe
    // and keeps being asked directly.
    void Learn(const TextMeter& meter);

    void Forget() { learnt_ = usable_ = false; }
    bool Learnt() const { return learnt_; }
    bool Usable() const { return usable_; }

    int Width(const char* text, std::size_t count) const;
    // The 256 byte widths; they add up to the device's widths only when Usable().
    const int* Advances() const { return advance_.data(); }
    // The device's answers as they were when the table was learnt.
    int FontHeight() const { return font_height_; }
    int PixelsPerInchX() const { return pixels_per_inch_x_; }
    int PixelsPerInchY() const { return pixels_per_inch_y_; }

private:
    std::array<int, 256> advance_{};
    int font_height_ = 0;
    int pixels_per_inch_x_ = 0;
    int pixels_per_inch_y_ = 0;
    bool learnt_ = false;
    bool usable_ = false;
};

// A TextMeter that answers from `table` once it is learnt (summing widths when it is usable)
// and asks `device` for everything else. Both must outlive the meter.
class AdvanceTableMeter : public TextMeter {
public:
    AdvanceTableMeter(const TextMeter& device, const AdvanceTable& table) : device_(device), table_(table) {}

    TextExtent Measure(const char* text, std::size_t count) const override;
    int FontHeight() const override;
    int PixelsPerInchX() const override;
    int PixelsPerInchY() const override;
    const int* ByteAdvances() const override;

private:
    const TextMeter& device_;
    const AdvanceTable& table_;
};

#endif
