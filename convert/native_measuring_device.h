// A measuring device without Windows: the table font measured with FreeType on the Liberation
// fonts, giving the numbers Wine's GDI gives on a device of the same resolution.
#ifndef LINTARO_CONVERT_NATIVE_MEASURING_DEVICE_H
#define LINTARO_CONVERT_NATIVE_MEASURING_DEVICE_H

#include <array>
#include <map>
#include <memory>
#include <string>

#include "grid/measuring_device.h"

// Wine draws the Windows fonts a table names with the Liberation fonts (Arial and MS Sans Serif
// as Liberation Sans, Times New Roman as Liberation Serif, Courier New as Liberation Mono), hinted
// by FreeType: the character cell is the rounded Windows ascent plus the rounded Windows descent
// at the font's pixel size, and each byte's width its hinted advance rounded up to a pixel. Widths
// add up, as they do under Wine. Faces the program does not know are measured as Liberation Sans.
struct NativeFontMetrics {
    int height = 0;                 // tmHeight
    std::array<int, 256> advance{};  // width of each code page 1251 byte
};

// The file that stands in for `face_name` in `folder` (bold and italic choose the variant).
std::string NativeFontFile(const std::string& folder, const char* face_name, bool bold, bool italic);

// The metrics of the table font `font` on a device of `pixels_per_inch` (both ways), or false
// when its font file cannot be read.
bool MeasureNativeFont(const std::string& folder, const FontSpec& font, int pixels_per_inch,
                       NativeFontMetrics& metrics);

// A device of one resolution: 300 for the printer the tests print on, 96 for the display. On a
// display device "MS Sans Serif" is Wine's bitmap font, whose cell is 13, 16 or 20 pixels high
// by size; its widths are taken from Liberation Sans. Metrics are kept per font, so repeated
// runs of the same font cost nothing.
class NativeMeasuringDevice : public MeasuringDevice {
public:
    static constexpr const char* kLiberationFolder = "/usr/share/fonts/truetype/liberation";

    NativeMeasuringDevice(int pixels_per_inch, bool display, std::string font_folder = kLiberationFolder);
    ~NativeMeasuringDevice() override;

    bool SelectFont(const FontSpec& font) override;
    void SelectBold(bool bold) override;
    void ReleaseFont() override;
    const TextMeter& Meter() const override;

private:
    class FontMeter;
    const NativeFontMetrics* Metrics(const FontSpec& font);

    int pixels_per_inch_;
    bool display_;
    std::string font_folder_;
    FontSpec font_{};
    bool selected_ = false;
    const NativeFontMetrics* plain_ = nullptr;
    const NativeFontMetrics* bold_ = nullptr;
    bool bold_chosen_ = false;
    std::map<std::string, std::unique_ptr<NativeFontMetrics>> cache_;
    std::unique_ptr<FontMeter> meter_;
};

#endif
