// Text and number rules shared by the dialogs (no window system here).
#include "dialogs/dialog_helpers.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

const char kMessageTitle[] = "Lintaro 2.0";

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Wraps like the 32-bit integers the fields are stored in, without signed overflow.
std::int32_t ToInt32(std::uint32_t bits) {
    return static_cast<std::int32_t>(bits);
}

}  // namespace

std::size_t TrimText(char* text) {
    if (text == nullptr) return 0;
    std::size_t length = std::strlen(text);
    // strlen stops at the first NUL, so only the bytes 0x01-0x20 can remain at the end.
    while (length > 0 && IsBlank(text[length - 1])) --length;
    text[length] = '\0';
    std::size_t start = 0;
    while (start < length && IsBlank(text[start])) ++start;
    if (start > 0) std::memmove(text, text + start, length - start + 1);
    return length - start;
}

namespace {

// Sign and digits as the decimal conversion reads them: the low 32 bits of the magnitude, and
// whether the signed number fits 32 bits.
struct DecimalReading {
    bool negative = false;
    std::uint32_t low_bits = 0;
    bool fits = true;
};

DecimalReading ReadDecimal(const char* text) {
    DecimalReading reading;
    if (text == nullptr) return reading;
    while (*text != '\0' && IsBlank(*text)) ++text;
    if (*text == '-' || *text == '+') {
        reading.negative = *text == '-';
        ++text;
    }
    const std::uint64_t limit = reading.negative ? 2147483648u : 2147483647u;
    std::uint64_t magnitude = 0;
    for (; IsDigit(*text); ++text) {
        const auto digit = static_cast<std::uint32_t>(*text - '0');
        reading.low_bits = reading.low_bits * 10u + digit;
        // Counting stops past the limit: the text may be longer than any 64-bit number.
        if (reading.fits) magnitude = magnitude * 10u + digit;
        if (magnitude > limit) reading.fits = false;
    }
    return reading;
}

// The digits after a point as hundredths: "5" is 50, "35" is 35, "356" is 35; none is 0.
std::uint32_t FractionHundredths(const char* digits) {
    if (!IsDigit(digits[0])) return 0;
    std::uint32_t fraction = static_cast<std::uint32_t>(digits[0] - '0') * 10u;
    if (IsDigit(digits[1])) fraction += static_cast<std::uint32_t>(digits[1] - '0');
    return fraction;
}

}  // namespace

std::int32_t DecimalValue(const char* text) {
    const DecimalReading reading = ReadDecimal(text);
    return ToInt32(reading.negative ? 0u - reading.low_bits : reading.low_bits);
}

bool DecimalFieldValue(const char* text, std::int32_t& value) {
    if (!ReadDecimal(text).fits) return false;
    value = DecimalValue(text);
    return true;
}

bool IsNegativeNumberText(const char* text) {
    const DecimalReading reading = ReadDecimal(text);
    return reading.negative && (reading.low_bits != 0 || !reading.fits);
}

std::int32_t HundredthsFromText(char* text) {
    if (text == nullptr) return 0;
    TrimText(text);
    char* point = std::strchr(text, '.');
    if (point == nullptr) {
        return ToInt32(static_cast<std::uint32_t>(DecimalValue(text)) * 100u);
    }
    *point = '\0';
    const std::uint32_t whole = static_cast<std::uint32_t>(DecimalValue(text)) * 100u;
    const bool negative = ReadDecimal(text).negative;
    *point = '.';
    const std::uint32_t fraction = FractionHundredths(point + 1);
    return ToInt32(negative ? whole - fraction : whole + fraction);
}

bool HundredthsFieldValue(char* text, std::int32_t& value) {
    if (text == nullptr) {
        value = 0;
        return true;
    }
    TrimText(text);
    char* point = std::strchr(text, '.');
    if (point != nullptr) *point = '\0';
    const DecimalReading whole = ReadDecimal(text);
    if (point != nullptr) *point = '.';
    if (!whole.fits) return false;
    const std::int64_t magnitude = static_cast<std::int64_t>(whole.low_bits) * 100 +
                                   (point != nullptr ? FractionHundredths(point + 1) : 0);
    const std::int64_t hundredths = whole.negative ? -magnitude : magnitude;
    if (hundredths < INT32_MIN || hundredths > INT32_MAX) return false;
    value = static_cast<std::int32_t>(hundredths);
    return true;
}

std::string HundredthsText(std::int32_t value) {
    if (value == 0) return std::string();
    // The sign goes before the whole number alone: -150 is "-1.50", not "-1.-50".
    const std::int64_t magnitude = value < 0 ? -static_cast<std::int64_t>(value) : value;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s%lld.%02lld", value < 0 ? "-" : "",
                  static_cast<long long>(magnitude / 100), static_cast<long long>(magnitude % 100));
    return buffer;
}

std::string IntegerText(std::int32_t value) {
    if (value == 0) return std::string();
    return std::to_string(value);
}

std::string JoinMessageLines(const char* line1, const char* line2, const char* line3,
                             const char* line4, const char* line5) {
    std::string text = line1 != nullptr ? line1 : "";
    for (const char* line : {line2, line3, line4, line5}) {
        if (line == nullptr) continue;
        text += "\r\n";
        text += line;
    }
    if (text.size() > kMessageTextCapacity - 1) text.resize(kMessageTextCapacity - 1);
    return text;
}

int OptionCount(const OptionEntry* table) {
    int count = 0;
    if (table == nullptr) return 0;
    while (table[count].text != nullptr) ++count;
    return count;
}

int OptionIndexOfKey(const OptionEntry* table, std::int32_t key) {
    int found = -1;
    const int count = OptionCount(table);
    for (int i = 0; i < count; ++i) {
        if (table[i].key == key) found = i;
    }
    return found;
}

int NumberIndexOfValue(int count, int first, int step, int selected) {
    int found = -1;
    for (int i = 0; i < count; ++i) {
        if (first + step * i == selected) found = i;
    }
    return found;
}

int DropDownExtraHeight(int item_count, int text_height) {
    const int shown = item_count < 1 ? 1 : item_count;
    return shown <= 10 ? text_height * (shown + 1) : text_height * 11;
}

void FilterBarsToNuls(char* filter) {
    if (filter == nullptr) return;
    const std::size_t length = std::strlen(filter);  // before the first bar becomes a NUL
    for (std::size_t i = 0; i < length; ++i) {
        if (filter[i] == '|') filter[i] = '\0';
    }
}
