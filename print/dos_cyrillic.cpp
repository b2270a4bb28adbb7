// ToDosCyrillic: the byte-for-byte move of code page 1251 text to the DOS code table.
#include "print/dos_cyrillic.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Code page 1251 bytes 0x80-0xBF in DOS: the DOS character where there is one (no-break space,
// "§", "°", "±", "µ", "·", "№"), otherwise an ASCII character that looks alike.
constexpr unsigned char kSymbols[64] = {
    'D',  'G',  ',',  'g',  '"',  '.',  '+',  '+',  'E',  '%',  'L',  '<',  'N',  'K',  'C',  'D',   // 80
    'd',  '\'', '\'', '"',  '"',  '*',  '-',  '-',  '?',  'T',  'l',  '>',  'n',  'k',  'c',  'd',   // 90
    0xFF, 'U',  'u',  'J',  '*',  'G',  '|',  0xD6, 'E',  'C',  'E',  '"',  '-',  '-',  'R',  'I',   // A0
    0xF8, 0xF1, 'I',  'i',  'g',  0xE6, 'P',  0xFA, 'e',  0xD5, 'e',  '"',  'j',  'S',  's',  'i',   // B0
};

constexpr unsigned char DosByte(unsigned char byte) {
    if (byte >= 0xC0) return static_cast<unsigned char>(byte - 0x40);
    if (byte >= 0x80) return kSymbols[byte - 0x80];
    return byte;
}

// Every byte's DOS byte, looked up: a printed table is mostly rules and spaces, and a page run
// of a big table converts hundreds of megabytes.
struct DosBytes {
    unsigned char of[256];
    constexpr DosBytes() : of() {
        for (int byte = 0; byte < 256; ++byte) of[byte] = DosByte(static_cast<unsigned char>(byte));
    }
};
constexpr DosBytes kDosBytes;

}  // namespace

unsigned char DosCyrillicByte(unsigned char byte) {
    return DosByte(byte);
}

void ToDosCyrillic(unsigned char* bytes, std::size_t length) {
    if (bytes == nullptr) return;
    std::size_t i = 0;
    while (i < length) {
        // Eight ASCII bytes at a time stay as they are.
        std::uint64_t eight = 0;
        if (length - i >= sizeof eight) {
            std::memcpy(&eight, bytes + i, sizeof eight);
            if ((eight & 0x8080808080808080ULL) == 0) {
                i += sizeof eight;
                continue;
            }
        }
        const std::size_t end = std::min(length, i + sizeof eight);
        for (; i < end; ++i) bytes[i] = kDosBytes.of[bytes[i]];
    }
}

void ToDosCyrillic(char* bytes, std::size_t length) {
    ToDosCyrillic(reinterpret_cast<unsigned char*>(bytes), length);
}
