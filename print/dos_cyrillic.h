// ToDosCyrillic: code page 1251 Cyrillic moved to the DOS code table for LPT1 and exports.
#ifndef LINTARO_PRINT_DOS_CYRILLIC_H
#define LINTARO_PRINT_DOS_CYRILLIC_H

#include <cstddef>

// Lowers every byte 0xC0-0xFF (А-Я and а-я in code page 1251) by 0x40, which puts the whole
// alphabet at 0x80-0xBF in order, capitals first, as the DOS printers and programs expect.
// Every other byte, ASCII and the separators included, stays. Converts in place; null or 0
// bytes do nothing.
void ToDosCyrillic(char* bytes, std::size_t length);
void ToDosCyrillic(unsigned char* bytes, std::size_t length);

#endif
