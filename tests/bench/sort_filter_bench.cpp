// Benchmarks sorting, filtering and restoring the rows of a large table held in a table store,
// and the plain exchange passes beside the fast sort.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "formats/store_to_grid.h"
#include "grid/grid_model.h"
#include "grid/sort_filter.h"
#include "store/table_store.h"
#include "tests/unit/exchange_pass_sort.h"

namespace {

constexpr std::int16_t kAmountColumn = 11;  // numbers such as "1234.56", one in twenty empty
constexpr std::int16_t kNameColumn = 12;    // three-word Cyrillic names, many alike

const char* const kFirst[] = {"Иван", "Георги", "Мария", "Елена", "Петър", "Десислава", "Николай"};
const char* const kMiddle[] = {"Петров", "Иванов", "Георгиев", "Николаев", "Стефанов"};
const char* const kLast[] = {"Иванов", "Петрова", "Георгиева", "Стоянов", "Костадинова", "Попов"};

const TableStore* g_store = nullptr;

int BenchCellText(void*, int row_key, int column_identifier, char* buffer, int size) {
    return CellTextFromStore(g_store, row_key, column_identifier, buffer, size);
}

void BenchColumnTexts(void*, int column_identifier, const std::uint32_t* row_keys, int count, char* texts,
                      std::uint8_t* lengths) {
    CellColumnFromStore(g_store, column_identifier, row_keys, count, texts, lengths);
}

// One store and one grid per row count, filled once: the store as the data file reader fills
// it, the grid with the amount and name columns and one data row per stored row.
struct Table {
    TableStore store;
    GridModel grid;
    std::vector<std::uint8_t> stored_lines;  // the layout lines in stored order

    explicit Table(int rows) {
        store.PutColumn(MakeStoreColumn(kAmountColumn, kNumberColumn, "Сума"));
        store.PutColumn(MakeStoreColumn(kNameColumn, kTextColumn, "Име"));
        std::mt19937 random(12345);
        std::vector<std::uint8_t> row(8192);
        char text[64];
        for (int i = 0; i < rows; ++i) {
            store.BeginRow(row.data(), row.size());
            if (random() % 20 != 0) {
                const int length = std::snprintf(text, sizeof text, "%.2f", (random() % 100000000) / 100.0);
                TableStore::PutField(row.data(), row.size(), kAmountColumn, text, static_cast<std::size_t>(length), 8192);
            }
            const int length = std::snprintf(text, sizeof text, "%s %s %s", kFirst[random() % 7], kMiddle[random() % 5],
                                              kLast[random() % 6]);
            TableStore::PutField(row.data(), row.size(), kNameColumn, text, static_cast<std::size_t>(length), 8192);
            store.AddRow(row.data(), row.size());
        }
        g_store = &store;
        grid.SetCellTextSource(&BenchCellText, nullptr, &BenchColumnTexts);
        grid.AddColumn(kAmountColumn, "Сума");
        grid.AddColumn(kNameColumn, "Име");
        grid.SetRowCount(rows);
        ItemList& lines = grid.LayoutLines();
        stored_lines.assign(lines.Data(), lines.Data() + lines.Size());
    }

    // Back to the rows in stored order, as after loading (not timed).
    void ResetRows() {
        g_store = &store;
        ItemList& lines = grid.LayoutLines();
        lines.MakeEmpty();
        lines.Append(stored_lines.data(), static_cast<std::int32_t>(stored_lines.size()));
    }

    std::vector<LayoutLine> DataRows() const {
        std::vector<LayoutLine> rows;
        for (int i = 0; i < grid.LineCount(); ++i) {
            const LayoutLine line = grid.Line(i);
            if (line.kind == LineKind::DataRow) rows.push_back(line);
        }
        return rows;
    }
};

Table& TableOf(int rows) {
    static std::unique_ptr<Table> table;
    static int table_rows = -1;
    if (table_rows != rows) {
        table.reset();
        table = std::make_unique<Table>(rows);
        table_rows = rows;
    }
    return *table;
}

// Arguments: rows, grid column (1 amount, 2 name), data type, direction.
SortRequest RequestOf(const benchmark::State& state) {
    return SortRequest{static_cast<std::int32_t>(state.range(1)), static_cast<std::int32_t>(state.range(3)),
                       static_cast<std::int32_t>(state.range(2))};
}

void SetRowsCounter(benchmark::State& state) {
    state.counters["rows_per_second"] =
        benchmark::Counter(static_cast<double>(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}

// The whole sort command on the model: keys fetched once, stable sort, layout rebuilt.
void SortRowsOfTable(benchmark::State& state) {
    Table& table = TableOf(static_cast<int>(state.range(0)));
    const SortRequest request = RequestOf(state);
    for (auto _ : state) {
        state.PauseTiming();
        table.ResetRows();
        state.ResumeTiming();
        SortRows(table.grid, request);
        benchmark::DoNotOptimize(table.grid.LayoutLines().Data());
    }
    SetRowsCounter(state);
}

// The ordering alone, without the layout: what the sort adds to the layout's own cost.
void OrderRowsOfTable(benchmark::State& state) {
    Table& table = TableOf(static_cast<int>(state.range(0)));
    table.ResetRows();
    const std::vector<LayoutLine> stored = table.DataRows();
    const SortRequest request = RequestOf(state);
    std::vector<LayoutLine> rows;
    for (auto _ : state) {
        state.PauseTiming();
        rows = stored;
        state.ResumeTiming();
        OrderRowsByKey(table.grid, rows.data(), rows.size(), request);
        benchmark::DoNotOptimize(rows.data());
    }
    SetRowsCounter(state);
}

// The same ordering by exchange passes: quadratic, so only for small tables.
void ExchangePassesOfTable(benchmark::State& state) {
    Table& table = TableOf(static_cast<int>(state.range(0)));
    table.ResetRows();
    const std::vector<LayoutLine> stored = table.DataRows();
    const SortRequest request = RequestOf(state);
    std::vector<LayoutLine> rows;
    for (auto _ : state) {
        state.PauseTiming();
        rows = stored;
        state.ResumeTiming();
        SortByExchangePasses(table.grid, rows.data(), rows.size(), request);
        benchmark::DoNotOptimize(rows.data());
    }
    SetRowsCounter(state);
}

// Arguments: rows, grid column, data type; the ranges keep about half of the rows.
void FilterRowsOfTable(benchmark::State& state) {
    Table& table = TableOf(static_cast<int>(state.range(0)));
    FilterRequest request{};
    request.column = static_cast<std::int32_t>(state.range(1));
    request.data_type = static_cast<std::int32_t>(state.range(2));
    if (request.data_type == KeyType::Number || request.data_type == KeyType::Amount) {
        std::strcpy(request.from, "250000");
        std::strcpy(request.to, "750000");
    } else {
        std::strcpy(request.from, "Георги");
        std::strcpy(request.to, "Николай");
    }
    for (auto _ : state) {
        state.PauseTiming();
        table.ResetRows();
        state.ResumeTiming();
        if (!FilterRows(table.grid, request)) state.SkipWithError("no row kept");
        benchmark::DoNotOptimize(table.grid.LayoutLines().Data());
    }
    SetRowsCounter(state);
}

void RestoreRowsOfTable(benchmark::State& state) {
    Table& table = TableOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        RestoreRows(table.grid);
        benchmark::DoNotOptimize(table.grid.LayoutLines().Data());
    }
    SetRowsCounter(state);
}

}  // namespace

// {rows, column, type, direction}: column 1 amounts, 2 names; type 0 text, 1 number,
// 2 alphabetical, 3 amount.
BENCHMARK(SortRowsOfTable)
    ->Args({1000000, 1, KeyType::Number, SortDirection::Ascending})
    ->Args({1000000, 1, KeyType::Number, SortDirection::Descending})
    ->Args({1000000, 2, KeyType::Text, SortDirection::Ascending})
    ->Args({1000000, 2, KeyType::Text, SortDirection::Descending})
    ->Args({1000000, 2, KeyType::Alphabetical, SortDirection::Ascending})
    ->Args({1000000, 1, KeyType::Amount, SortDirection::Descending})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(OrderRowsOfTable)
    ->Args({1000000, 1, KeyType::Number, SortDirection::Descending})
    ->Args({1000000, 2, KeyType::Text, SortDirection::Ascending})
    ->Args({1000000, 2, KeyType::Alphabetical, SortDirection::Ascending})
    ->Args({10000, 1, KeyType::Number, SortDirection::Descending})
    ->Args({10000, 2, KeyType::Text, SortDirection::Ascending})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ExchangePassesOfTable)
    ->Args({10000, 1, KeyType::Number, SortDirection::Descending})
    ->Args({10000, 2, KeyType::Text, SortDirection::Ascending})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(FilterRowsOfTable)
    ->Args({1000000, 1, KeyType::Number})
    ->Args({1000000, 2, KeyType::Text})
    ->Args({1000000, 2, KeyType::Alphabetical})
    ->Args({1000000, 1, KeyType::Amount})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(RestoreRowsOfTable)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);
