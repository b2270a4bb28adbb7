// ToDosCyrillic: the byte-for-byte move of code page 1251 text to the DOS code table.
#include "print/dos_cyrillic.h"

namespace {

// Code page 1251 bytes 0x80-0xBF in DOS: the DOS character where there is one (no-break space,
// "§", "°", "±", "µ", "·", "№"), otherwise an ASCII character that looks alike.
constexpr unsigned char kSymbols[64] = {
    'D',  'G',  ',',  'g',  '"',  '.',  '+',  '+',  'E',  '%',  'L',  '<',  'N',  'K',  'C',  'D',   // 80
    'd',  '\'', '\'', '"',  '"',  '*',  '-',  '-',  '?',  'T',  'l',  '>',  'n',  'k',  'c',  'd',   // 90
    0xFF, 'U',  'u',  'J',  '*',  'G',  '|',  0xD6, 'E',  'C',  'E',  '"',  '-',  '-',  'R',  'I',   // A0
    0xF8, 0xF1, 'I',  'i',  'g',  0xE6, 'P',  0xFA, 'e',  0xD5, 'e',  '"',  'j',  'S',  's',  'i',   // B0
};

}  // namespace

unsigned char DosCyrillicByte(unsigned char byte) {
    if (byte >= 0xC0) return static_cast<unsigned char>(byte - 0x40);
    if (byte >= 0x80) return kSymbols[byte - 0x80];
    return byte;
}

void ToDosCyrillic(unsigned char* bytes, std::size_t length) {
    if (bytes == nullptr) return;
    for (std::size_t i = 0; i < length; ++i) bytes[i] = DosCyrillicByte(bytes[i]);
}

void ToDosCyrillic(char* bytes, std::size_t length) {
    ToDosCyrillic(reinterpret_cast<unsigned char*>(bytes), length);
}
