// Benchmarks filling a table store (and an item list) and reading every cell back.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "store/item_list.h"
#include "store/table_store.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

#if defined(__GLIBC__)
// Every run fills fresh memory, as the program's one load of a data file does. Left alone, glibc
// keeps a freed block of up to 32 MB in its heap, so repeated 100,000-row runs would refill warm
// pages while 1,000,000-row runs always get new ones: warm against cold, not size against size.
const bool g_fresh_memory_for_every_run = mallopt(M_MMAP_THRESHOLD, 1 << 20) == 1;
#endif

constexpr int kCellsPerRow = 10;

// Rows of ten 7-byte cells in columns 11..20: 7 + 10 * (3 + 7) = 107-byte records, as the loader
// builds them (8192-byte buffer, limit 8192), then every cell read back.
void FillAndReadTableStore(benchmark::State& state) {
    const std::int64_t row_count = state.range(0);
    char cells[kCellsPerRow][8];
    for (int cell = 0; cell < kCellsPerRow; ++cell)
        std::snprintf(cells[cell], sizeof cells[cell], "%07d", cell * 123457 % 10000000);
    std::vector<std::uint8_t> row(8192);
    std::uint8_t output[255];

    for (auto _ : state) {
        TableStore store;
        for (int column = 0; column < kCellsPerRow; ++column) {
            store.PutColumn(
                MakeStoreColumn(static_cast<std::int16_t>(11 + column), kTextColumn, "Колона"));
        }
        for (std::int64_t index = 0; index < row_count; ++index) {
            store.BeginRow(row.data(), row.size());
            for (int cell = 0; cell < kCellsPerRow; ++cell) {
                cells[cell][0] = static_cast<char>('0' + index % 10);
                TableStore::PutField(row.data(), row.size(), static_cast<std::int16_t>(11 + cell),
                                     cells[cell], 7, 8192);
            }
            if (!store.AddRow(row.data(), row.size())) state.SkipWithError("AddRow failed");
        }
        std::size_t bytes_read = 0;
        for (std::int64_t index = 0; index < row_count; ++index) {
            for (int cell = 0; cell < kCellsPerRow; ++cell) {
                bytes_read += store.GetCellText(index, static_cast<std::int16_t>(11 + cell), output,
                                                sizeof output);
            }
        }
        if (bytes_read != static_cast<std::size_t>(row_count) * kCellsPerRow * 7)
            state.SkipWithError("cells lost");
        benchmark::DoNotOptimize(output);
    }
    state.counters["rows_per_second"] = benchmark::Counter(
        static_cast<double>(row_count), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(FillAndReadTableStore)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Appending 11-byte layout lines to a list whose growth step is the record size.
void AppendLayoutLines(benchmark::State& state) {
    const std::int64_t line_count = state.range(0);
    const std::uint8_t line[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    for (auto _ : state) {
        ItemList lines(11, 11);
        for (std::int64_t index = 0; index < line_count; ++index) lines.Append(line, sizeof line);
        benchmark::DoNotOptimize(lines.Data());
    }
    state.counters["lines_per_second"] = benchmark::Counter(
        static_cast<double>(line_count), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(AppendLayoutLines)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
