// Liberation faces through fontconfig, and per-character advances measured once per font.
#include "print/cairo_fonts_cairo.h"

#include <cmath>
#include <cstring>
#include <string>

#include "render/code_page_1251.h"
#include "render/text_layout.h"

namespace {

bool NameHas(const FontSpec& font, const char* word) {
    char name[sizeof font.face_name + 1] = {};
    std::memcpy(name, font.face_name, sizeof font.face_name);
    return std::strstr(name, word) != nullptr;
}

const char* FamilyOf(const FontSpec& font) {
    if (NameHas(font, "Times") || NameHas(font, "Roman") || (NameHas(font, "Serif") && !NameHas(font, "Sans"))) {
        return "Liberation Serif";
    }
    if (NameHas(font, "Courier") || NameHas(font, "Mono")) return "Liberation Mono";
    return "Liberation Sans";
}

}  // namespace

cairo_font_face_t* CreateTableFontFace(const FontSpec& font, bool bold) {
    const bool heavy = bold || (font.style & kFontBold);
    return cairo_toy_font_face_create(FamilyOf(font),
                                      (font.style & kFontItalic) ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                                      heavy ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
}

int TableFontEmPixels(const FontSpec& font, int pixels_per_inch_y) {
    const int height = LogicalFontHeight(font.size, pixels_per_inch_y);
    return height < 0 ? -height : height;
}

CairoMeasuringDevice::CairoMeasuringDevice(int pixels_per_inch_x, int pixels_per_inch_y)
    : pixels_per_inch_x_(pixels_per_inch_x), pixels_per_inch_y_(pixels_per_inch_y), meter_(*this) {
    ReleaseFont();
}

void CairoMeasuringDevice::Build(Variant& variant, const FontSpec& font, bool bold) const {
    variant = Variant{};
    const int em = TableFontEmPixels(font, pixels_per_inch_y_);
    cairo_font_face_t* face = CreateTableFontFace(font, bold);
    cairo_matrix_t font_matrix;
    cairo_matrix_t identity;
    cairo_matrix_init_scale(&font_matrix, em, em);
    cairo_matrix_init_identity(&identity);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_scaled_font_t* scaled = cairo_scaled_font_create(face, &font_matrix, &identity, options);
    if (cairo_scaled_font_status(scaled) == CAIRO_STATUS_SUCCESS) {
        cairo_font_extents_t extents;
        cairo_scaled_font_extents(scaled, &extents);
        variant.ascent = static_cast<int>(std::lround(extents.ascent));
        variant.height = variant.ascent + static_cast<int>(std::lround(extents.descent));
        for (int byte = 0; byte < 256; ++byte) {
            const char c = static_cast<char>(byte);
            const std::string utf8 = Utf8Of1251(&c, 1);
            cairo_text_extents_t text;
            cairo_scaled_font_text_extents(scaled, utf8.c_str(), &text);
            variant.advance[byte] = static_cast<int>(std::lround(text.x_advance));
        }
    }
    cairo_scaled_font_destroy(scaled);
    cairo_font_options_destroy(options);
    cairo_font_face_destroy(face);
}

bool CairoMeasuringDevice::SelectFont(const FontSpec& font) {
    font_ = font;
    Build(plain_, font_, false);
    bold_ready_ = false;
    use_bold_ = false;
    return plain_.height > 0;
}

void CairoMeasuringDevice::SelectBold(bool bold) {
    use_bold_ = bold && !(font_.style & kFontBold);
    if (use_bold_ && !bold_ready_) {
        Build(bold_, font_, true);
        bold_ready_ = true;
    }
}

void CairoMeasuringDevice::ReleaseFont() { SelectFont(FontSpec{}); }

int CairoMeasuringDevice::Ascent() const { return Current().ascent; }

const CairoMeasuringDevice::Variant& CairoMeasuringDevice::Current() const { return use_bold_ ? bold_ : plain_; }

TextExtent CairoMeasuringDevice::AdvanceMeter::Measure(const char* text, std::size_t count) const {
    const Variant& variant = device_.Current();
    int width = 0;
    for (std::size_t i = 0; i < count; ++i) width += variant.advance[static_cast<unsigned char>(text[i])];
    return TextExtent{width, variant.height};
}

int CairoMeasuringDevice::AdvanceMeter::FontHeight() const { return device_.Current().height; }
