// Deterministic measuring devices and picture sizes for native tests of the grid model.
#ifndef LINTARO_TESTS_UNIT_FAKE_MEASURING_DEVICE_H
#define LINTARO_TESTS_UNIT_FAKE_MEASURING_DEVICE_H

#include <map>
#include <string>

#include "grid/measuring_device.h"

// Widths add up byte by byte. At a font size of 100 (10 points) a byte is `byte_width` pixels
// wide, Cyrillic 0xC0-0xFF twice that, and the narrow "i", "j", "l", ".", "," and space half of
// it (rounded down); the font is `height` high. Widths and height scale with the size in
// proportion. The bold variant adds one pixel per byte. The fake counts what the model does
// with it, so tests can check that every measurement happens with the table font chosen and
// that every run of measurements ends.
class FakeMeasuringDevice : public MeasuringDevice {
public:
    explicit FakeMeasuringDevice(int byte_width = 6, int height = 13, int pixels_per_inch = 96)
        : meter_(*this), byte_width_(byte_width), height_(height), pixels_per_inch_(pixels_per_inch) {}

    bool SelectFont(const FontSpec& font) override {
        font_ = font;
        selected_ = true;
        bold_ = false;
        ++selections;
        return true;
    }
    void SelectBold(bool bold) override { bold_ = bold; }
    void ReleaseFont() override {
        selected_ = false;
        bold_ = false;
        ++releases;
    }
    const TextMeter& Meter() const override { return meter_; }

    bool FontSelected() const { return selected_; }

    // The width the contract gives for `text` in the plain (or bold) variant of `font`.
    int ExpectedWidth(const std::string& text, const FontSpec& font, bool bold = false) const {
        int width = 0;
        for (unsigned char byte : text) width += ByteWidth(byte, font.size, bold || (font.style & kFontBold));
        return width;
    }
    int ExpectedHeight(const FontSpec& font) const { return height_ * font.size / 100; }

    int selections = 0;
    int releases = 0;
    int measurements_without_font = 0;
    // Whether the meter offers its byte widths to be added up (as a GDI device does once it has
    // checked that they add up), or must be asked text by text.
    bool offers_byte_advances = false;

private:
    int ByteWidth(unsigned char byte, int size, bool bold) const {
        int base = byte_width_;
        if (byte >= 0xC0) {
            base = 2 * byte_width_;
        } else if (byte == 'i' || byte == 'j' || byte == 'l' || byte == '.' || byte == ',' || byte == ' ') {
            base = byte_width_ / 2;
        }
        const int plain = base * size / 100;
        return plain + (bold ? 1 : 0);
    }

    class FakeMeter : public TextMeter {
    public:
        explicit FakeMeter(FakeMeasuringDevice& device) : device_(device) {}
        TextExtent Measure(const char* text, std::size_t count) const override {
            if (!device_.selected_) ++device_.measurements_without_font;
            const bool bold = device_.bold_ || (device_.font_.style & kFontBold);
            int width = 0;
            for (std::size_t i = 0; i < count; ++i) {
                width += device_.ByteWidth(static_cast<unsigned char>(text[i]), device_.font_.size, bold);
            }
            return TextExtent{width, FontHeight()};
        }
        const int* ByteAdvances() const override {
            if (!device_.offers_byte_advances) return nullptr;
            if (!device_.selected_) ++device_.measurements_without_font;
            const bool bold = device_.bold_ || (device_.font_.style & kFontBold);
            if (device_.font_.size != advances_size_ || bold != advances_bold_) {
                for (int byte = 0; byte < 256; ++byte) {
                    advances_[byte] = device_.ByteWidth(static_cast<unsigned char>(byte), device_.font_.size, bold);
                }
                advances_size_ = device_.font_.size;
                advances_bold_ = bold;
            }
            return advances_;
        }
        int FontHeight() const override { return device_.height_ * device_.font_.size / 100; }
        int PixelsPerInchX() const override { return device_.pixels_per_inch_; }
        int PixelsPerInchY() const override { return device_.pixels_per_inch_; }

    private:
        FakeMeasuringDevice& device_;
        mutable int advances_[256] = {};
        mutable int advances_size_ = -1;  // the font size and variant advances_ holds
        mutable bool advances_bold_ = false;
    };

    FakeMeter meter_;
    int byte_width_;
    int height_;
    int pixels_per_inch_;
    FontSpec font_;
    bool selected_ = false;
    bool bold_ = false;
};

// Picture sizes by file name; any other name does not load.
class FakePictureSizes : public PictureSizeSource {
public:
    bool SizeOf(const char* name, PictureSize& size) const override {
        const auto found = sizes.find(name);
        if (found == sizes.end()) return false;
        size = found->second;
        return true;
    }
    std::map<std::string, PictureSize> sizes;
};

#endif
