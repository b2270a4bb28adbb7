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
constexpr int kCityColumn = 3;    // "Град", eleven town names
constexpr int kAmountColumn = 4;  // "Сума", 0.01 .. 9999.99
constexpr int kDateColumn = 5;    // "Дата", dd.mm.yyyy

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
void StoreColumnTexts(void*, int column_identifier, const std::uint32_t* row_keys, int count, char* texts,
                      std::uint8_t* lengths) {
    CellColumnFromStore(g_store, column_identifier, row_keys, count, texts, lengths);
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

// Reads the file in blocks into a new store, as the program's loader does.
TableReadResult ReadDataFileInBlocks(const std::string& path, std::string& head, DataFileTable& read,
                                     std::size_t& file_bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return TableReadResult::Unreadable;
    file_bytes = 0;
    const TableReadResult result = ReadDataFile(
        [&](char* buffer, std::size_t capacity) -> std::ptrdiff_t {
            const std::size_t count = std::fread(buffer, 1, capacity, file);
            file_bytes += count;
            return count == 0 && std::ferror(file) ? -1 : static_cast<std::ptrdiff_t>(count);
        },
        head, read);
    std::fclose(file);
    return result;
}

std::unique_ptr<OpenTable> OpenDataFile(const std::string& path) {
    auto table = std::make_unique<OpenTable>();
    std::string head;
    DataFileTable read;
    if (ReadDataFileInBlocks(path, head, read, table->file_bytes) != TableReadResult::Read) return nullptr;
    // As the GDI devices do for the usual fonts, whose byte widths add up.
    table->screen.offers_byte_advances = true;
    table->print.offers_byte_advances = true;
    table->grid = std::make_unique<GridModel>(
        GridEnvironment{&table->screen, &table->print, &table->pictures, &CurrentSettings});
    table->grid->SetCellTextSource(&StoreText, nullptr, &StoreColumnTexts);

    DescriptionState state;
    state.font = table->grid->GetFont();
    state.has_font = true;
    BenchPrinters printers;
    ApplyDescription(head, state, printers);
    g_settings = state.settings;
    table->grid->StoreFont(state.font);

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

// The bytes the table's rows take in the store: their stored forms and locations, and the image.
std::size_t StoreBytes(const TableStore& store) {
    std::size_t bytes = store.Image().length + 4 * static_cast<std::size_t>(store.CountRows()) + store.DictionaryBytes();
    for (std::uint32_t row = 0; row < store.CountRows(); ++row) bytes += store.RowRecord(row).length;
    return bytes;
}

// Reading the file and everything up to the first page laid out, as at start-up. Also reports
// the store against the file: the memory the table takes per byte of data file.
void OpenPath(benchmark::State& state, const std::string& path) {
    std::size_t store_bytes = 0;
    std::size_t file_bytes = 0;
    for (auto _ : state) {
        std::unique_ptr<OpenTable> table = OpenDataFile(path);
        if (!table) {
            state.SkipWithError("no such table in $LINTARO_BENCH_DATA (scripts/bench.sh writes them)");
            break;
        }
        state.PauseTiming();
        store_bytes = StoreBytes(*table->store);
        file_bytes = table->file_bytes;
        table.reset();
        g_store = nullptr;
        state.ResumeTiming();
    }
    state.counters["store_bytes"] = static_cast<double>(store_bytes);
    state.counters["file_bytes"] = static_cast<double>(file_bytes);
    state.counters["store_per_file_byte"] = file_bytes ? static_cast<double>(store_bytes) / file_bytes : 0.0;
}

void Open(benchmark::State& state) {
    OpenPath(state, DataPath(static_cast<long>(state.range(0))));
    SetRowsRate(state);
}

// Every cell of every column the table has, read through the cell text source; a cell costs
// the same whatever its column.
void ReadEveryCellOf(benchmark::State& state, const std::string& path) {
    std::string head;
    DataFileTable read;
    std::size_t file_bytes = 0;
    if (ReadDataFileInBlocks(path, head, read, file_bytes) != TableReadResult::Read) {
        state.SkipWithError("no such table in $LINTARO_BENCH_DATA (scripts/bench.sh writes them)");
        return;
    }
    const TableStore* store = read.store.get();
    const int columns = store->CountColumns();
    std::int64_t cells = 0;
    for (auto _ : state) {
        char buffer[256];
        std::int64_t bytes = 0;
        for (std::uint32_t row = 0; row < store->CountRows(); ++row) {
            for (int column = 0; column < columns; ++column) {
                bytes += CellTextFromStore(store, static_cast<int>(row), 11 + column, buffer, 255);
            }
        }
        benchmark::DoNotOptimize(bytes);
        cells += static_cast<std::int64_t>(store->CountRows()) * columns;
    }
    state.counters["cells_per_second"] = benchmark::Counter(static_cast<double>(cells), benchmark::Counter::kIsRate);
}

void ReadEveryCell(benchmark::State& state) {
    ReadEveryCellOf(state, DataPath(static_cast<long>(state.range(0))));
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
void SortAlphabetical(benchmark::State& state) { SortBy(state, kNameColumn, KeyType::Alphabetical); }
void SortAlphabeticalByCity(benchmark::State& state) { SortBy(state, kCityColumn, KeyType::Alphabetical); }
void SortByAmount(benchmark::State& state) { SortBy(state, kAmountColumn, KeyType::Amount); }
void SortByDate(benchmark::State& state) { SortBy(state, kDateColumn, KeyType::Date); }

// The filter command on one column from `from` to `to`.
void FilterBy(benchmark::State& state, int column, std::int32_t data_type, const char* from, const char* to) {
    OpenTable* table = TableOf(state);
    if (table == nullptr) return;
    FilterRequest request{};
    request.column = column;
    request.data_type = data_type;
    std::strcpy(request.from, from);
    std::strcpy(request.to, to);
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
// Amounts from 2500 to 7500 as numbers, about half of the rows.
void Filter(benchmark::State& state) { FilterBy(state, kAmountColumn, KeyType::Number, "2500", "7500"); }
// Names from "Г" to "Л" alphabetically, and the dates of the first half of 2020.
void FilterAlphabetical(benchmark::State& state) { FilterBy(state, kNameColumn, KeyType::Alphabetical, "г", "л"); }
void FilterByDate(benchmark::State& state) { FilterBy(state, kDateColumn, KeyType::Date, "1.1.2020", "30.06.2020"); }

void Export(benchmark::State& state, int format, int threads = 1) {
    OpenTable* table = TableOf(state);
    if (table == nullptr) return;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        CountingSink sink;
        const ExportOutcome outcome =
            ExportTable(*table->grid, &sink, format, 0, ExportDate{2026, 12, 8}, nullptr, threads);
        if (!outcome.ok || outcome.write_failed) state.SkipWithError("the writer failed");
        bytes = sink.bytes;
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
    state.SetBytesProcessed(bytes * static_cast<std::int64_t>(state.iterations()));
    SetRowsRate(state);
}
void ExportPlainText(benchmark::State& state) { Export(state, kExportPlainText); }
// As the program's export command runs it for a big table: the rows made on two threads.
void ExportPlainTextOnTwoThreads(benchmark::State& state) { Export(state, kExportPlainText, 2); }
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
        {"RdfReadEveryCell", ReadEveryCell},
        {"RdfNaturalWidths", NaturalWidths},
        {"RdfPaginate", Paginate},
        {"RdfSortByNumber", SortByNumber},
        {"RdfSortByText", SortByText},
        {"RdfSortAlphabetical", SortAlphabetical},
        {"RdfSortAlphabeticalByCity", SortAlphabeticalByCity},
        {"RdfSortByAmount", SortByAmount},
        {"RdfSortByDate", SortByDate},
        {"RdfFilter", Filter},
        {"RdfFilterAlphabetical", FilterAlphabetical},
        {"RdfFilterByDate", FilterByDate},
        {"RdfExportPlainText", ExportPlainText},
        {"RdfExportPlainTextOnTwoThreads", ExportPlainTextOnTwoThreads},
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
    // The odd shapes that scripts/bench.sh writes beside the tables (make-table.py --shape).
    const char* folder = std::getenv("LINTARO_BENCH_DATA");
    for (const char* shape : {"long-row", "growing", "wide"}) {
        const std::string path = std::string(folder != nullptr ? folder : ".") + "/shape-" + shape + ".rdf";
        benchmark::RegisterBenchmark((std::string("RdfOpenShape/") + shape).c_str(),
                                     [path](benchmark::State& state) { OpenPath(state, path); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("RdfReadEveryCellShape/") + shape).c_str(),
                                     [path](benchmark::State& state) { ReadEveryCellOf(state, path); })
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace
