// Creating, selecting and releasing the table font pair on one device context.
#include "grid/table_fonts_win32.h"

#include "render/text_draw_win32.h"

TableFonts::TableFonts(HDC dc, const FontSpec& table_font) : dc_(dc), font_(table_font) {
    const LOGFONTA description = MakeFont(dc_, font_);
    plain_ = CreateFontIndirectA(&description);
    if (plain_ != nullptr) previous_ = SelectObject(dc_, plain_);
}

TableFonts::~TableFonts() {
    if (previous_ != nullptr) SelectObject(dc_, previous_);
    if (plain_ != nullptr) DeleteObject(plain_);
    if (bold_ != nullptr) DeleteObject(bold_);
}

void TableFonts::SelectBold(bool bold) {
    if (plain_ == nullptr) return;
    if (!bold || (font_.style & kFontBold)) {
        SelectObject(dc_, plain_);
        return;
    }
    if (bold_ == nullptr) {
        FontSpec variant = font_;
        variant.style |= kFontBold;
        const LOGFONTA description = MakeFont(dc_, variant);
        bold_ = CreateFontIndirectA(&description);
    }
    SelectObject(dc_, bold_ != nullptr ? bold_ : plain_);
}
