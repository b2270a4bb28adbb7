// Printer names as Windows' profile lists them, and how the program compares them.
#ifndef LINTARO_PRINT_PRINTER_NAMES_H
#define LINTARO_PRINT_PRINTER_NAMES_H

#include <cstddef>
#include <string>
#include <vector>

// The names of a profile key list: NUL-terminated names ended by an empty one. Names are read
// while they are non-empty and start within the first `size` bytes; one running past the end
// is cut there.
std::vector<std::string> ParseProfileKeyList(const char* block, std::size_t size);

// Printer names are equal when they differ at most in the case of the Latin letters a to z.
bool SamePrinterName(const char* first, const char* second);

#endif
