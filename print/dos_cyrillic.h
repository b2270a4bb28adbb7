// ToDosCyrillic: code page 1251 text moved to the DOS code table (MIK) for LPT1 and exports.
#ifndef LINTARO_PRINT_DOS_CYRILLIC_H
#define LINTARO_PRINT_DOS_CYRILLIC_H

#include <cstddef>

// Lowers every letter 0xC0-0xFF (А-Я and а-я in code page 1251) by 0x40, which puts the whole
// alphabet at 0x80-0xBF in order, capitals first, as the DOS printers and programs expect. The
// other bytes from 0x80 to 0xBF ("№", quotes, dashes, Ё, the no-break space, ...) would land on
// DOS letters unchanged, so they become their DOS equivalent where the table has one and a
// one-byte ASCII look-alike otherwise. ASCII stays; the length never changes. Converts in
// place; null or 0 bytes do nothing.
void ToDosCyrillic(char* bytes, std::size_t length);
void ToDosCyrillic(unsigned char* bytes, std::size_t length);

// The DOS byte for one code page 1251 byte.
unsigned char DosCyrillicByte(unsigned char byte);

#endif
