// Boxed data rows made a run at a time (see data_row_run.h).
#include "grid/data_row_run.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "render/control_bytes.h"

namespace {

// Longer table lines are rare enough to go row by row; 256 lines of them already take 48 MB.
constexpr std::size_t kLongestLine = std::size_t{1} << 16;

}  // namespace

DataRowRun::DataRowRun(const GridModel& grid, int width, int indent)
    : grid_(grid), source_(grid.GetCellTextSource()), width_(std::max(width, 0)), indent_(UsedIndent(indent)) {
    const std::size_t size = static_cast<std::size_t>(indent_) + static_cast<std::size_t>(width_) + 2;
    if (size > kLongestLine) return;
    try {
        columns_ = CharColumns(grid);
        std::int64_t border = 0;
        for (const CharColumn& column : columns_) {
            borders_.push_back(border);
            sources_.push_back(grid.Column(column.index)->source);
            border += column.width + 3;
        }
        rule_.resize(size);
        empty_.resize(size);
    } catch (const std::bad_alloc&) {
        return;
    }
    // Not cleared: every cell is written before it is read. A run is made for every page of a
    // print run.
    texts_.reset(new (std::nothrow) char[static_cast<std::size_t>(kMostLines) * kCellTextStride]);
    if (texts_ == nullptr) return;
    FillBoxLine(columns_, rule_.data(), width_, indent_, '-', '+');
    FillBoxLine(columns_, empty_.data(), width_, indent_, ' ', '|');
    line_size_ = size;
}

void DataRowRun::Place(char* row, std::int64_t position, const char* text, int count) const {
    const std::int64_t end = std::min<std::int64_t>(position + count, width_);
    if (position < end) CopyBlankingControlBytes(row + position, text, static_cast<std::size_t>(end - position));
}

void DataRowRun::Render(const LayoutLine* lines, int count, char* out) {
    if (!Ready()) return;
    count = std::clamp(count, 0, kMostLines);
    // The lines as they stand without cells, then the cells a column at a time.
    for (int k = 0; k < count; ++k) {
        const LayoutLine& line = lines[k];
        if (line.flags & LineFlags::RuleAbove) {
            std::memcpy(out, rule_.data(), line_size_);
            out += line_size_;
        }
        std::memcpy(out, empty_.data(), line_size_);
        rows_[k] = out + indent_;
        out += line_size_;
        if (line.flags & LineFlags::RuleBelow) {
            std::memcpy(out, rule_.data(), line_size_);
            out += line_size_;
        }
        keys_[k] = line.key;
    }
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        const CharColumn& column = columns_[c];
        const std::int64_t border = borders_[c] + 1;
        if (sources_[c] == kRowNumberSource) {
            char number[kCellTextStride];
            for (int k = 0; k < count; ++k) {
                const int length = grid_.CellText(lines[k], column.index, number);
                Place(rows_[k], border + PadFor(column.alignment, length, column.width), number,
                      std::min(length, column.width));
            }
            continue;
        }
        if (!source_.Present()) continue;  // no texts: every cell empty
        source_.FetchColumn(sources_[c], keys_, count, texts_.get(), lengths_);
        for (int k = 0; k < count; ++k) {
            const int length = lengths_[k];
            Place(rows_[k], border + PadFor(column.alignment, length, column.width),
                  texts_.get() + static_cast<std::size_t>(k) * kCellTextStride, std::min(length, column.width));
        }
    }
}
