// The Unicode characters of code page 1251 bytes, for writers of text that is not 1251.
#ifndef LINTARO_RENDER_CODE_PAGE_1251_H
#define LINTARO_RENDER_CODE_PAGE_1251_H

#include <cstddef>
#include <string>

// The character a byte stands for; the one unassigned byte (0x98) is U+FFFD.
char32_t UnicodeOf1251(unsigned char byte);

// `count` bytes as UTF-8, control bytes (below 0x20) as spaces, as a cell shows them.
std::string Utf8Of1251(const char* text, std::size_t count);

#endif
