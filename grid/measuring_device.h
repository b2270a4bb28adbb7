// What the grid model measures with: a device with the table font chosen, and picture sizes.
#ifndef LINTARO_GRID_MEASURING_DEVICE_H
#define LINTARO_GRID_MEASURING_DEVICE_H

#include "render/font_record.h"
#include "render/draw_geometry.h"
#include "render/text_meter.h"

// One device the grid measures on: the display or the print measuring context. The grid picks
// the table font for a run of measurements (SelectFont), switches between its plain and bold
// variants (SelectBold) and gives the font back (ReleaseFont). Meter() measures with the chosen
// variant, in the device's pixels; outside a run it measures with the device's own font. The
// device is owned by whoever made the model and outlives it.
class MeasuringDevice {
public:
    virtual ~MeasuringDevice() = default;

    // Chooses `font` (plain variant) for the following measurements, replacing a font chosen
    // before. False when the font cannot be made; the device's own font is then measured.
    virtual bool SelectFont(const FontSpec& font) = 0;

    // Switches to the bold variant of the chosen font (the record with style bit 1 set) or back
    // to the plain one. For a font that is bold itself both variants are the same font.
    virtual void SelectBold(bool bold) = 0;

    // Ends the run: the device's own font is back and the chosen fonts are freed.
    virtual void ReleaseFont() = 0;

    virtual const TextMeter& Meter() const = 0;
};

// The table font chosen on a device for the length of a scope.
class FontRun {
public:
    FontRun(MeasuringDevice& device, const FontSpec& font) : device_(device) { device_.SelectFont(font); }
    ~FontRun() { device_.ReleaseFont(); }
    FontRun(const FontRun&) = delete;
    FontRun& operator=(const FontRun&) = delete;

private:
    MeasuringDevice& device_;
};

// The size in pixels of the picture that a picture cell names (a BMP file name relative to the
// data directory). False when the picture does not load; it then takes no room.
class PictureSizeSource {
public:
    virtual ~PictureSizeSource() = default;
    virtual bool SizeOf(const char* name, PictureSize& size) const = 0;
};

#endif
