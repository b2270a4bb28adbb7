// Reading a column's amounts once, and writing sums the way the column writes its numbers.
#include "grid/sum_values.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "grid/bulgarian_keys.h"

namespace {

constexpr std::int64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

bool IsBlankByte(unsigned char c) { return c == ' ' || c == 0xA0 || (c >= '\t' && c <= '\r'); }

std::uint8_t ReadInfo(const char* text, int length, std::int64_t& units) {
    units = 0;
    int i = 0;
    while (i < length && IsBlankByte(static_cast<unsigned char>(text[i]))) ++i;
    if (i == length) return SumValueInfo::Empty;
    ExactAmount amount;
    if (ReadExactAmount(text, static_cast<std::size_t>(length), amount) != ExactAmountResult::Number) {
        return SumValueInfo::NotNumber;
    }
    units = amount.units;
    std::uint8_t info = amount.decimals & SumValueInfo::DecimalsMask;
    if (amount.comma_mark) info |= SumValueInfo::CommaMark;
    if (amount.dot_mark) info |= SumValueInfo::DotMark;
    if (amount.grouped) info |= SumValueInfo::Grouped;
    if (!amount.grouped && amount.whole_digits >= 4) info |= SumValueInfo::Ungrouped;
    return info;
}

}  // namespace

bool SumValueColumn::Read(const CellTextSource& cells, int source_column, int rows) {
    source = source_column;
    units.clear();
    info.clear();
    all_marks = 0;
    all_decimals = 0;
    all_not_numbers = 0;
    rows = std::max(rows, 0);
    try {
        units.resize(static_cast<std::size_t>(rows));
        info.resize(static_cast<std::size_t>(rows));
    } catch (const std::bad_alloc&) {
        units = {};
        info = {};
        return false;
    }
    char text[kCellTextLimit + 1];
    for (int row = 0; row < rows; ++row) {
        int length = cells.Present() ? cells.Fetch(row, source_column, text, kCellTextLimit) : 0;
        length = std::clamp(length, 0, kCellTextLimit);
        text[length] = '\0';
        const std::uint8_t bits = ReadInfo(text, length, units[static_cast<std::size_t>(row)]);
        info[static_cast<std::size_t>(row)] = bits;
        if (bits == SumValueInfo::NotNumber) ++all_not_numbers;
        if (bits & SumValueInfo::Marker) continue;
        all_marks |= bits;
        all_decimals = std::max<std::uint8_t>(all_decimals, bits & SumValueInfo::DecimalsMask);
    }
    return true;
}

bool SumValueColumn::ValueAt(std::uint32_t row, SumUnits& value) const {
    const std::uint8_t bits = InfoAt(row);
    if (bits & SumValueInfo::Marker) return false;
    value = static_cast<SumUnits>(units[row]) * kPowersOfTen[kSumDecimals - (bits & SumValueInfo::DecimalsMask)];
    return true;
}

const SumValueColumn* SumState::ValuesOf(int source) const {
    for (const SumValueColumn& column : values) {
        if (column.source == source) return &column;
    }
    return nullptr;
}

void SumState::ForgetSums() {
    sources.clear();
    formats.clear();
    sums.clear();
    label_rows.clear();
    not_numbers = 0;
}

int FormatSum(SumUnits sum, const SumFormat& format, char* buffer) {
    const int decimals = std::min<int>(format.decimals, kSumDecimals);
    // The sum holds no more decimals than its values: the division is exact.
    SumUnits value = sum / kPowersOfTen[kSumDecimals - decimals];
    const bool negative = value < 0;
    // Digits from the last, as unsigned so that the most negative value has its digits too.
    unsigned __int128 magnitude =
        negative ? static_cast<unsigned __int128>(-(value + 1)) + 1 : static_cast<unsigned __int128>(value);
    char digits[48];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    while (count <= decimals) digits[count++] = '0';  // "0,05": a whole digit before the mark

    int length = 0;
    if (negative) buffer[length++] = '-';
    for (int i = count - 1; i >= 0; --i) {
        buffer[length++] = digits[i];
        if (i == decimals && decimals > 0) buffer[length++] = format.dot_mark ? '.' : ',';
        if (i > decimals && format.grouped && (i - decimals) % 3 == 0) buffer[length++] = ' ';
    }
    buffer[length] = '\0';
    return length;
}

int FormatNotNumberNote(std::int64_t count, char* buffer, int size) {
    const int length = count == 1 ? std::snprintf(buffer, static_cast<std::size_t>(size), "1 стойност не е число")
                                  : std::snprintf(buffer, static_cast<std::size_t>(size), "%lld стойности не са числа",
                                                  static_cast<long long>(count));
    return std::clamp(length, 0, size - 1);
}
