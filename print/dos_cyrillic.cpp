// ToDosCyrillic: the byte-for-byte move of code page 1251 letters to the DOS code table.
#include "print/dos_cyrillic.h"

void ToDosCyrillic(unsigned char* bytes, std::size_t length) {
    if (bytes == nullptr) return;
    for (std::size_t i = 0; i < length; ++i) {
        if (bytes[i] >= 0xC0) bytes[i] = static_cast<unsigned char>(bytes[i] - 0x40);
    }
}

void ToDosCyrillic(char* bytes, std::size_t length) {
    ToDosCyrillic(reinterpret_cast<unsigned char*>(bytes), length);
}
