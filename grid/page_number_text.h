// The text of a page number as screen, paper and character pages show it.
#ifndef LINTARO_GRID_PAGE_NUMBER_TEXT_H
#define LINTARO_GRID_PAGE_NUMBER_TEXT_H

#include <cstdint>

// Plain style: "- n -" for the centred positions, "n." otherwise. PageOfPages: "стр. n от m"
// (code page 1251) at every position. Returns the length written (the text is terminated).
int FormatPageNumberText(std::uint8_t position, std::uint8_t style, int page, int pages, char (&text)[48]);

#endif
