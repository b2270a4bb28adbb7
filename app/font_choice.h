// What the table font becomes after the user picked a font in the font chooser.
#ifndef LINTARO_APP_FONT_CHOICE_H
#define LINTARO_APP_FONT_CHOICE_H

#include "render/font_record.h"

// The chooser's answer taken into a copy of the current table font: the face name (cut to 31
// characters), the size in tenths of a point, the character set, and the style bits exactly
// kFontBold when the weight is 700 and 0 otherwise. The table font knows no italic, underline
// or strike-out from the chooser, and a semi-bold 600 or heavy 800 face is shown plain; stored
// layout files rely on the style being only 0 or 1. Fields the chooser has no say in are kept.
FontSpec ChosenTableFont(const FontSpec& current, const char* face_name, int size_tenths,
                         int weight, int char_set);

#endif
