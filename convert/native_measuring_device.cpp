// Table font metrics from FreeType, rounded as Wine's GDI rounds them.
#include "convert/native_measuring_device.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <array>
#include <cstdint>
#include <cstring>

#include "base/mul_div.h"

namespace {

// Code page 1251 bytes 0x80 .. 0xFF as Unicode; 0 where the code page has no character (the
// font's missing-glyph box is measured, as under Wine). Bytes below 0x80 are themselves.
constexpr std::uint16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

bool SameFace(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        const char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a + 32) : *a;
        const char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b + 32) : *b;
        if (x != y) return false;
    }
    return *a == *b;
}

// The face name up to its terminator within the 32-byte field.
std::string FaceName(const FontSpec& font) {
    const void* end = std::memchr(font.face_name, '\0', sizeof font.face_name);
    const std::size_t length = end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - font.face_name)
                                              : sizeof font.face_name;
    return std::string(font.face_name, length);
}

// The pixel size Wine asks FreeType for: the font height the program gives (MulDiv rounding).
int PixelSize(const FontSpec& font, int pixels_per_inch) {
    const std::int32_t size = MulDiv32(font.size, pixels_per_inch, 720);
    return size < 0 ? -size : size;
}

// Wine's bitmap "MS Sans Serif" on a 96-dpi display: cells of 13, 16 and 20 pixels.
int BitmapSansSerifHeight(int pixel_size) {
    if (pixel_size < 13) return 13;
    if (pixel_size < 16) return 16;
    return 20;
}

FT_Library Library() {
    // Made once and kept for the process: fonts may be opened at any time.
    static FT_Library library = [] {
        FT_Library made = nullptr;
        return FT_Init_FreeType(&made) == 0 ? made : nullptr;
    }();
    return library;
}

}  // namespace

std::string NativeFontFile(const std::string& folder, const char* face_name, bool bold, bool italic) {
    const char* family = "LiberationSans";
    if (SameFace(face_name, "Times New Roman") || SameFace(face_name, "Liberation Serif")) {
        family = "LiberationSerif";
    } else if (SameFace(face_name, "Courier New") || SameFace(face_name, "Liberation Mono")) {
        family = "LiberationMono";
    }
    const char* variant = bold ? (italic ? "-BoldItalic" : "-Bold") : (italic ? "-Italic" : "-Regular");
    return folder + "/" + family + variant + ".ttf";
}

class NativeFont {
public:
    // Null when the file cannot be read as a font.
    static std::unique_ptr<NativeFont> Open(const std::string& file, int pixel_size) {
        FT_Library library = Library();
        FT_Face face = nullptr;
        if (library == nullptr || FT_New_Face(library, file.c_str(), 0, &face) != 0) return nullptr;
        std::unique_ptr<NativeFont> font(new NativeFont(face));
        if (pixel_size == 0 || FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixel_size)) != 0) {
            font->advance_.fill(0);  // nothing to measure: every text is 0 wide and high
            return font;
        }
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        const FT_Fixed y_scale = face->size->metrics.y_scale;
        const long ascent = os2 != nullptr ? (FT_MulFix(os2->usWinAscent, y_scale) + 32) >> 6
                                           : face->size->metrics.ascender >> 6;
        const long descent = os2 != nullptr ? (FT_MulFix(os2->usWinDescent, y_scale) + 32) >> 6
                                            : -(face->size->metrics.descender >> 6);
        font->height_ = static_cast<int>(ascent + descent);
        return font;
    }
    ~NativeFont() { FT_Done_Face(face_); }
    NativeFont(const NativeFont&) = delete;
    NativeFont& operator=(const NativeFont&) = delete;

    int Height() const { return height_; }
    void SetHeight(int height) { height_ = height; }

    int Advance(unsigned char byte) const {
        int& advance = advance_[byte];
        if (advance < 0) {
            const FT_ULong code = byte < 0x80 ? static_cast<FT_ULong>(byte) : kCp1251High[byte - 0x80];
            const FT_UInt glyph = FT_Get_Char_Index(face_, code);
            advance = FT_Load_Glyph(face_, glyph, FT_LOAD_DEFAULT) == 0
                          ? static_cast<int>((face_->glyph->metrics.horiAdvance + 63) >> 6)
                          : 0;
        }
        return advance;
    }

    // Every byte's advance, each glyph loaded once: a text's width is the sum of its bytes'.
    const int* Advances() const {
        if (!all_loaded_) {
            for (int byte = 0; byte < 256; ++byte) Advance(static_cast<unsigned char>(byte));
            all_loaded_ = true;
        }
        return advance_.data();
    }

private:
    explicit NativeFont(FT_Face face) : face_(face) { advance_.fill(-1); }

    FT_Face face_;
    int height_ = 0;
    mutable std::array<int, 256> advance_{};
    mutable bool all_loaded_ = false;
};

// Sums the byte widths of one variant; the font height for every piece of text. Like the GDI
// device's meter, a meter answers for the variant that was chosen when Meter() gave it out, even
// after SelectBold switches: a caller holding the plain meter keeps measuring plain text.
class NativeMeasuringDevice::FontMeter : public TextMeter {
public:
    FontMeter(const NativeMeasuringDevice& device, bool bold) : device_(device), bold_(bold) {}
    TextExtent Measure(const char* text, std::size_t count) const override {
        const NativeFont* font = Current();
        if (font == nullptr) return TextExtent{0, 0};
        std::int64_t width = 0;
        if (text != nullptr) {
            const int* advances = font->Advances();
            for (std::size_t i = 0; i < count; ++i) width += advances[static_cast<unsigned char>(text[i])];
        }
        return TextExtent{width > INT32_MAX ? INT32_MAX : static_cast<int>(width), font->Height()};
    }
    // The grid adds these up itself when it measures every cell.
    const int* ByteAdvances() const override {
        const NativeFont* font = Current();
        return font != nullptr ? font->Advances() : nullptr;
    }
    int FontHeight() const override {
        const NativeFont* font = Current();
        return font != nullptr ? font->Height() : 0;
    }
    int PixelsPerInchX() const override { return device_.pixels_per_inch_; }
    int PixelsPerInchY() const override { return device_.pixels_per_inch_; }

private:
    const NativeFont* Current() const {
        return bold_ && device_.bold_ != nullptr ? device_.bold_ : device_.plain_;
    }
    const NativeMeasuringDevice& device_;
    bool bold_;
};

NativeMeasuringDevice::NativeMeasuringDevice(int pixels_per_inch, bool display, std::string font_folder)
    : pixels_per_inch_(pixels_per_inch), display_(display), font_folder_(std::move(font_folder)),
      plain_meter_(std::make_unique<FontMeter>(*this, false)),
      bold_meter_(std::make_unique<FontMeter>(*this, true)) {
    // Outside a run the device's own font is measured: the program's default table font.
    plain_ = Font(FontSpec{});
}

NativeMeasuringDevice::~NativeMeasuringDevice() = default;

const NativeFont* NativeMeasuringDevice::Font(const FontSpec& font) {
    const std::string face_name = FaceName(font);
    const int pixel_size = PixelSize(font, pixels_per_inch_);
    const std::string file = NativeFontFile(font_folder_, face_name.c_str(), (font.style & kFontBold) != 0,
                                            (font.style & kFontItalic) != 0);
    const std::string key = file + "@" + std::to_string(pixel_size) + "/" + face_name;
    auto found = cache_.find(key);
    if (found != cache_.end()) return found->second.get();
    std::unique_ptr<NativeFont> opened = NativeFont::Open(file, pixel_size);
    if (opened != nullptr && display_ && SameFace(face_name.c_str(), "MS Sans Serif")) {
        opened->SetHeight(BitmapSansSerifHeight(pixel_size));
    }
    const NativeFont* result = opened.get();
    cache_[key] = std::move(opened);
    return result;
}

bool NativeMeasuringDevice::SelectFont(const FontSpec& font) {
    ReleaseFont();
    const NativeFont* opened = Font(font);
    if (opened == nullptr) return false;
    font_ = font;
    selected_ = true;
    plain_ = opened;
    return true;
}

void NativeMeasuringDevice::SelectBold(bool bold) {
    if (!selected_) return;
    bold_chosen_ = bold;
    if (bold && bold_ == nullptr) {
        FontSpec bold_font = font_;
        bold_font.style |= kFontBold;
        bold_ = Font(bold_font);
    }
}

void NativeMeasuringDevice::ReleaseFont() {
    selected_ = false;
    bold_ = nullptr;
    bold_chosen_ = false;
    plain_ = Font(FontSpec{});
}

const TextMeter& NativeMeasuringDevice::Meter() const {
    return bold_chosen_ ? *bold_meter_ : *plain_meter_;
}
