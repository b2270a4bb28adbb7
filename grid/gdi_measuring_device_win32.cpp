// The grid's measuring devices on GDI: fonts on the display and print measuring contexts.
#include "grid/gdi_measuring_device_win32.h"

#include "base/path_rules.h"
#include "render/picture_cell_win32.h"
#include "render/text_draw_win32.h"

GdiMeasuringDevice::GdiMeasuringDevice(GridHost& host, GridDevice device) : host_(host), device_(device) {}

HDC GdiMeasuringDevice::Context() const {
    return device_ == GridDevice::Screen ? host_.DisplayContext() : host_.PrintMeasuringContext();
}

GdiMeasuringDevice::~GdiMeasuringDevice() { ReleaseFont(); }

bool GdiMeasuringDevice::SelectFont(const FontSpec& font) {
    ReleaseFont();
    dc_ = Context();
    if (dc_ == nullptr) return false;
    fonts_ = std::make_unique<TableFonts>(dc_, font);
    return fonts_->Selected();
}

void GdiMeasuringDevice::SelectBold(bool bold) {
    if (fonts_ == nullptr) return;
    fonts_->SelectBold(bold);
    bold_ = bold;
}

void GdiMeasuringDevice::ReleaseFont() {
    fonts_.reset();
    dc_ = nullptr;
    bold_ = false;
    for (AdvanceTable& table : tables_) table.Forget();
}

const TextMeter& GdiMeasuringDevice::Meter() const {
    meter_ = GdiTextMeter(dc_ != nullptr ? dc_ : Context());
    if (fonts_ == nullptr || !fonts_->Selected()) return meter_;
    const int variant = bold_ ? 1 : 0;
    if (!tables_[variant].Learnt()) tables_[variant].Learn(meter_);
    return table_meter_[variant];
}

bool GdiPictureSizes::SizeOf(const char* name, PictureSize& size) const {
    if (name == nullptr || name[0] == '\0') return false;
    char path[kPathBufferSize];
    if (!ResolvePicturePath(host_.PictureFolder(), name, path, sizeof path)) return false;
    // Compatible with the screen, as the pictures are drawn there.
    const HBITMAP bitmap = LoadBitmapFile(nullptr, path);
    if (bitmap == nullptr) return false;
    const SIZE extent = BitmapSize(bitmap);
    DeleteObject(bitmap);
    size = PictureSize{extent.cx, extent.cy};
    return true;
}
