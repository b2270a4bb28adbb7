// The table font and its bold variant selected into one device context for a run of drawing
// or measuring; the context's own font comes back when the run ends.
#ifndef LINTARO_GRID_TABLE_FONTS_WIN32_H
#define LINTARO_GRID_TABLE_FONTS_WIN32_H

#include <windows.h>

#include "render/font_record.h"

class TableFonts {
public:
    // Makes the plain table font for `dc` and selects it; Selected() tells whether it was made.
    TableFonts(HDC dc, const FontSpec& table_font);
    ~TableFonts();
    TableFonts(const TableFonts&) = delete;
    TableFonts& operator=(const TableFonts&) = delete;

    bool Selected() const { return plain_ != nullptr; }

    // The bold variant (made on first use; the same font when the table font is bold) or back.
    void SelectBold(bool bold);

private:
    HDC dc_;
    FontSpec font_;
    HFONT plain_ = nullptr;
    HFONT bold_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

#endif
