// The grid's measuring devices on GDI: the display and print measuring contexts, picture sizes.
#ifndef LINTARO_GRID_GDI_MEASURING_DEVICE_WIN32_H
#define LINTARO_GRID_GDI_MEASURING_DEVICE_WIN32_H

#include <windows.h>

#include <memory>

#include "grid/table_fonts_win32.h"

#include "grid/grid_host_win32.h"
#include "grid/grid_model.h"
#include "grid/measuring_device.h"
#include "render/advance_table.h"
#include "render/gdi_text_meter_win32.h"

// A MeasuringDevice over the context the host gives for `device` (the display, or the print
// measuring context) when a run of measurements starts (so a printer context reopened after
// print setup is picked up). SelectFont creates the font
// with MakeFont and CreateFontIndirectA and selects it; the bold variant is made on first use;
// ReleaseFont selects the previous font back and deletes both. The device owns only its fonts.
// Within a run each variant's byte widths are learnt once (AdvanceTable), so measuring a cell
// costs no call to GDI when the font's widths add up.
class GdiMeasuringDevice : public MeasuringDevice {
public:
    GdiMeasuringDevice(GridHost& host, GridDevice device);
    ~GdiMeasuringDevice() override;
    GdiMeasuringDevice(const GdiMeasuringDevice&) = delete;
    GdiMeasuringDevice& operator=(const GdiMeasuringDevice&) = delete;

    bool SelectFont(const FontSpec& font) override;
    void SelectBold(bool bold) override;
    void ReleaseFont() override;
    const TextMeter& Meter() const override;

private:
    HDC Context() const;

    GridHost& host_;
    GridDevice device_;
    HDC dc_ = nullptr;  // the context of the current run; null outside a run
    std::unique_ptr<TableFonts> fonts_;
    bool bold_ = false;
    mutable AdvanceTable tables_[2];  // plain, bold; forgotten when the run ends
    mutable GdiTextMeter meter_{nullptr};
    mutable AdvanceTableMeter table_meter_[2] = {{meter_, tables_[0]}, {meter_, tables_[1]}};
};

// Picture sizes from BMP files named relative to the host's picture folder, loaded as bitmaps
// compatible with the screen.
class GdiPictureSizes : public PictureSizeSource {
public:
    explicit GdiPictureSizes(GridHost& host) : host_(host) {}
    bool SizeOf(const char* name, PictureSize& size) const override;

private:
    GridHost& host_;
};

#endif
