// The value of a plain decimal number, as strtod gives it, without strtod's cost for the
// short numbers tables are full of.
#ifndef LINTARO_GRID_DECIMAL_NUMBER_H
#define LINTARO_GRID_DECIMAL_NUMBER_H

#include <cstddef>

// `text` is `length` bytes of an optional "-" or "+", digits, an optional "." and digits, and
// an optional exponent ("e" or "E", optional sign, digits), and nothing else (a number's own
// bytes, as KeyNumber and ReadAmount find them). Returns exactly what strtod returns for it in
// the "C" locale: with at most 15 significant digits and a small exponent the value is one
// correctly rounded product or quotient of two exact doubles, else strtod itself is asked.
double DecimalValue(const char* text, std::size_t length);

#endif
