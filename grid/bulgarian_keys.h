// Key texts read the way a Bulgarian reader reads them: alphabetical order, amounts written
// "1 234,56" and dates written "12.03.2024". Code page 1251 bytes in, comparable values out.
#ifndef LINTARO_GRID_BULGARIAN_KEYS_H
#define LINTARO_GRID_BULGARIAN_KEYS_H

#include <cstddef>
#include <cstdint>
#include <string>

// Appends to `out` the collation key of `text` (`length` bytes, code page 1251): two keys
// compared byte by byte, unsigned, the shorter first when one is the start of the other, give
// the dictionary order ("Азбучно"). An empty text gives an empty key; any other text a
// non-empty one.
//
// First level, the letters and numbers, case ignored (а = А, Ё = ё):
//   runs of digits, compared as numbers ("9" before "10"; leading zeros do not count), then
//   the Latin letters a-z, then the Cyrillic letters in this order:
//     а б в г ґ ѓ д ђ е ё є ж з ѕ и і ї й ј к л љ м н њ о п р с т ћ ќ у ў ф х ц ч џ ш щ ъ ы ь э ю я
//   that is the Bulgarian alphabet, with each other letter of the code page right after the
//   letter it is read as or follows in its own alphabet (Ukrainian ґ є і ї, Belarusian ў,
//   Serbian and Macedonian ђ ѓ ѕ ј љ њ ћ ќ џ, Russian ё ы э; ы and э stand where the Russian
//   alphabet has them, between ъ and ю).
// Every other byte (blanks, no-break space, punctuation, symbols, control bytes, µ) is left
// out of the first level, so a text of nothing but such bytes comes before every text with a
// letter or digit.
// Second level, only when the first is equal: the left-out bytes, each with the number of
// letters and digits before it since the previous one ("ab" before "a b" before "a-b").
// Texts equal on both levels ("Анна" and "анна", "7" and "07") are equal: a stable sort keeps
// their order.
void AppendAlphabeticalKey(const char* text, std::size_t length, std::string& out);

// Reads an amount written the Bulgarian way, "-1 234,56 лв.": the number starts at the first
// digit; a "-" as the last byte before it that is not a blank makes it negative; digit groups
// may be parted by one blank, no-break space, "." or ","; the last "," is the decimal mark,
// or without any comma a single "." is ("1234.56"; "1.234.567" is groups); text around the
// number is ignored; ",5" at the start of a word is 0.5. False, and `value` 0, when the text
// holds no digit.
bool ReadAmount(const char* text, std::size_t length, double& value);

// The most decimals an exact amount keeps; further digits are rounded, half away from zero.
constexpr int kMostExactDecimals = 6;

// An amount read exactly: `units` in steps of 10^-decimals, and how the text wrote it.
struct ExactAmount {
    std::int64_t units = 0;
    std::uint8_t decimals = 0;  // fraction digits written, at most kMostExactDecimals
    bool comma_mark = false;    // the decimal mark was ","
    bool dot_mark = false;      // the decimal mark was "."
    bool grouped = false;       // the whole part was parted into groups
    int whole_digits = 0;       // digits of the whole part, leading zeros not counted
};

enum class ExactAmountResult { Number, NoNumber, TooLarge };

// Reads the amount ReadAmount reads, from the same texts, exactly: NoNumber where ReadAmount
// is false; TooLarge when the units pass 64 bits.
ExactAmountResult ReadExactAmount(const char* text, std::size_t length, ExactAmount& amount);

// Reads a date "d.m.yyyy", "dd.mm.yyyy" or "yyyy-mm-dd", with blanks around it and an
// optional "г." after it (or "г", "Г."). A two-digit year is 20yy up to
// `current_year`, else 19yy. `day_number` is year * 10000 + month * 100 + day, so that later
// dates give larger numbers. False for anything else, and for a day that the month does not
// have (31.02.2024, 29.02.2023, 0.0.0).
bool ReadDate(const char* text, std::size_t length, int current_year, long& day_number);

// The year of the computer's local clock, for callers that do not pass a year of their own.
int ClockYear();

#endif
