// What the "Sort" and "Filter" dialogs fill and the row operations take: plain records.
#ifndef LINTARO_GRID_SORT_REQUESTS_H
#define LINTARO_GRID_SORT_REQUESTS_H

#include <cstddef>
#include <cstdint>

// How a key text is read: SortRequest::data_type and FilterRequest::data_type. Text and
// Number are the program's first two; the other three read keys the Bulgarian way
// (grid/bulgarian_keys.h). Any other value reads as Text.
struct KeyType {
    enum : std::int32_t {
        Text = 0,          // code-page bytes, case-sensitive
        Number = 1,        // atof's number, "12,5" is 12
        Alphabetical = 2,  // dictionary order, case ignored, "9" before "10"
        Amount = 3,        // "1 234,56 лв."; a key without a number ranks as empty
        Date = 4,          // "12.03.2024", "12.03.24 г.", "2024-03-12"; an impossible date ranks as empty
    };
};

// SortRequest::direction; any value other than Descending sorts ascending.
struct SortDirection {
    enum : std::int32_t { Ascending = 1, Descending = 2 };
};

// What the "Sort" dialog fills, 12 bytes. The command starts it as column 0, ascending, text.
struct SortRequest {
    std::int32_t column = 0;  // grid column index (not a position in the dialog's list)
    std::int32_t direction = SortDirection::Ascending;
    std::int32_t data_type = KeyType::Text;
};
static_assert(sizeof(SortRequest) == 12, "SortRequest is 12 bytes");

// Longest bound a filter request holds, in characters (its fields keep a terminator too).
constexpr std::size_t kFilterBoundLimit = 127;

// What the "Filter" dialog fills, 264 bytes; the command clears it to zero first. Both bounds
// are inclusive texts compared with CompareKeys; an empty one sets no bound on its side.
struct FilterRequest {
    std::int32_t column = 0;  // grid column index; the row-number column tests the ordinals
    char from[kFilterBoundLimit + 1] = {};
    char to[kFilterBoundLimit + 1] = {};
    std::int32_t data_type = KeyType::Text;
};
static_assert(sizeof(FilterRequest) == 264, "FilterRequest is 264 bytes");

#endif
