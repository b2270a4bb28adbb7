// The table font as cairo draws it: the Liberation face that stands for the font's face name (the
// same faces Wine gives the program for Arial, Times New Roman and Courier New) at its size.
#ifndef LINTARO_PRINT_CAIRO_FONTS_CAIRO_H
#define LINTARO_PRINT_CAIRO_FONTS_CAIRO_H

#include <cairo.h>

#include "render/font_record.h"

// A new reference to the face of `font` (its bold variant when `bold`); the caller destroys it.
// Faces with "Times" or "Roman" in the name are the serif face, "Courier" or "Mono" the
// monospaced one, everything else the sans-serif face.
cairo_font_face_t* CreateTableFontFace(const FontSpec& font, bool bold);

// The font's em height in pixels of a device with `pixels_per_inch_y`: the character height
// that a negative LOGFONT height asks for.
int TableFontEmPixels(const FontSpec& font, int pixels_per_inch_y);

#endif
