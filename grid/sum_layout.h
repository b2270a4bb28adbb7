// What pagination asks of the sums: which sum lines a layout gets, where the groups end, and
// the sums of every sum line once the pages are known. Works on the data rows of the layout
// list in list order (during RebuildLayout these are the whole list).
#ifndef LINTARO_GRID_SUM_LAYOUT_H
#define LINTARO_GRID_SUM_LAYOUT_H

#include <array>
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

// The sums of the pages, kept while pagination places the rows: a row is added as it goes onto
// a page and taken off again when it is pushed to the next, so no second pass over the rows
// is needed. Made after PrepareSumLines; valid while the model's sums are.
class PageSums {
public:
    explicit PageSums(const GridModel& model);
    void Add(std::uint32_t row_key) { Change(row_key, true); }
    void Remove(std::uint32_t row_key) { Change(row_key, false); }
    // The page's sums are kept; the next page starts from zero.
    void ClosePage();
    // One sum per summed column for each closed page, page after page.
    const std::vector<SumUnits>& Sums() const { return closed_; }

private:
    struct Column {
        const std::int64_t* units = nullptr;
        const std::uint8_t* info = nullptr;
        std::uint32_t size = 0;
    };
    // Units are added as they are, one total per count of decimals, and scaled once a page.
    void Change(std::uint32_t row_key, bool add) {
        for (std::size_t c = 0; c < columns_.size(); ++c) {
            const Column& column = columns_[c];
            if (row_key >= column.size) continue;
            const std::uint8_t bits = column.info[row_key];
            if (bits & SumValueInfo::Marker) continue;
            SumUnits& total = open_[c][bits & SumValueInfo::DecimalsMask];
            total += add ? column.units[row_key] : -column.units[row_key];
        }
    }
    std::vector<Column> columns_;
    std::vector<std::array<SumUnits, SumValueInfo::DecimalsMask + 1>> open_;
    std::vector<SumUnits> closed_;
};

// The sums of every sum line, in the order the pages show them: per page the brought-forward
// line, the group lines after their rows, then the page total, the carried total, the end
// total and the note, as the plan has them. `count` is the number of those lines; a sum line's
// key is its place in this order. `page_sums` as PageSums gives them. False (and no sums
// kept) without memory.
bool ComputeSumLines(GridModel& model, const std::vector<SumPage>& pages, const std::vector<SumUnits>& page_sums,
                     const std::vector<std::uint8_t>& group_ends, const SumLinePlan& plan, std::size_t count);

#endif
