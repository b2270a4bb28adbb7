// The table font as cairo draws and measures it: the Liberation face that stands for the font's
// face name (the same faces Wine gives the program for Arial, Times New Roman and Courier New),
// and a measuring device that measures text as GDI does, by adding up each character's advance.
#ifndef LINTARO_PRINT_CAIRO_FONTS_CAIRO_H
#define LINTARO_PRINT_CAIRO_FONTS_CAIRO_H

#include <cairo.h>

#include "grid/measuring_device.h"
#include "render/font_record.h"

// A new reference to the face of `font` (its bold variant when `bold`); the caller destroys it.
// Faces with "Times" or "Roman" in the name are the serif face, "Courier" or "Mono" the
// monospaced one, everything else the sans-serif face.
cairo_font_face_t* CreateTableFontFace(const FontSpec& font, bool bold);

// The font's em height in pixels of a device with `pixels_per_inch_y`: the character height
// that a negative LOGFONT height asks for.
int TableFontEmPixels(const FontSpec& font, int pixels_per_inch_y);

// A device of the given resolution measuring with the table font's Liberation face. Widths are
// the sums of the whole-pixel advances of the characters, heights ascent + descent in whole
// pixels. Outside a run it measures with the program's default font.
class CairoMeasuringDevice : public MeasuringDevice {
public:
    CairoMeasuringDevice(int pixels_per_inch_x, int pixels_per_inch_y);
    ~CairoMeasuringDevice() override = default;

    bool SelectFont(const FontSpec& font) override;
    void SelectBold(bool bold) override;
    void ReleaseFont() override;
    const TextMeter& Meter() const override { return meter_; }

    // The ascent in whole pixels of the variant chosen now: where TextOut's baseline lies below
    // the top of a text box.
    int Ascent() const;

private:
    struct Variant {
        int advance[256];
        int ascent;
        int height;
    };
    class AdvanceMeter final : public TextMeter {
    public:
        explicit AdvanceMeter(const CairoMeasuringDevice& device) : device_(device) {}
        TextExtent Measure(const char* text, std::size_t count) const override;
        int FontHeight() const override;
        int PixelsPerInchX() const override { return device_.pixels_per_inch_x_; }
        int PixelsPerInchY() const override { return device_.pixels_per_inch_y_; }

    private:
        const CairoMeasuringDevice& device_;
    };

    void Build(Variant& variant, const FontSpec& font, bool bold) const;
    const Variant& Current() const;

    int pixels_per_inch_x_;
    int pixels_per_inch_y_;
    AdvanceMeter meter_;
    FontSpec font_{};
    Variant plain_{};
    Variant bold_{};
    bool bold_ready_ = false;
    bool use_bold_ = false;
};

#endif
