// Decimal numbers to doubles: the exact fast case by arithmetic, the rest by strtod.
#include "grid/decimal_number.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Powers of ten that a double holds exactly.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMostExactPower = 22;
constexpr int kMostFastDigits = 15;  // below 2^53: the digits are an exact double

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

double SlowValue(const char* text, std::size_t length) {
    char small[64];
    if (length < sizeof small) {
        std::memcpy(small, text, length);
        small[length] = '\0';
        return std::strtod(small, nullptr);
    }
    const std::string copy(text, length);
    return std::strtod(copy.c_str(), nullptr);
}

}  // namespace

double DecimalValue(const char* text, std::size_t length) {
    std::size_t at = 0;
    const bool negative = at < length && text[at] == '-';
    if (at < length && (text[at] == '-' || text[at] == '+')) ++at;
    std::uint64_t digits = 0;
    int significant = 0;
    int scale = 0;  // the value is digits * 10^scale
    bool point = false;
    for (; at < length; ++at) {
        const char c = text[at];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (!IsDigit(c)) break;
        if (significant == 0 && c == '0') {
            if (point) --scale;
            continue;
        }
        if (++significant > kMostFastDigits) return SlowValue(text, length);
        digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
        if (point) --scale;
    }
    if (at < length) {
        // An exponent: small ones join the scale, the rest go to strtod.
        if (text[at] != 'e' && text[at] != 'E') return SlowValue(text, length);
        ++at;
        bool exponent_negative = false;
        if (at < length && (text[at] == '-' || text[at] == '+')) exponent_negative = text[at++] == '-';
        int exponent = 0;
        for (; at < length; ++at) {
            if (!IsDigit(text[at]) || exponent > 1000) return SlowValue(text, length);
            exponent = exponent * 10 + (text[at] - '0');
        }
        scale += exponent_negative ? -exponent : exponent;
    }
    double value = static_cast<double>(digits);
    if (digits != 0) {
        if (scale < -kMostExactPower || scale > kMostExactPower) return SlowValue(text, length);
        value = scale < 0 ? value / kExactPowers[-scale] : value * kExactPowers[scale];
    }
    return negative ? -value : value;
}
