// What pagination asks of the sums: which sum lines a layout gets, where the groups end, and
// the sums of every sum line once the pages are known. Works on the data rows of the layout
// list in list order (during RebuildLayout these are the whole list).
#ifndef LINTARO_GRID_SUM_LAYOUT_H
#define LINTARO_GRID_SUM_LAYOUT_H

#include <cstdint>
#include <vector>

#include "grid/grid_model.h"

// The sum lines the layout gets.
struct SumLinePlan {
    bool page_totals = false;      // "Общо за страницата" and, but on the last page, "Пренос"
    bool brought_forward = false;  // "Пренос от предходна страница" on every page after the first
    bool group_totals = false;     // after each run of equal sort keys (the view is sorted)
    bool end_total = false;        // "Общо"
    bool note = false;             // the not-a-number note under the end total
};

// Forgets the last sums, reads the amounts of summed columns not read yet (and forgets those of
// columns no longer summed), and finds the summed columns' formats and the count of cells that
// are no amounts over the data rows. Returns the plan.
SumLinePlan PrepareSumLines(GridModel& model);

// One byte per data row, 1 where a run of equal keys of the sorted column ends (always at the
// last row). Empty when the view is not sorted or there are no rows.
std::vector<std::uint8_t> FindGroupEnds(const GridModel& model);

// The data rows, by their place among the data rows, that one page holds.
struct SumPage {
    int first;
    int last;
};

// The sums of every sum line, in the order the pages show them: per page the brought-forward
// line, the group lines after their rows, then the page total, the carried total, the end
// total and the note, as the plan has them. `count` is the number of those lines; a sum line's
// key is its place in this order. False (and no sums kept) without memory.
bool ComputeSumLines(GridModel& model, const std::vector<SumPage>& pages, const std::vector<std::uint8_t>& group_ends,
                     const SumLinePlan& plan, std::size_t count);

#endif
