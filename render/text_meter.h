// The one way the text rules learn how big text is: a small measuring interface over a device.
#ifndef LINTARO_RENDER_TEXT_METER_H
#define LINTARO_RENDER_TEXT_METER_H

#include <cstddef>

// Size of a piece of text in device pixels.
struct TextExtent {
    int width;
    int height;
};

// Measures code page 1251 byte strings with the font currently chosen on some device (a screen
// or printer context in the program, a fake in the tests). All results are device pixels of
// that device. The meter owns nothing and is used for the length of one call.
class TextMeter {
public:
    virtual ~TextMeter() = default;

    // Extent of `count` bytes of `text` (which needs no terminator). For count 0 the width is 0
    // and the height is the height of a line of the font, so empty lines keep their band.
    virtual TextExtent Measure(const char* text, std::size_t count) const = 0;

    // Height of the font's character cell (tmHeight).
    virtual int FontHeight() const = 0;

    // Pixels per logical inch of the device, across and down.
    virtual int PixelsPerInchX() const = 0;
    virtual int PixelsPerInchY() const = 0;

    // The width of each of the 256 bytes when the width of any text is exactly the sum of its
    // bytes' widths (learnt and checked against the device), so that a caller measuring many
    // texts may add them up itself; null when widths must be asked for text by text. Valid
    // while the meter's font stays chosen.
    virtual const int* ByteAdvances() const { return nullptr; }

    int Width(const char* text, std::size_t count) const { return Measure(text, count).width; }
};

#endif
