// Summed columns widened to the sums their lines show.
#include "grid/sum_widths.h"

#include <algorithm>
#include <vector>

#include "grid/sum_lines.h"

namespace {

// The width the widest sum of each column needs on `device` (SumCellWidth), 0 where a column
// shows none.
std::vector<int> WidestSums(GridModel& model, GridDevice device) {
    std::vector<int> widest(static_cast<std::size_t>(model.ColumnCount()), 0);
    MeasuringDevice& measure = model.Device(device);
    FontRun run(measure, model.GetFont());
    measure.SelectBold(true);
    char text[kCellTextLimit + 1];
    for (int i = 0; i < model.LineCount(); ++i) {
        const LayoutLine line = model.Line(i);
        if (!IsSumLine(line.kind) || line.kind == LineKind::SumNote) continue;
        for (int c = 0; c < model.ColumnCount(); ++c) {
            const int length = SumLineCellText(model, line, c, text);
            if (length <= 0) continue;
            const int width = SumCellWidth(model, device, text, length);
            widest[static_cast<std::size_t>(c)] = std::max(widest[static_cast<std::size_t>(c)], width);
        }
    }
    measure.SelectBold(false);
    return widest;
}

bool WidenOnce(GridModel& model) {
    const std::vector<int> screen = WidestSums(model, GridDevice::Screen);
    const std::vector<int> print = WidestSums(model, GridDevice::Print);
    bool changed = false;
    for (int c = 0; c < model.ColumnCount(); ++c) {
        GridColumn& column = *model.MutableColumn(c);
        const std::size_t at = static_cast<std::size_t>(c);
        if (screen[at] > 0 && column.width < screen[at]) {
            column.width = screen[at];
            changed = true;
        }
        if (print[at] > 0 && column.print_width < print[at]) {
            column.print_width = print[at];
            changed = true;
        }
    }
    return changed;
}

}  // namespace

bool WidenSummedColumnsToTheirSums(GridModel& model) {
    if (!HasSummedColumns(model)) return false;
    bool changed = false;
    for (int pass = 0; pass < 3 && WidenOnce(model); ++pass) {
        changed = true;
        model.UpdateTableWidth();
        model.RebuildLayout();
    }
    if (changed) {
        model.SetModified(true);
        model.SetLayoutDirty(true);  // the next paint sets the scroll ranges again
    }
    return changed;
}

int SumCellWidth(GridModel& model, GridDevice device, const char* text, int length) {
    const int margin = device == GridDevice::Screen ? kScreenCellMargin : kPrintCellMargin;
    return model.Device(device).Meter().Width(text, static_cast<std::size_t>(length)) +
           model.Metrics(device).text_inset + margin;
}
