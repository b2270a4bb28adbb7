// The table font taken from the font chooser's answer.
#include "app/font_choice.h"

#include <cstring>

FontSpec ChosenTableFont(const FontSpec& current, const char* face_name, int size_tenths,
                         int weight, int char_set) {
    FontSpec font = current;
    std::memset(font.face_name, 0, sizeof font.face_name);
    if (face_name != nullptr) std::strncpy(font.face_name, face_name, sizeof font.face_name - 1);
    font.size = size_tenths;
    font.style = weight == 700 ? static_cast<std::uint32_t>(kFontBold) : 0u;
    font.char_set = static_cast<std::uint32_t>(char_set) & 0xFFu;
    return font;
}
