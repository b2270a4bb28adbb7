// Boxed data rows made a run at a time, for the writers that make a whole table of them.
#ifndef LINTARO_GRID_DATA_ROW_RUN_H
#define LINTARO_GRID_DATA_ROW_RUN_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "grid/box_line.h"
#include "grid/cell_text_source.h"
#include "grid/grid_model.h"

// Every line a run makes holds the bytes RenderDataRow appends for it. Made row by row, a big
// table spends more on finding the columns and fetching each cell through the grid than on its
// bytes: here the columns, their borders and the rule and empty-cell lines are resolved once,
// and the cells come a column at a time (CellTextSource::FetchColumn) straight into lines made
// as copies of the empty-cell line. One per thread; the grid must not change while it is used.
class DataRowRun {
public:
    // The most lines one Render takes.
    static constexpr int kMostLines = 256;

    DataRowRun(const GridModel& grid, int width, int indent);
    DataRowRun(const DataRowRun&) = delete;
    DataRowRun& operator=(const DataRowRun&) = delete;

    // False when its lines could not be had (a table line longer than it keeps, or no memory):
    // the rows are then rendered one by one.
    bool Ready() const { return line_size_ != 0; }

    // The bytes RenderDataRow appends for `line`, and their text lines: one, two or three.
    std::size_t Bytes(const LayoutLine& line) const { return line_size_ * static_cast<std::size_t>(TextLines(line)); }
    static int TextLines(const LayoutLine& line) {
        return 1 + ((line.flags & LineFlags::RuleAbove) ? 1 : 0) + ((line.flags & LineFlags::RuleBelow) ? 1 : 0);
    }

    // Writes the data rows lines[0 .. count) one after another from `out`, which has room for
    // the sum of their Bytes; count is at most kMostLines. Nothing when not Ready.
    void Render(const LayoutLine* lines, int count, char* out);

private:
    // Puts `count` bytes of a cell at `position` of the table line at `row`, cut at its end.
    inline void Place(char* row, std::int64_t position, const char* text, int count) const;

    const GridModel& grid_;
    CellTextSource source_;
    std::vector<CharColumn> columns_;
    std::vector<std::int64_t> borders_;  // the left border of each column within the table
    std::vector<std::int32_t> sources_;  // each column's store column
    int width_;
    int indent_;
    std::size_t line_size_ = 0;  // indent + width + CR LF
    std::vector<char> rule_;
    std::vector<char> empty_;
    std::unique_ptr<char[]> texts_;  // kMostLines cells of one column, kCellTextStride apart
    std::uint32_t keys_[kMostLines];
    std::uint8_t lengths_[kMostLines];
    char* rows_[kMostLines];  // where each line's table begins in the output
};

#endif
