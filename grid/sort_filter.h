// Sorting, filtering and restoring the grid's data rows: the table store itself never changes.
#ifndef LINTARO_GRID_SORT_FILTER_H
#define LINTARO_GRID_SORT_FILTER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "grid/grid_model.h"
#include "grid/grid_records.h"
#include "grid/sort_requests.h"

// The number a key of KeyType::Number stands for, read the way the C library's atof reads in
// the "C" locale, but only in its decimal form: leading white space, an optional sign, digits
// with an optional "." fraction, an optional exponent ("e" or "E", optional sign, digits); the
// reading stops at the first byte that does not fit, and a text without digits is 0 ("12,5"
// is 12, "abc" is 0). "inf", "nan" and hexadecimal forms are not numbers here, so every key
// has a value that compares with every other. Null reads as 0.
double KeyNumber(const char* text);

// The year that two-digit years of KeyType::Date keys are read against when a caller passes
// none: the computer clock's (ClockYear), read once per sort or filter.
constexpr int kClockYear = 0;

// The one comparison of sorting and filtering: -1, 0 or 1. An empty key ranks after every
// non-empty key whatever the direction (empty against empty is 0). Numbers compare by
// KeyNumber; amounts and dates by ReadAmount and ReadDate (grid/bulgarian_keys.h), a key that
// holds no amount or no possible date ranking as empty; alphabetical keys by their collation
// keys (AppendAlphabeticalKey); any other data type compares the bytes unsigned, as strcmp
// does (code page 1251 order, case-sensitive). `descending` swaps the result for non-empty
// keys. Null reads as "". `current_year` decides two-digit years (kClockYear: the clock's).
int CompareKeys(const char* a, const char* b, std::int32_t data_type, bool descending,
                int current_year = kClockYear);

// Orders the first `count` lines of `rows`, all data rows, stably by the key text of grid
// column `column` of `model` (fetched once per row through the cell text source, at most 255
// bytes, with the column's store identifier even for the row-number column, whose source
// answers with empty texts). The result is the order that repeated exchange passes with
// CompareKeys give: entries with equal keys keep their order. Each row's key is read once into
// a number or a collation key, then the keys are sorted. An unknown column, a model without a
// cell text source or a table too large for the keys' memory leaves the order as it is.
void OrderRowsByKey(const GridModel& model, LayoutLine* rows, std::size_t count, const SortRequest& request,
                    int current_year = kClockYear);

// Drops the layout lines the grid made itself, sorts the data rows (OrderRowsByKey) and lays
// the list out again (RebuildLayout renumbers the rows). The scroll position is kept, brought
// back inside the list when the list got shorter, and the layout marked dirty; the caller
// repaints. Nothing happens without a cell text source or with fewer than two lines.
void SortRows(GridModel& model, const SortRequest& request, int current_year = kClockYear);

// The bounds of a filter request, read once, testing keys as
// CompareKeys(from, key, type, ascending) <= 0 && CompareKeys(key, to, type, ascending) <= 0
// does (both bounds inclusive, a key that ranks as empty ranking after every bound), except
// that an empty bound is no bound on its side: an empty "from" no lower bound, an empty "to"
// no upper bound (which admits the keys that rank as empty). Both empty keep those keys alone.
// A bound that is not empty but ranks as empty (an amount without digits, an impossible date)
// is taken literally: it ranks after every key. Testing a key allocates nothing.
class FilterRange {
public:
    explicit FilterRange(const FilterRequest& request, int current_year = kClockYear);
    bool Contains(const char* key) const;

private:
    std::string from_;
    std::string to_;
    std::string from_key_;  // collation keys of the bounds, for alphabetical keys
    std::string to_key_;
    double from_value_ = 0;  // values of the bounds, for numbers, amounts and dates
    double to_value_ = 0;
    bool from_ranks_empty_ = true;
    bool to_ranks_empty_ = true;
    std::int32_t type_;
    int current_year_;
    mutable std::string key_scratch_;  // a key's collation key, its room kept from key to key
};

// Keeps only the data rows whose key in the request's column (at most 127 bytes; for the
// row-number column the row's ordinal as "%d") lies inside the bounds, lays the list out
// again, marks the layout dirty and scrolls to the top left; the caller repaints. When no
// data row matches, returns false and the list is untouched. Works on the current list, so a
// second filter narrows the first.
bool FilterRows(GridModel& model, const FilterRequest& request, int current_year = kClockYear);

// Every stored row again, in stored order (keys 0 .. RowCount() - 1), laid out, the layout
// marked dirty and the view at the top left; the caller repaints.
void RestoreRows(GridModel& model);

// The grid columns that the "Sort" dialog offers, in column order: the visible ones that are
// not the row-number column.
std::vector<int> ColumnsOfferedForSort(const GridModel& model);

// The grid columns that the "Filter" dialog offers: every visible one, row numbers included.
std::vector<int> ColumnsOfferedForFilter(const GridModel& model);

#endif
