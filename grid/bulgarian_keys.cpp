// Alphabetical collation keys, amounts and dates read from code page 1251 key texts.
#include "grid/bulgarian_keys.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <climits>

#include "grid/decimal_number.h"

namespace {

// First-level weights. A digit run starts with kDigitRun; letters weigh from kFirstLatin and
// kFirstCyrillic up. The end of the first level is kLevelEnd, below every weight, so that a
// text whose letters are the start of another's comes first.
constexpr unsigned char kLevelEnd = 0x01;
constexpr unsigned char kDigitRun = 0x10;
constexpr unsigned char kFirstLatin = 0x20;
constexpr unsigned char kFirstCyrillic = 0x40;
constexpr unsigned char kIgnored = 0;

// The Cyrillic letters of code page 1251 in collation order, small and capital byte of each:
// а б в г ґ ѓ д ђ е ё є ж з ѕ и і ї й ј к л љ м н њ о п р с т ћ ќ у ў ф х ц ч џ ш щ ъ ы ь э ю я
constexpr unsigned char kCyrillicOrder[][2] = {
    {0xE0, 0xC0}, {0xE1, 0xC1}, {0xE2, 0xC2}, {0xE3, 0xC3}, {0xB4, 0xA5}, {0x83, 0x81},
    {0xE4, 0xC4}, {0x90, 0x80}, {0xE5, 0xC5}, {0xB8, 0xA8}, {0xBA, 0xAA}, {0xE6, 0xC6},
    {0xE7, 0xC7}, {0xBE, 0xBD}, {0xE8, 0xC8}, {0xB3, 0xB2}, {0xBF, 0xAF}, {0xE9, 0xC9},
    {0xBC, 0xA3}, {0xEA, 0xCA}, {0xEB, 0xCB}, {0x9A, 0x8A}, {0xEC, 0xCC}, {0xED, 0xCD},
    {0x9C, 0x8C}, {0xEE, 0xCE}, {0xEF, 0xCF}, {0xF0, 0xD0}, {0xF1, 0xD1}, {0xF2, 0xD2},
    {0x9E, 0x8E}, {0x9D, 0x8D}, {0xF3, 0xD3}, {0xA2, 0xA1}, {0xF4, 0xD4}, {0xF5, 0xD5},
    {0xF6, 0xD6}, {0xF7, 0xD7}, {0x9F, 0x8F}, {0xF8, 0xD8}, {0xF9, 0xD9}, {0xFA, 0xDA},
    {0xFB, 0xDB}, {0xFC, 0xDC}, {0xFD, 0xDD}, {0xFE, 0xDE}, {0xFF, 0xDF},
};

constexpr std::array<unsigned char, 256> MakeLetterWeights() {
    std::array<unsigned char, 256> weights{};
    for (int c = 'a'; c <= 'z'; ++c) {
        weights[static_cast<std::size_t>(c)] = static_cast<unsigned char>(kFirstLatin + (c - 'a'));
        weights[static_cast<std::size_t>(c - 'a' + 'A')] = static_cast<unsigned char>(kFirstLatin + (c - 'a'));
    }
    unsigned char weight = kFirstCyrillic;
    for (const auto& letter : kCyrillicOrder) {
        weights[letter[0]] = weight;
        weights[letter[1]] = weight;
        ++weight;
    }
    return weights;
}

constexpr std::array<unsigned char, 256> kLetterWeights = MakeLetterWeights();

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsBlank(unsigned char c) { return c == ' ' || c == 0xA0 || (c >= '\t' && c <= '\r'); }
bool IsGroupMark(unsigned char c) { return c == ' ' || c == 0xA0 || c == '.' || c == ','; }

}  // namespace

void AppendAlphabeticalKey(const char* text, std::size_t length, std::string& out) {
    if (length == 0) return;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    // The first level in one pass, the left-out bytes in a second: nothing is allocated
    // beyond what `out` grows by.
    for (std::size_t i = 0; i < length;) {
        const unsigned char c = bytes[i];
        if (IsDigit(c)) {
            std::size_t start = i;
            while (i < length && IsDigit(bytes[i])) ++i;
            while (start < i && bytes[start] == '0') ++start;  // leading zeros do not count
            const std::size_t digits = i - start;
            const std::size_t counted = digits > 0xFFFF ? 0xFFFF : digits;
            out.push_back(static_cast<char>(kDigitRun));
            out.push_back(static_cast<char>(counted >> 8));
            out.push_back(static_cast<char>(counted & 0xFF));
            out.append(text + start, counted);
            continue;
        }
        if (kLetterWeights[c] != kIgnored) out.push_back(static_cast<char>(kLetterWeights[c]));
        ++i;
    }
    out.push_back(static_cast<char>(kLevelEnd));
    unsigned char since_last = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = bytes[i];
        if (IsDigit(c) || kLetterWeights[c] != kIgnored) {
            if (since_last < 0xFF) ++since_last;
            continue;
        }
        out.push_back(static_cast<char>(since_last));
        out.push_back(static_cast<char>(c));
        since_last = 0;
    }
}

namespace {

// Where the amount in a text lies: its digits and group marks run over [first, end), the
// decimal mark (if any) stands at `point` (end or beyond when there is none). One reading for
// the sort's double and the sums' exact units, so both accept the same texts.
struct AmountSpan {
    std::size_t first = 0;
    std::size_t end = 0;
    std::size_t point = 0;
    bool negative = false;
};

bool FindAmount(const unsigned char* bytes, std::size_t length, AmountSpan& span) {
    std::size_t first = 0;
    while (first < length && !IsDigit(bytes[first])) ++first;
    if (first == length) return false;
    // ",5" and "-.5" are halves: a decimal mark before the first digit starts a fraction when
    // it starts a word ("бр.5" is 5).
    const bool leading_point = first > 0 && (bytes[first - 1] == ',' || bytes[first - 1] == '.') &&
                               (first == 1 || IsBlank(bytes[first - 2]) || bytes[first - 2] == '-');
    std::size_t before = leading_point ? first - 1 : first;
    while (before > 0 && IsBlank(bytes[before - 1])) --before;
    span.negative = before > 0 && bytes[before - 1] == '-';

    // The number runs on over digits and single group marks that a digit follows.
    std::size_t end = first;
    std::size_t last_comma = length;
    int dots = 0;
    std::size_t last_dot = length;
    while (end < length) {
        if (IsDigit(bytes[end])) {
            ++end;
        } else if (IsGroupMark(bytes[end]) && end + 1 < length && IsDigit(bytes[end + 1])) {
            if (bytes[end] == ',') last_comma = end;
            if (bytes[end] == '.') ++dots, last_dot = end;
            ++end;
        } else {
            break;
        }
    }
    std::size_t point = last_comma != length ? last_comma : (dots == 1 ? last_dot : length);
    if (leading_point) point = first - 1;
    if (leading_point) first = point;
    span.first = first;
    span.end = end;
    span.point = point;
    return true;
}

}  // namespace

bool ReadAmount(const char* text, std::size_t length, double& value) {
    value = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    AmountSpan span;
    if (!FindAmount(bytes, length, span)) return false;
    const std::size_t first = span.first;
    const std::size_t end = span.end;
    const std::size_t point = span.point;
    const bool negative = span.negative;

    // The digits go to strtod as "-ddd.ddd": whole part without its leading zeros (beyond 400
    // digits the value is past any double anyway), the fraction to 40 digits.
    constexpr std::size_t kMostWholeDigits = 400;
    constexpr std::size_t kMostFractionDigits = 40;
    char number[1 + kMostWholeDigits + 1 + kMostFractionDigits];
    std::size_t used = 0;
    if (negative) number[used++] = '-';
    std::size_t whole_digits = 0;
    for (std::size_t i = first; i < end && i < point; ++i) {
        if (!IsDigit(bytes[i]) || (whole_digits == 0 && bytes[i] == '0')) continue;
        if (++whole_digits > kMostWholeDigits) {
            value = negative ? -HUGE_VAL : HUGE_VAL;
            return true;
        }
        number[used++] = static_cast<char>(bytes[i]);
    }
    if (whole_digits == 0) number[used++] = '0';
    if (point < end) {
        number[used++] = '.';
        std::size_t fraction_digits = 0;
        for (std::size_t i = point + 1; i < end && fraction_digits < kMostFractionDigits; ++i) {
            if (!IsDigit(bytes[i])) continue;
            number[used++] = static_cast<char>(bytes[i]);
            ++fraction_digits;
        }
    }
    value = DecimalValue(number, used);
    return true;
}

ExactAmountResult ReadExactAmount(const char* text, std::size_t length, ExactAmount& amount) {
    amount = ExactAmount{};
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    AmountSpan span;
    if (!FindAmount(bytes, length, span)) return ExactAmountResult::NoNumber;
    constexpr std::int64_t kLimit = INT64_MAX;
    std::int64_t units = 0;
    auto add_digit = [&units](int digit) {
        if (units > (kLimit - digit) / 10) return false;
        units = units * 10 + digit;
        return true;
    };
    for (std::size_t i = span.first; i < span.end && i < span.point; ++i) {
        if (IsDigit(bytes[i])) {
            if (!add_digit(bytes[i] - '0')) return ExactAmountResult::TooLarge;
            if (units != 0) ++amount.whole_digits;
        } else {
            amount.grouped = true;
        }
    }
    if (span.point < span.end) {
        if (bytes[span.point] == '.') amount.dot_mark = true;
        else amount.comma_mark = true;
        // Past kMostExactDecimals the fraction is rounded, half away from zero.
        int decimals = 0;
        bool round_up = false;
        for (std::size_t i = span.point + 1; i < span.end; ++i) {
            if (!IsDigit(bytes[i])) continue;
            if (decimals == kMostExactDecimals) {
                round_up = bytes[i] >= '5';
                break;
            }
            if (!add_digit(bytes[i] - '0')) return ExactAmountResult::TooLarge;
            ++decimals;
        }
        if (round_up) {
            if (units == kLimit) return ExactAmountResult::TooLarge;
            ++units;
        }
        amount.decimals = static_cast<std::uint8_t>(decimals);
    }
    amount.units = span.negative ? -units : units;
    return ExactAmountResult::Number;
}

namespace {

// Reads 1 .. `most` digits at `at`; false when there is none.
bool ReadDigits(const unsigned char* bytes, std::size_t length, std::size_t& at, std::size_t most, int& number,
                std::size_t& count) {
    number = 0;
    count = 0;
    while (at < length && IsDigit(bytes[at]) && count < most + 1) {
        number = number * 10 + (bytes[at] - '0');
        ++at;
        ++count;
    }
    return count >= 1 && count <= most;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

constexpr unsigned char kSmallGe = 0xE3;    // "г"
constexpr unsigned char kCapitalGe = 0xC3;  // "Г"

}  // namespace

bool ReadDate(const char* text, std::size_t length, int current_year, long& day_number) {
    day_number = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t at = 0;
    while (at < length && IsBlank(bytes[at])) ++at;
    int first = 0;
    int second = 0;
    int third = 0;
    std::size_t first_count = 0;
    std::size_t second_count = 0;
    std::size_t third_count = 0;
    if (!ReadDigits(bytes, length, at, 4, first, first_count) || at >= length) return false;
    int year = 0;
    int month = 0;
    int day = 0;
    if (first_count == 4 && bytes[at] == '-') {
        // yyyy-mm-dd
        ++at;
        if (!ReadDigits(bytes, length, at, 2, second, second_count) || at >= length || bytes[at] != '-') return false;
        ++at;
        if (!ReadDigits(bytes, length, at, 2, third, third_count)) return false;
        year = first, month = second, day = third;
    } else {
        // d.m.yyyy, dd.mm.yyyy or with a two-digit year
        if (first_count > 2 || bytes[at] != '.') return false;
        ++at;
        if (!ReadDigits(bytes, length, at, 2, second, second_count) || at >= length || bytes[at] != '.') return false;
        ++at;
        if (!ReadDigits(bytes, length, at, 4, third, third_count) || (third_count != 2 && third_count != 4)) {
            return false;
        }
        day = first, month = second, year = third;
        if (third_count == 2) year += year <= current_year - 2000 ? 2000 : 1900;
    }
    std::size_t after = at;
    while (after < length && IsBlank(bytes[after])) ++after;
    if (after < length && (bytes[after] == kSmallGe || bytes[after] == kCapitalGe)) {
        at = after + 1;
        if (at < length && bytes[at] == '.') ++at;
    }
    while (at < length && IsBlank(bytes[at])) ++at;
    if (at != length) return false;
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
    day_number = static_cast<long>(year) * 10000 + month * 100 + day;
    return true;
}

int ClockYear() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    return local != nullptr ? local->tm_year + 1900 : 2000;
}
