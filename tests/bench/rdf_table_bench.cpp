// Benchmarks every step of the core on the data files scripts/bench.sh writes (make-table.py,
// six columns), so that the core's figures stand beside the program's and other tools' on the
// same table. Devices are the fake measuring devices of the unit tests.
//
//   LINTARO_BENCH_DATA  folder holding rows-N.rdf (required; the benchmarks fail without it)
//   LINTARO_BENCH_ROWS  row counts, blank-separated (default "10000 100000 1000000")
//
// Benchmarks are registered size by size, so each table is opened once for all its steps.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "formats/data_file.h"
#include "formats/description.h"
#include "formats/store_to_grid.h"
#include "grid/char_render.h"
#include "grid/grid_model.h"
#include "grid/sort_filter.h"
#include "print/dot_matrix.h"
#include "print/export_writers.h"
#ifdef LINTARO_HAVE_PDF
#include "print/table_pdf_cairo.h"
#endif
#include "tests/unit/fake_measuring_device.h"

namespace {

// Grid columns of the make-table.py table: 0 is the row-number column.
constexpr int kNameColumn = 2;    // "Име", three-word names
constexpr int kAmountColumn = 4;  // "Сума", 0.01 .. 9999.99

// The printer behind the head's "Printer:" key: a default printer with A4 and no strips.
class BenchPrinters : public PrinterDirectory {
public:
    std::string DefaultPrinterName() override { return "PDF"; }
    void AdoptDriverPaper(PrintSettings&) override {}
};

PrintSettings g_settings = BuiltInPrintSettings();
PrintSettings CurrentSettings(void*) { return g_settings; }

const TableStore* g_store = nullptr;
int StoreText(void*, int row_key, int column_identifier, char* buffer, int size) {
    return CellTextFromStore(g_store, row_key, column_identifier, buffer, size);
}

std::string DataPath(long rows) {
    const char* folder = std::getenv("LINTARO_BENCH_DATA");
    if (folder == nullptr || *folder == '\0') return std::string();
    return std::string(folder) + "/rows-" + std::to_string(rows) + ".rdf";
}

// One read of the whole file, as the program's ReadWholeFile does.
bool ReadFileBytes(const std::string& path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return false;
    const std::streamoff size = file.tellg();
    if (size < 0) return false;
    bytes.resize(static_cast<std::size_t>(size));
    file.seekg(0);
    return static_cast<bool>(file.read(bytes.data(), size));
}

// A table opened as the program opens one: head, store, grid columns, natural widths, layout.
struct OpenTable {
    FakeMeasuringDevice screen{6, 13, 96};
    FakeMeasuringDevice print{25, 50, 300};
    FakePictureSizes pictures;
    std::unique_ptr<GridModel> grid;
    std::unique_ptr<TableStore> store;
    std::size_t file_bytes = 0;
};

std::unique_ptr<OpenTable> OpenDataFile(const std::string& path) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return nullptr;
    auto table = std::make_unique<OpenTable>();
    table->file_bytes = bytes.size();
    table->grid = std::make_unique<GridModel>(
        GridEnvironment{&table->screen, &table->print, &table->pictures, &CurrentSettings});
    table->grid->SetCellTextSource(&StoreText, nullptr);

    DescriptionState state;
    state.font = table->grid->GetFont();
    state.has_font = true;
    BenchPrinters printers;
    ApplyDescription(DescriptionHeadOf(bytes), state, printers);
    g_settings = state.settings;
    table->grid->StoreFont(state.font);

    DataFileTable read;
    if (ReadDataFileTable(bytes, read) != TableReadResult::Read) return nullptr;
    table->store = std::move(read.store);
    g_store = table->store.get();
    if (!RebuildGridFromStore(*table->grid, g_store, read.header.c_str(),
                              read.footer.empty() ? nullptr : read.footer.c_str())) {
        return nullptr;
    }
    table->grid->Reformat();
    return table;
}

// The table of the size being benchmarked, opened once and shared by its steps.
OpenTable* TableOf(benchmark::State& state) {
    static std::unique_ptr<OpenTable> table;
    static long table_rows = -1;
    const long rows = static_cast<long>(state.range(0));
    if (table_rows != rows) {
        table.reset();
        g_store = nullptr;
        table_rows = rows;
        const std::string path = DataPath(rows);
        if (!path.empty()) table = OpenDataFile(path);
    }
    if (!table) {
        state.SkipWithError("no rows-N.rdf in $LINTARO_BENCH_DATA (scripts/bench.sh writes them)");
        return nullptr;
    }
    g_store = table->store.get();
    return table.get();
}

void SetRowsRate(benchmark::State& state) {
    state.counters["rows_per_second"] =
        benchmark::Counter(static_cast<double>(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}

// A file sink that only counts: the core's work without the disk's.
class CountingSink : public ByteSink {
public:
    std::size_t Write(const void*, std::size_t count) override {
        bytes += count;
        return count;
    }
    bool Seek(std::uint32_t) override { return true; }
    std::int64_t bytes = 0;
};

// --- Steps ---------------------------------------------------------------------------------

// Reading the file and everything up to the first page laid out, as at start-up. Also reports
// the store image against the file: the memory the table takes per byte of data file.
void Open(benchmark::State& state) {
    const std::string path = DataPath(static_cast<long>(state.range(0)));
    std::size_t image_bytes = 0;
    std::size_t file_bytes = 0;
    for (auto _ : state) {
        std::unique_ptr<OpenTable> table = OpenDataFile(path);
        if (!table) {
            state.SkipWithError("no rows-N.rdf in $LINTARO_BENCH_DATA (scripts/bench.sh writes them)");
            break;
        }
        state.PauseTiming();
        image_bytes = table->store->Image().length;
        file_bytes = table->file_bytes;
        table.reset();
        g_store = nullptr;
        state.ResumeTiming();
    }
    state.counters["store_image_bytes"] = static_cast<double>(image_bytes);
    state.counters["file_bytes"] = static_cast<double>(file_bytes);
    state.counters["image_per_file_byte"] = file_bytes ? static_cast<double>(image_bytes) / file_bytes : 0.0;
    SetRowsRate(state);
}

// The table part of the file into a new store, alone.
void ReadTable(benchmark::State& state) {
    std::string bytes;
    if (!ReadFileBytes(DataPath(static_cast<long>(state.range(0))), bytes)) {
        state.SkipWithError("no rows-N.rdf in $LINTARO_BENCH_DATA (scripts/bench.sh writes them)");
        return;
    }
    for (auto _ : state) {
        DataFileTable table;
        benchmark::DoNotOptimize(ReadDataFileTable(bytes, table));
        state.PauseTiming();
        table.store.reset();
        state.ResumeTiming();
    }
    SetRowsRate(state);
}

// Ctrl+W: every cell measured on both fake devices, then the layout again.
void NaturalWidths(benchmark::State& state) {
    OpenTable* table = TableOf(state);
    if (table == nullptr) return;
    for (auto _ : state) table->grid->ApplyNaturalWidths();
    SetRowsRate(state);
}

// Pagination for the Windows printer (row heights, page breaks) on the fake printer.
void Paginate(benchmark::State& state) {
    OpenTable* table = TableOf(state);
    if (table == nullptr) return;
    for (auto _ : state) table->grid->RebuildLayout();
    state.counters["pages"] = CountLayoutPages(*table->grid);
    SetRowsRate(state);
}

// The sort command from the stored order: keys fetched once, stable sort, layout again.
void SortBy(benchmark::State& state, int column, std::int32_t data_type) {
    OpenTable* table = TableOf(state);
    if (table == nullptr) return;
    const SortRequest request{column, SortDirection::Ascending, data_type};
    for (auto _ : state) {
        state.PauseTiming();
        RestoreRows(*table->grid);
        state.ResumeTiming();
        SortRows(*table->grid, request);
    }
    RestoreRows(*table->grid);
    SetRowsRate(state);
}
void SortByNumber(benchmark::State& state) { SortBy(state, kAmountColumn, KeyType::Number); }
void SortByText(benchmark::State& state) { SortBy(state, kNameColumn, KeyType::Text); }

// The filter command: amounts from 2500 to 7500 as numbers, about half of the rows.
void Filter(benchmark::State& state) {
    OpenTable* table = TableOf(state);
    if (table == nullptr) return;
    FilterRequest request{};
    request.column = kAmountColumn;
    request.data_type = KeyType::Number;
    std::strcpy(request.from, "2500");
    std::strcpy(request.to, "7500");
    int kept = 0;
    for (auto _ : state) {
        state.PauseTiming();
        RestoreRows(*table->grid);
        state.ResumeTiming();
        if (!FilterRows(*table->grid, request)) state.SkipWithError("the filter kept no row");
        kept = table->grid->LineCount();
    }
    RestoreRows(*table->grid);
    state.counters["lines_kept"] = kept;
    SetRowsRate(state);
}

void Export(benchmark::State& state, int format) {
    OpenTable* table = TableOf(state);
    if (table == nullptr) return;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        CountingSink sink;
        const ExportOutcome outcome = ExportTable(*table->grid, &sink, format, 0, ExportDate{2026, 12, 8});
        if (!outcome.ok || outcome.write_failed) state.SkipWithError("the writer failed");
        bytes = sink.bytes;
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
    state.SetBytesProcessed(bytes * static_cast<std::int64_t>(state.iterations()));
    SetRowsRate(state);
}
void ExportPlainText(benchmark::State& state) { Export(state, kExportPlainText); }
void ExportTabSeparated(benchmark::State& state) { Export(state, kExportTabSeparated); }
void ExportCsv(benchmark::State& state) { Export(state, kExportCsv); }
void ExportDbase(benchmark::State& state) { Export(state, kExportDbase); }

// The table laid out for the dot-matrix printer (80 characters by 60 lines) while `body` runs.
template <typename Body>
void WithDotMatrixLayout(OpenTable& table, Body body) {
    const PrintSettings windows = g_settings;
    g_settings = DotMatrixPrintSettings();
    table.grid->Reformat();
    body(g_settings);
    g_settings = windows;
    table.grid->Reformat();
}

// One dot-matrix page as WriteTextPage sends it: character widths of the whole table first,
// then the page's lines rendered and converted to the DOS code table.
void DotMatrixPage(benchmark::State& state) {
    OpenTable* table = TableOf(state);
    if (table == nullptr) return;
    WithDotMatrixLayout(*table, [&](const PrintSettings& settings) {
        std::int64_t bytes = 0;
        for (auto _ : state) {
            CountingSink port;
            if (!WriteTextPage(*table->grid, &port, 0, true, settings)) state.SkipWithError("no first page");
            bytes = port.bytes;
        }
        state.counters["page_bytes"] = static_cast<double>(bytes);
    });
    SetRowsRate(state);
}

// The same page's lines alone, with the character widths already known: what one page costs
// by itself, against the whole-table scan above.
void DotMatrixPageLines(benchmark::State& state) {
    OpenTable* table = TableOf(state);
    if (table == nullptr) return;
    WithDotMatrixLayout(*table, [&](const PrintSettings& settings) {
        int first = 0;
        int end = 0;
        if (!FindPageLines(*table->grid, 0, first, end)) {
            state.SkipWithError("no first page");
            return;
        }
        ComputeCharWidths(*table->grid);
        const int width = TextPageWidth(*table->grid);
        ItemList text(1024, 1024);
        for (auto _ : state) {
            for (int i = first; i < end; ++i) {
                text.MakeEmpty();
                RenderLayoutLine(*table->grid, table->grid->Line(i), text, width, settings.left_margin);
                benchmark::DoNotOptimize(text.Data());
            }
        }
        state.counters["lines"] = end - first;
    });
}

// Character widths of every visible column over all rows (plain-text and dBase export, and
// every dot-matrix page, start with it).
void CharWidths(benchmark::State& state) {
    OpenTable* table = TableOf(state);
    if (table == nullptr) return;
    for (auto _ : state) ComputeCharWidths(*table->grid);
    SetRowsRate(state);
}

#ifdef LINTARO_HAVE_PDF
// The first 100 printed pages drawn into a PDF (every column group of each), the table laid out.
void PdfFirst100Pages(benchmark::State& state) {
    OpenTable* table = TableOf(state);
    if (table == nullptr) return;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        CountingSink sink;
        std::string error;
        if (!WriteTablePdf(*table->grid, g_settings, 1, 100, sink, error)) state.SkipWithError(error.c_str());
        bytes = sink.bytes;
    }
    state.counters["pdf_bytes"] = static_cast<double>(bytes);
}
#endif

std::vector<long> RowCounts() {
    const char* text = std::getenv("LINTARO_BENCH_ROWS");
    std::istringstream words(text != nullptr && *text != '\0' ? text : "10000 100000 1000000");
    std::vector<long> counts;
    for (long rows; words >> rows;) counts.push_back(rows);
    return counts;
}

const bool g_registered = [] {
    struct Step {
        const char* name;
        void (*function)(benchmark::State&);
    };
    static const Step kSteps[] = {
        {"RdfOpen", Open},
        {"RdfReadTable", ReadTable},
        {"RdfNaturalWidths", NaturalWidths},
        {"RdfPaginate", Paginate},
        {"RdfSortByNumber", SortByNumber},
        {"RdfSortByText", SortByText},
        {"RdfFilter", Filter},
        {"RdfExportPlainText", ExportPlainText},
        {"RdfExportTabSeparated", ExportTabSeparated},
        {"RdfExportCsv", ExportCsv},
        {"RdfExportDbase", ExportDbase},
        {"RdfCharWidths", CharWidths},
        {"RdfDotMatrixPage", DotMatrixPage},
        {"RdfDotMatrixPageLines", DotMatrixPageLines},
#ifdef LINTARO_HAVE_PDF
        {"RdfPdfFirst100Pages", PdfFirst100Pages},
#endif
    };
    for (long rows : RowCounts()) {
        for (const Step& step : kSteps) {
            benchmark::RegisterBenchmark(step.name, step.function)->Arg(rows)->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

}  // namespace
