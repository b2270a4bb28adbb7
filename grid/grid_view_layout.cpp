// The view over the grid's lines and columns: scrolling, hit tests, column moves and resizes.
#include "grid/grid_view_layout.h"

#include <algorithm>
#include <cstring>

#include "grid/column_groups.h"
#include "base/mul_div.h"

namespace {

LineMetrics ScreenLines(const GridModel& model) { return LineMetricsOf(model, GridDevice::Screen); }

int SubLineHeightAt(const GridModel& model, int line, int sub_line, const LineMetrics& metrics) {
    return SubLineHeight(model.Line(line), sub_line, metrics);
}

int Height(const GridModel& model, int line) { return std::max<int>(model.Line(line).height, 1); }

bool AtStart(const GridViewState& view) { return view.top_line == 0 && view.top_sub_line == 0; }

// The sub-line before (line, sub_line); false at the very first.
bool StepBack(const GridModel& model, int& line, int& sub_line) {
    if (sub_line > 0) {
        --sub_line;
        return true;
    }
    if (line <= 0) return false;
    --line;
    sub_line = Height(model, line) - 1;
    return true;
}

// Whether the last paint saw the end of the table.
bool EndInView(const GridModel& model) {
    const GridViewState& view = model.ViewState();
    return view.vertical_position + view.visible_text_lines >= view.total_text_lines;
}

int TableLeft(const GridModel& model, const PixelRect& client) {
    return client.left + kLeftIndent + model.ViewState().horizontal_offset;
}

}  // namespace

int VerticalPositionOf(const GridModel& model) {
    const GridViewState& view = model.ViewState();
    int position = view.top_sub_line;
    for (int i = 0; i < view.top_line && i < model.LineCount(); ++i) position += model.Line(i).height;
    return position;
}

int HorizontalRangeWidth(const GridModel& model, const GridFrame& frame) {
    return 3 * kLeftIndent + std::max(model.TableWidth(), frame.printable_width);
}

LastVisible FindLastFullyVisible(const GridModel& model, int line, int sub_line, const PixelRect& client) {
    const LineMetrics metrics = ScreenLines(model);
    LastVisible last{line, sub_line, SubLineHeightAt(model, line, sub_line, metrics)};
    int y = client.top + kTopBand;
    const int count = model.LineCount();
    while (line < count) {
        y += SubLineHeightAt(model, line, sub_line, metrics);
        if (y > client.bottom) break;
        last = LastVisible{line, sub_line, y};
        if (++sub_line >= Height(model, line)) {
            ++line;
            sub_line = 0;
        }
    }
    return last;
}

bool LineDown(GridModel& model) {
    if (EndInView(model)) return false;
    GridViewState& view = model.ViewState();
    if (view.top_sub_line + 1 < Height(model, view.top_line)) {
        ++view.top_sub_line;
    } else if (view.top_line + 1 < model.LineCount()) {
        ++view.top_line;
        view.top_sub_line = 0;
    } else {
        return false;
    }
    return true;
}

bool LineUp(GridModel& model) {
    GridViewState& view = model.ViewState();
    return StepBack(model, view.top_line, view.top_sub_line);
}

bool PageDown(GridModel& model, const GridFrame& frame) {
    if (EndInView(model)) return false;
    GridViewState& view = model.ViewState();
    const LastVisible last = FindLastFullyVisible(model, view.top_line, view.top_sub_line, frame.client);
    view.top_line = last.line;
    view.top_sub_line = last.sub_line;
    FillView(model, frame);
    return true;
}

bool PageUp(GridModel& model, const GridFrame& frame) {
    GridViewState& view = model.ViewState();
    if (view.vertical_position == 0 || AtStart(view)) return false;
    // The sub-line now at the top ends up at the bottom of the view.
    const LineMetrics metrics = ScreenLines(model);
    int y = frame.client.top + kTopBand + SubLineHeightAt(model, view.top_line, view.top_sub_line, metrics);
    while (y < frame.client.bottom && !AtStart(view)) {
        int line = view.top_line;
        int sub_line = view.top_sub_line;
        StepBack(model, line, sub_line);
        const int height = SubLineHeightAt(model, line, sub_line, metrics);
        if (y + height > frame.client.bottom) break;
        y += height;
        view.top_line = line;
        view.top_sub_line = sub_line;
    }
    return true;
}

bool ScrollToEnd(GridModel& model, const GridFrame& frame) {
    if (EndInView(model) || model.LineCount() == 0) return false;
    GridViewState& view = model.ViewState();
    view.top_line = model.LineCount() - 1;
    view.top_sub_line = 0;
    FillView(model, frame);
    return true;
}

bool TrackVerticalThumb(GridModel& model, int position) {
    GridViewState& view = model.ViewState();
    if (position == view.vertical_position) return false;
    int remaining = position;
    for (int i = 0; i < model.LineCount(); ++i) {
        const int height = model.Line(i).height;
        if (remaining < height) {
            view.top_line = i;
            view.top_sub_line = remaining;
            break;
        }
        remaining -= height;
    }
    return true;
}

bool ScrollLeft(GridModel& model) {
    GridViewState& view = model.ViewState();
    if (view.horizontal_offset >= 0) return false;
    view.horizontal_offset = std::min(view.horizontal_offset + kHorizontalStep, 0);
    return true;
}

bool ScrollRight(GridModel& model, const GridFrame& frame) {
    GridViewState& view = model.ViewState();
    const int range = HorizontalRangeWidth(model, frame);
    const PixelRect& client = frame.client;
    if (client.right >= client.left + view.horizontal_offset + range) return false;
    view.horizontal_offset -= kHorizontalStep;
    if (client.left + view.horizontal_offset + range < client.right) {
        view.horizontal_offset = client.right - client.left - range;
    }
    return true;
}

bool TrackHorizontalThumb(GridModel& model, int position) {
    GridViewState& view = model.ViewState();
    if (position == -view.horizontal_offset) return false;
    view.horizontal_offset = -position;
    return true;
}

bool ScrollToLeftEnd(GridModel& model) {
    GridViewState& view = model.ViewState();
    if (view.horizontal_offset >= 0) return false;
    view.horizontal_offset = 0;
    return true;
}

bool ScrollToRightEnd(GridModel& model, const GridFrame& frame) {
    GridViewState& view = model.ViewState();
    const PixelRect& client = frame.client;
    // The offset at which ScrollRight stops: the range's right end at the client's right edge.
    const int end = std::min(0, client.right - client.left - HorizontalRangeWidth(model, frame));
    if (view.horizontal_offset <= end) return false;
    view.horizontal_offset = end;
    return true;
}

bool ScrollToStart(GridModel& model) {
    GridViewState& view = model.ViewState();
    if (AtStart(view)) return false;
    view.top_line = 0;
    view.top_sub_line = 0;
    return true;
}

bool ScrollLines(GridModel& model, int steps) {
    bool moved = false;
    for (; steps > 0; --steps) {
        if (!LineDown(model)) break;
        // LineDown reads the position the last paint stored; keep it in step between moves.
        model.ViewState().vertical_position = VerticalPositionOf(model);
        moved = true;
    }
    for (; steps < 0; ++steps) {
        if (!LineUp(model)) break;
        model.ViewState().vertical_position = VerticalPositionOf(model);
        moved = true;
    }
    return moved;
}

bool ScrollSideways(GridModel& model, const GridFrame& frame, int steps) {
    bool moved = false;
    for (; steps > 0 && ScrollRight(model, frame); --steps) moved = true;
    for (; steps < 0 && ScrollLeft(model); ++steps) moved = true;
    return moved;
}

void FillView(GridModel& model, const GridFrame& frame) {
    GridViewState& view = model.ViewState();
    const PixelRect& client = frame.client;
    if (model.LineCount() > 0) {
        const LineMetrics metrics = ScreenLines(model);
        int bottom = FindLastFullyVisible(model, view.top_line, view.top_sub_line, client).bottom;
        while (bottom < client.bottom && !AtStart(view)) {
            int line = view.top_line;
            int sub_line = view.top_sub_line;
            StepBack(model, line, sub_line);
            const int height = SubLineHeightAt(model, line, sub_line, metrics);
            if (bottom + height > client.bottom) break;
            bottom += height;
            view.top_line = line;
            view.top_sub_line = sub_line;
        }
    }
    while (view.horizontal_offset < 0 &&
           client.right >= TableLeft(model, client) + model.TableWidth() + kHorizontalStep) {
        view.horizontal_offset = std::min(view.horizontal_offset + kHorizontalStep, 0);
    }
}

void RefreshViewState(GridModel& model, const GridFrame& frame) {
    GridViewState& view = model.ViewState();
    if (model.LineCount() > 0) {
        if (view.top_line < 0 || view.top_line >= model.LineCount()) view.top_line = 0;
        if (view.top_sub_line < 0 || view.top_sub_line >= Height(model, view.top_line)) view.top_sub_line = 0;
    }
    FillView(model, frame);
    model.SetLayoutDirty(true);
}

int LineAtY(const GridModel& model, int y, const PixelRect& client) {
    if (y < client.top + kTopBand || model.LineCount() == 0) return -1;
    const GridViewState& view = model.ViewState();
    const LineMetrics metrics = ScreenLines(model);
    int bottom = client.top + kTopBand;
    for (int s = 0; s < view.top_sub_line; ++s) bottom -= SubLineHeightAt(model, view.top_line, s, metrics);
    for (int line = std::max(view.top_line, 0); line < model.LineCount(); ++line) {
        bottom += LineHeight(model.Line(line), metrics);
        if (bottom > y) return line;
        if (bottom >= client.bottom) return -1;
    }
    return -1;
}

int ColumnEdgeAtX(const GridModel& model, int x, const PixelRect& client) {
    const int rule = model.Metrics(GridDevice::Screen).rule_width;
    int b = TableLeft(model, client);
    for (int i = 0; i < model.ColumnCount(); ++i) {
        const GridColumn& column = *model.Column(i);
        if (!(column.flags & ColumnFlags::Visible)) continue;
        b += column.width + rule;
        if (x < b - kEdgeHitZone) return -1;
        if (x < b + rule + kEdgeHitZone) return i;
    }
    return -1;
}

int ColumnLeftX(const GridModel& model, int column, const PixelRect& client) {
    if (column < 0 || column >= model.ColumnCount()) return -1;
    const int rule = model.Metrics(GridDevice::Screen).rule_width;
    int x = TableLeft(model, client);
    for (int i = 0; i < column; ++i) {
        if (model.IsColumnVisible(i)) x += model.Column(i)->width + rule;
    }
    return x;
}

int ColumnAtTitleX(const GridModel& model, int x, const PixelRect& client) {
    const int rule = model.Metrics(GridDevice::Screen).rule_width;
    int left = TableLeft(model, client) + rule;
    for (int i = 0; i < model.ColumnCount(); ++i) {
        const GridColumn& column = *model.Column(i);
        if (!(column.flags & ColumnFlags::Visible)) continue;
        if (x < left) return -1;
        if (x < left + column.width) return i;
        left += column.width + rule;
    }
    return -1;
}

int ColumnDropTarget(const GridModel& model, int x, const PixelRect& client) {
    int right = TableLeft(model, client);
    if (x < right) return -1;
    const int rule = model.Metrics(GridDevice::Screen).rule_width;
    for (int i = 0; i < model.ColumnCount(); ++i) {
        const GridColumn& column = *model.Column(i);
        if (!(column.flags & ColumnFlags::Visible)) continue;
        right += column.width + rule;
        if (right > x) return i;
    }
    return model.ColumnCount() - 1;
}

std::vector<int> PageWidthMarks(const GridModel& model, const PixelRect& client, int printable_width) {
    std::vector<int> marks;
    if (model.Metrics(GridDevice::Print).page.printer_kind == kDotMatrixPrinter) {
        marks.push_back(TableLeft(model, client) + printable_width);
        return marks;
    }
    const std::vector<ColumnGroup> groups = DivideIntoColumnGroups(model);
    if (groups.empty()) {
        marks.push_back(TableLeft(model, client) + printable_width);
        return marks;
    }
    // The left rule of every group's first column, found in one walk across the columns.
    const int rule = model.Metrics(GridDevice::Screen).rule_width;
    std::vector<int> starts;
    int x = TableLeft(model, client);
    for (int i = 0, g = 0; i < model.ColumnCount() && g < static_cast<int>(groups.size()); ++i) {
        if (i == groups[static_cast<std::size_t>(g)].first_column) {
            starts.push_back(g == 0 ? TableLeft(model, client) : x);
            ++g;
        }
        if (model.IsColumnVisible(i)) x += model.Column(i)->width + rule;
    }
    // Later groups repeat the key columns at their left, which leaves them that much less room.
    const KeyColumns keys = FindKeyColumns(model);
    std::int64_t key_width = 0;
    for (int i = 0; i < keys.end_column; ++i) {
        if (model.IsColumnVisible(i)) key_width += model.Column(i)->width + rule;
    }
    for (std::size_t g = 0; g < starts.size(); ++g) {
        int mark = starts[g] + printable_width;
        if (g > 0) mark = static_cast<int>(std::max<std::int64_t>(starts[g] + rule, mark - key_width));
        if (g + 1 < starts.size()) {
            // On paper the next group's first column reaches past the edge, the ones before do not.
            const int next_left = starts[g + 1];
            const int past_right_rule = next_left + rule + model.Column(groups[g + 1].first_column)->width + rule;
            mark = std::clamp(mark, next_left + rule, std::max(next_left + rule, past_right_rule - 1));
        }
        marks.push_back(mark);
    }
    return marks;
}

bool MoveColumn(GridModel& model, int from, int to) {
    const int count = model.ColumnCount();
    if (from < 0 || from >= count || to < 0 || to >= count || from == to) return false;
    GridColumn* first = model.MutableColumn(0);
    const GridColumn moving = first[from];
    if (from < to) {
        std::memmove(first + from, first + from + 1, static_cast<std::size_t>(to - from) * sizeof(GridColumn));
    } else {
        std::memmove(first + to + 1, first + to, static_cast<std::size_t>(from - to) * sizeof(GridColumn));
    }
    first[to] = moving;
    // The arrangement is what the layout file keeps.
    model.SetModified(true);
    return true;
}

void ResizeColumn(GridModel& model, int column, int delta) {
    GridColumn* record = model.MutableColumn(column);
    if (record == nullptr) return;
    model.SetModified(true);
    record->width += delta;
    if (record->natural_width != 0) {
        record->print_width = MulDiv32(record->print_natural_width, record->width, record->natural_width);
    } else {
        // No natural width yet (widths from a title or a layout file only): the same physical
        // width on paper as on screen.
        const int screen_dpi = model.Device(GridDevice::Screen).Meter().PixelsPerInchX();
        const int print_dpi = model.Device(GridDevice::Print).Meter().PixelsPerInchX();
        record->print_width = MulDiv32(record->width, print_dpi, screen_dpi);
    }
    // Flowing cells wrap at the new width; so may the column's title in the title band.
    // A table fitted to the width scales with its width, and the rows a page holds with it.
    if ((record->flags & ColumnFlags::TextFlow) || model.GetPrintOptions().fit_to_width != 0 ||
        TitleBandHeightChanged(model)) {
        model.RebuildLayout();
    }
    model.UpdateTableWidth();
}
