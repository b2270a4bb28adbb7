// Portable MulDiv: a * b / c computed in 64 bits and rounded half away from zero, as Windows does.
#ifndef LINTARO_BASE_MUL_DIV_H
#define LINTARO_BASE_MUL_DIV_H

#include <cstdint>

// Unit conversions (hundredths of a millimetre, tenths of a point, device pixels) all go through
// this, so the core and the GDI front end round identically. Like Windows, a zero divisor or a
// result outside 32 bits gives -1.
inline std::int32_t MulDiv32(std::int32_t a, std::int32_t b, std::int32_t c) {
    if (c == 0) return -1;
    std::int64_t product = static_cast<std::int64_t>(a) * b;
    std::int64_t divisor = c;
    if (divisor < 0) {
        divisor = -divisor;
        product = -product;
    }
    const std::int64_t half = divisor / 2;
    const std::int64_t result = product >= 0 ? (product + half) / divisor : -((-product + half) / divisor);
    if (result > INT32_MAX || result < INT32_MIN) return -1;
    return static_cast<std::int32_t>(result);
}

#endif
