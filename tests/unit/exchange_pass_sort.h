// The row sort written the plain way, as repeated exchange passes, for tests and benchmarks to
// hold the fast sort against.
#ifndef LINTARO_TESTS_UNIT_EXCHANGE_PASS_SORT_H
#define LINTARO_TESTS_UNIT_EXCHANGE_PASS_SORT_H

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include "grid/sort_filter.h"

// Passes over the rows compare each entry's key with the next one's and exchange the two when
// CompareKeys is greater than 0; a pass fetches every key once (the key of the entry that moves
// on is carried along) and the passes repeat until one exchanges nothing. Quadratic.
inline void SortByExchangePasses(const GridModel& model, LayoutLine* rows, std::size_t count,
                                 const SortRequest& request, int current_year = kClockYear) {
    const CellTextSource cell_text = model.GetCellTextSource();
    const GridColumn* column = model.Column(request.column);
    if (!cell_text.Present() || column == nullptr || count < 2) return;
    const int source = column->source;
    const bool descending = request.direction == SortDirection::Descending;
    auto fetch = [&](const LayoutLine& line, char* buffer) {
        buffer[0] = '\0';
        const int length = std::clamp(cell_text.Fetch(static_cast<int>(line.key), source, buffer, kCellTextLimit), 0,
                                      kCellTextLimit);
        buffer[length] = '\0';
    };
    char carried[kCellTextLimit + 1];
    char next[kCellTextLimit + 1];
    bool exchanged = true;
    while (exchanged) {
        exchanged = false;
        fetch(rows[0], carried);
        for (std::size_t i = 0; i + 1 < count; ++i) {
            fetch(rows[i + 1], next);
            if (CompareKeys(carried, next, request.data_type, descending, current_year) > 0) {
                std::swap(rows[i], rows[i + 1]);
                exchanged = true;
            } else {
                std::memcpy(carried, next, sizeof carried);
            }
        }
    }
}

#endif
