// The grid's measuring devices on GDI: the display and print measuring contexts, picture sizes.
#ifndef LINTARO_GRID_GDI_MEASURING_DEVICE_WIN32_H
#define LINTARO_GRID_GDI_MEASURING_DEVICE_WIN32_H

#include <windows.h>

#include <memory>

#include "grid/table_fonts_win32.h"

#include "grid/measuring_device.h"
#include "render/advance_table.h"
#include "render/gdi_text_meter_win32.h"

// The display information context ("DISPLAY"), opened once for the whole program on first
// need and kept in App().display_info.
HDC DisplayInformationContext();

// Where the grid measures for paper: the printer information context when one is open,
// otherwise the display information context.
HDC PrintMeasuringContext();

// A MeasuringDevice over whatever context `context` returns when a run of measurements starts
// (so a printer context reopened after print setup is picked up). SelectFont creates the font
// with MakeFont and CreateFontIndirectA and selects it; the bold variant is made on first use;
// ReleaseFont selects the previous font back and deletes both. The device owns only its fonts.
// Within a run each variant's byte widths are learnt once (AdvanceTable), so measuring a cell
// costs no call to GDI when the font's widths add up.
class GdiMeasuringDevice : public MeasuringDevice {
public:
    using ContextSource = HDC (*)();

    explicit GdiMeasuringDevice(ContextSource context);
    ~GdiMeasuringDevice() override;
    GdiMeasuringDevice(const GdiMeasuringDevice&) = delete;
    GdiMeasuringDevice& operator=(const GdiMeasuringDevice&) = delete;

    bool SelectFont(const FontSpec& font) override;
    void SelectBold(bool bold) override;
    void ReleaseFont() override;
    const TextMeter& Meter() const override;

private:
    ContextSource context_;
    HDC dc_ = nullptr;  // the context of the current run; null outside a run
    std::unique_ptr<TableFonts> fonts_;
    bool bold_ = false;
    mutable AdvanceTable tables_[2];  // plain, bold; forgotten when the run ends
    mutable GdiTextMeter meter_{nullptr};
    mutable AdvanceTableMeter table_meter_[2] = {{meter_, tables_[0]}, {meter_, tables_[1]}};
};

// Picture sizes from BMP files named relative to the data directory (App().data_directory,
// first set to the program's folder when empty), loaded as bitmaps compatible with the screen.
class GdiPictureSizes : public PictureSizeSource {
public:
    bool SizeOf(const char* name, PictureSize& size) const override;
};

#endif
