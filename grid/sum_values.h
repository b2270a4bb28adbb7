// The amounts the sum lines add up, read once per table, and the sums the last pagination
// found. Plain data for the model to hold; grid/sum_lines.h says what the lines show.
#ifndef LINTARO_GRID_SUM_VALUES_H
#define LINTARO_GRID_SUM_VALUES_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "grid/cell_text_source.h"

// Sums are kept in millionths (the most decimals an amount keeps), in 128 bits: 2^32 rows of
// the largest 64-bit amount times 10^6 stay far below 2^127, so no sum can overflow.
using SumUnits = __int128;
constexpr int kSumDecimals = 6;

// How a summed column writes its numbers: what its values in the view use.
struct SumFormat {
    std::uint8_t decimals = 0;  // the most decimals among them
    bool dot_mark = false;      // "." as the decimal mark (only when none uses ",")
    bool grouped = false;       // digit groups of three parted by a blank: unless some value
                                // shows four whole digits ungrouped and none groups them
};

// One byte per row beside its units: the decimals and marks the text was written with, or
// one of the two markers (the Marker bit set).
struct SumValueInfo {
    enum : std::uint8_t {
        DecimalsMask = 0x07,
        CommaMark = 0x08,
        DotMark = 0x10,
        Grouped = 0x20,    // the whole part written in groups
        Ungrouped = 0x40,  // four or more whole digits written without groups
        Marker = 0x80,
        Empty = 0x80,      // nothing in the cell: skipped silently
        NotNumber = 0x81,  // text that is no amount, or one past 64 bits: skipped and counted
    };
};

// One table column's values by row key, as the cell text source gave them.
struct SumValueColumn {
    int source = 0;
    std::vector<std::int64_t> units;
    std::vector<std::uint8_t> info;
    // Over every row, for a view that holds them all: the marks of the numbers (SumValueInfo
    // bits), their most decimals, and the cells that are no numbers.
    std::uint8_t all_marks = 0;
    std::uint8_t all_decimals = 0;
    std::int64_t all_not_numbers = 0;

    // Reads rows 0 .. rows - 1 of `source`. False (and nothing kept) without memory.
    bool Read(const CellTextSource& cells, int source_column, int rows);
    // The row's value in millionths; false for an empty cell or one that is not a number.
    bool ValueAt(std::uint32_t row, SumUnits& value) const;
    std::uint8_t InfoAt(std::uint32_t row) const {
        return row < info.size() ? info[row] : static_cast<std::uint8_t>(SumValueInfo::Empty);
    }
};

// What the model keeps for its sum lines.
struct SumState {
    // The value cache, one entry per summed table column; kept while the table is.
    std::vector<SumValueColumn> values;
    // Set by the last pagination: the summed grid columns' sources, in column order, their
    // formats, and for each sum line (by its key) one sum per summed column and, for a group
    // line, the row key whose text labels it.
    std::vector<int> sources;
    std::vector<SumFormat> formats;
    std::vector<SumUnits> sums;
    std::vector<std::uint32_t> label_rows;
    std::int64_t not_numbers = 0;  // non-empty cells of the view that are no amounts

    const SumValueColumn* ValuesOf(int source) const;
    void ForgetValues() { values.clear(); }
    void ForgetSums();
};

// `sum` (millionths) written in `format`: "-1 247,00". `buffer` holds at least 64 bytes and
// is terminated. Returns the length.
int FormatSum(SumUnits sum, const SumFormat& format, char* buffer);

// The note under the end total: "1 стойност не е число" or "N стойности не са числа".
int FormatNotNumberNote(std::int64_t count, char* buffer, int size);

#endif
