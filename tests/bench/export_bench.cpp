// Benchmarks the four export writers on tables of up to 1,000,000 rows (the work grows linearly).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "grid/grid_model.h"
#include "print/export_writers.h"

namespace {

// Cells made up from the row key: a name, a city, an amount and a date, in code page 1251.
int BenchCellText(void*, int row_key, int column_identifier, char* buffer, int buffer_size) {
    int length = 0;
    switch (column_identifier) {
        case 11:
            length = std::snprintf(buffer, static_cast<std::size_t>(buffer_size) + 1, "Иван Петров %d", row_key % 997);
            break;
        case 12:
            length = std::snprintf(buffer, static_cast<std::size_t>(buffer_size) + 1, "%s",
                                   row_key % 3 ? "София" : "Пловдив; център");
            break;
        case 13:
            length = std::snprintf(buffer, static_cast<std::size_t>(buffer_size) + 1, "%d.%02d", row_key % 100000,
                                   row_key % 100);
            break;
        default:
            length = std::snprintf(buffer, static_cast<std::size_t>(buffer_size) + 1, "%02d.%02d.2024",
                                   row_key % 28 + 1, row_key % 12 + 1);
            break;
    }
    return length < buffer_size ? length : buffer_size;
}

// A file that only counts what it is given.
class CountingSink : public ByteSink {
public:
    std::size_t Write(const void*, std::size_t count) override {
        bytes += count;
        return count;
    }
    bool Seek(std::uint32_t) override { return true; }
    std::int64_t bytes = 0;
};

// The row-number column and four data columns, one DataRow line per row with a rule below.
std::unique_ptr<GridModel> MakeTable(std::int64_t rows) {
    auto grid = std::make_unique<GridModel>();
    grid->SetCellTextSource(&BenchCellText, nullptr);
    grid->AddColumn(11, "Име");
    grid->AddColumn(12, "Град");
    grid->AddColumn(13, "Сума");
    grid->AddColumn(14, "Дата");
    ItemList& lines = grid->LayoutLines();
    lines.MakeEmpty();
    lines.Reserve(static_cast<std::int32_t>(rows * sizeof(LayoutLine)));
    for (std::int64_t row = 0; row < rows; ++row) {
        const LayoutLine line{static_cast<std::uint32_t>(row), LineKind::DataRow, LineFlags::RuleBelow, 1,
                              static_cast<std::uint32_t>(row + 1)};
        lines.Append(&line, sizeof line);
    }
    return grid;
}

void Export(benchmark::State& state, int format) {
    const auto grid = MakeTable(state.range(0));
    std::int64_t bytes = 0;
    for (auto _ : state) {
        CountingSink sink;
        const ExportOutcome outcome = ExportTable(*grid, &sink, format, 0, ExportDate{2024, 3, 9});
        benchmark::DoNotOptimize(outcome);
        bytes = sink.bytes;
    }
    state.SetComplexityN(state.range(0));
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                  benchmark::Counter::kIsIterationInvariantRate);
    state.counters["file MB"] = static_cast<double>(bytes) / 1e6;
    state.SetBytesProcessed(bytes * state.iterations());
}

void ExportPlainTextRows(benchmark::State& state) { Export(state, kExportPlainText); }
void ExportTabSeparatedRows(benchmark::State& state) { Export(state, kExportTabSeparated); }
void ExportCsvRows(benchmark::State& state) { Export(state, kExportCsv); }
void ExportDbaseRows(benchmark::State& state) { Export(state, kExportDbase); }

#define LINTARO_EXPORT_BENCHMARK(name) \
    BENCHMARK(name)->RangeMultiplier(4)->Range(62500, 1000000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN)

LINTARO_EXPORT_BENCHMARK(ExportPlainTextRows);
LINTARO_EXPORT_BENCHMARK(ExportTabSeparatedRows);
LINTARO_EXPORT_BENCHMARK(ExportCsvRows);
LINTARO_EXPORT_BENCHMARK(ExportDbaseRows);

}  // namespace
