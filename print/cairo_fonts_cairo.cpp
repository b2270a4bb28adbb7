// Liberation faces through fontconfig for the table font's face names.
#include "print/cairo_fonts_cairo.h"

#include <cstring>

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
