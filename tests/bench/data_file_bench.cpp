// Benchmarks reading a data file's table part (titles, types, rows) into a new store.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "formats/data_file.h"

namespace {

// A data file like the ones other programs write: six columns of names, cities, amounts, dates
// and notes, CR LF line ends.
std::string MakeDataFile(std::int64_t rows) {
    std::string file =
        "WindowTitle: Bench\r\nHeader:\r\nLeft\tRight\r\nTitles:\r\n"
        "No\tName\tCity\tAmount\tDate\tNote\r\nTypes:\r\nNumber\tText\tText\tNumber\tDate\tText\r\n"
        "Data:\r\n";
    char line[160];
    for (std::int64_t row = 0; row < rows; ++row) {
        std::snprintf(line, sizeof line,
                      "%lld\tIvan Petrov Ivanov %lld\tSofia\t%lld.%02lld\t01.%02lld.2026\tdelivered on time\r\n",
                      static_cast<long long>(row + 1), static_cast<long long>(row % 97),
                      static_cast<long long>(row * 7 % 100000), static_cast<long long>(row % 100),
                      static_cast<long long>(row % 12 + 1));
        file += line;
    }
    return file;
}

void ReadDataFile(benchmark::State& state) {
    const std::string file = MakeDataFile(state.range(0));
    for (auto _ : state) {
        DataFileTable table;
        benchmark::DoNotOptimize(ReadDataFileTable(file, table, [] { return 500; }));
    }
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                  benchmark::Counter::kIsIterationInvariantRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(file.size()) * state.iterations());
}
BENCHMARK(ReadDataFile)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
