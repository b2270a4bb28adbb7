// How long the grid takes to paginate a million rows (RebuildLayout), on fake devices.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "grid/grid_layout.h"
#include "grid/sort_filter.h"
#include "grid/sum_values.h"
#include "tests/unit/fake_measuring_device.h"

namespace {

PrintSettings A4WithMargins(void*) {
    PrintSettings settings = BuiltInPrintSettings();
    settings.top_margin = 1000;
    settings.bottom_margin = 1000;
    return settings;
}

// Every row has a name that wraps in the narrow flowing column on some rows, and a number.
int BenchCellText(void*, int row_key, int column_identifier, char* buffer, int buffer_size) {
    if (column_identifier == 11) {
        const char* text = (row_key % 7 == 0) ? "Иван Петров Иванов от Пловдив" : "Мария";
        return std::snprintf(buffer, static_cast<std::size_t>(buffer_size) + 1, "%s", text);
    }
    return std::snprintf(buffer, static_cast<std::size_t>(buffer_size) + 1, "%d.%02d", row_key, row_key % 100);
}

struct PaginatedTable {
    FakeMeasuringDevice screen{6, 13, 96};
    FakeMeasuringDevice print{25, 50, 300};
    FakePictureSizes pictures;
    std::unique_ptr<GridModel> model;

    // `flowing`: the name column wraps; `summed`: the amounts are summed per page and in all.
    explicit PaginatedTable(bool with_cells, bool flowing = true, bool summed = false) {
        model = std::make_unique<GridModel>(GridEnvironment{&screen, &print, &pictures, &A4WithMargins});
        model->AddColumn(11, "Име");
        model->AddColumn(12, "Сума");
        GridColumnInfo info;
        model->GetColumnInfo(1, info);
        if (flowing) info.flags |= ColumnFlags::TextFlow;
        model->SetColumnInfo(1, info);
        if (summed) {
            model->GetColumnInfo(2, info);
            info.flags |= ColumnFlags::Sum;
            model->SetColumnInfo(2, info);
            PrintOptions options;
            options.sum_lines = SumPlacement::PageTotals | SumPlacement::BroughtForward;
            model->SetPrintOptions(options);
        }
        model->MutableColumn(1)->print_width = 600;
        model->SetHeaderText("Header\r\nsecond line");
        model->SetFooterText("Footer");
        TableStyle style = model->GetTableStyle();
        style.flags |= TableFlags::PageColTitles | TableFlags::PageFooter | TableFlags::PageDate;
        model->SetTableStyle(style);
        if (with_cells) model->SetCellTextSource(&BenchCellText, nullptr);
        model->SetRowCount(1000000);
    }
};

// Pagination alone: every row is one text line high.
void BM_PaginateMillionRows(benchmark::State& state) {
    PaginatedTable table(false);
    for (auto _ : state) {
        table.model->RebuildLayout();
        benchmark::DoNotOptimize(table.model->LineCount());
    }
    state.counters["lines"] = table.model->LineCount();
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_PaginateMillionRows)->Unit(benchmark::kMillisecond);

// With row heights: every row's flowing cell fetched and wrapped on the fake printer.
void BM_PaginateMillionRowsWithWrappedCells(benchmark::State& state) {
    PaginatedTable table(true);
    for (auto _ : state) {
        table.model->RebuildLayout();
        benchmark::DoNotOptimize(table.model->LineCount());
    }
    state.counters["lines"] = table.model->LineCount();
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_PaginateMillionRowsWithWrappedCells)->Unit(benchmark::kMillisecond);

// The pair that shows what sum lines add to pagination: the same table of one-line rows with
// a cell source, without and with a summed column (page totals, carried and brought-forward
// sums and the end total). The amounts are read once, before the timing: a layout only adds.
void PaginateOneLineRows(benchmark::State& state, bool summed) {
    PaginatedTable table(true, false, summed);
    for (auto _ : state) {
        table.model->RebuildLayout();
        benchmark::DoNotOptimize(table.model->LineCount());
    }
    state.counters["lines"] = table.model->LineCount();
    state.SetItemsProcessed(state.iterations() * 1000000);
}
void BM_PaginateMillionRowsNoSums(benchmark::State& state) { PaginateOneLineRows(state, false); }
void BM_PaginateMillionRowsSummed(benchmark::State& state) { PaginateOneLineRows(state, true); }
BENCHMARK(BM_PaginateMillionRowsNoSums)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaginateMillionRowsSummed)->Unit(benchmark::kMillisecond);

// Group sums after each run of the sorted name column: every row's key is fetched and compared
// with the one before it on every layout (two runs here, so the added lines are few).
void BM_PaginateMillionRowsGroupTotals(benchmark::State& state) {
    PaginatedTable table(true, false, true);
    PrintOptions options = table.model->GetPrintOptions();
    options.sum_lines |= SumPlacement::GroupTotals;
    table.model->SetPrintOptions(options);
    SortRows(*table.model, SortRequest{1, SortDirection::Ascending, KeyType::Alphabetical});
    for (auto _ : state) {
        table.model->RebuildLayout();
        benchmark::DoNotOptimize(table.model->LineCount());
    }
    state.counters["lines"] = table.model->LineCount();
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_PaginateMillionRowsGroupTotals)->Unit(benchmark::kMillisecond);

// What the first layout of a summed column pays once: a million amounts read into the cache.
void BM_ReadMillionAmountsOnce(benchmark::State& state) {
    const CellTextSource cells{&BenchCellText, nullptr};
    for (auto _ : state) {
        SumValueColumn values;
        benchmark::DoNotOptimize(values.Read(cells, 12, 1000000));
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_ReadMillionAmountsOnce)->Unit(benchmark::kMillisecond);

}  // namespace
