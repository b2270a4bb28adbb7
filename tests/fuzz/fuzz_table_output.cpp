// Fuzzes a table from its data file (and a layout file) to every output: loading, pagination,
// sorting by one column with every key type and filtering it, the boxed text, the LPT1 pages
// and the four export writers (in the Windows code table for
// inputs of even length, in DOS for odd ones). Every output must keep its records whole, send
// no cell byte as a printer command and stay bounded whatever the head's margins.
//
// The input is a data file; when it holds kLayoutMarker, the bytes after its last occurrence are
// a column layout file applied to the grid, as the second name on the command line would be.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "formats/data_file.h"
#include "formats/description.h"
#include "formats/store_to_grid.h"
#include "grid/cell_text_source.h"
#include "grid/char_render.h"
#include "grid/grid_model.h"
#include "grid/sort_filter.h"
#include "grid/sum_lines.h"
#include "print/dot_matrix.h"
#include "print/export_writers.h"
#include "base/byte_order.h"
#include "store/item_list.h"
#include "tests/unit/fake_measuring_device.h"

namespace {

constexpr std::string_view kLayoutMarker("\0\0LAYOUT\0\0", 10);
constexpr int kMostPagesPrinted = 4;  // enough to cross page breaks; the rest is the same work

void Check(bool condition) {
    if (!condition) std::abort();
}

class NoPrinters : public PrinterDirectory {
public:
    std::string DefaultPrinterName() override { return "PDF"; }
    void AdoptDriverPaper(PrintSettings&) override {}
};

// The checks below walk every output byte; left out of the coverage instrumentation they cost
// what a plain loop costs, and the fuzzer's time goes to the code under test.
#define LINTARO_UNCOUNTED __attribute__((no_sanitize("coverage")))

class AlwaysOk : public SheetPrompt {
public:
    bool AskForNewSheet() override { return true; }
};

PrintSettings g_settings;
const TableStore* g_store = nullptr;

PrintSettings CurrentSettings(void*) { return g_settings; }

int StoreCells(void*, int row_key, int column_identifier, char* buffer, int size) {
    return CellTextFromStore(g_store, row_key, column_identifier, buffer, size);
}

void StoreColumnCells(void*, int column_identifier, const std::uint32_t* row_keys, int count, char* texts,
                      std::uint8_t* lengths) {
    CellColumnFromStore(g_store, column_identifier, row_keys, count, texts, lengths);
}

// Only the writer's own CR LF may end a line (and its own TAB part a tab-separated record): no
// other byte below 0x20.
LINTARO_UNCOUNTED void CheckTextLines(const std::uint8_t* bytes, std::size_t size, bool separator_tabs = false) {
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] == '\r') {
            Check(i + 1 < size && bytes[i + 1] == '\n');
            ++i;
        } else {
            Check(bytes[i] >= 0x20 || (separator_tabs && bytes[i] == '\t'));
        }
    }
}

int VisibleColumnCount(const GridModel& grid) {
    int count = 0;
    for (int i = 0; i < grid.ColumnCount(); ++i) count += grid.IsColumnVisible(i) ? 1 : 0;
    return count;
}

int DataRowLines(const GridModel& grid) {
    int rows = 0;
    for (int i = 0; i < grid.LineCount(); ++i) rows += grid.Line(i).kind == LineKind::DataRow ? 1 : 0;
    return rows;
}

// A data row's key as sorting reads it, ended at its first NUL.
void KeyOf(const LayoutLine& line, int source, char* key) {
    key[0] = '\0';
    const int length = std::clamp(StoreCells(nullptr, static_cast<int>(line.key), source, key, kCellTextLimit), 0,
                                  kCellTextLimit);
    key[length] = '\0';
}

// Sorts by one column with every key type, then filters it between its first and last keys:
// a sort keeps every row and leaves each one in order with the next, a filter keeps some.
void SortAndFilter(GridModel& grid, std::size_t seed) {
    if (grid.ColumnCount() < 2) return;
    constexpr int kYear = 2026;
    const int column = 1 + static_cast<int>(seed % static_cast<std::size_t>(grid.ColumnCount() - 1));
    const int source = grid.Column(column)->source;
    const int rows = DataRowLines(grid);
    const bool descending = (seed / 7) % 2 == 1;
    char previous[kCellTextLimit + 1];
    char key[kCellTextLimit + 1];
    for (std::int32_t type : {0, 1, 2, 3, 4}) {
        SortRows(grid, SortRequest{column, descending ? SortDirection::Descending : SortDirection::Ascending, type},
                 kYear);
        Check(DataRowLines(grid) == rows);
        bool first = true;
        for (int i = 0; i < grid.LineCount(); ++i) {
            const LayoutLine line = grid.Line(i);
            if (line.kind != LineKind::DataRow) continue;
            KeyOf(line, source, key);
            Check(first || CompareKeys(previous, key, type, descending, kYear) <= 0);
            std::memcpy(previous, key, sizeof key);
            first = false;
        }
    }
    FilterRequest request{};
    request.column = column;
    request.data_type = static_cast<std::int32_t>(seed % 5);
    bool first = true;
    for (int i = 0; i < grid.LineCount(); ++i) {
        const LayoutLine line = grid.Line(i);
        if (line.kind != LineKind::DataRow) continue;
        KeyOf(line, source, key);
        std::strncpy(first ? request.from : request.to, key, kFilterBoundLimit);
        first = false;
    }
    const bool kept = FilterRows(grid, request, kYear);
    Check(kept ? DataRowLines(grid) <= rows : DataRowLines(grid) == rows);
}

// Removes every begin and end sequence of the model and mode: the printer's own commands.
LINTARO_UNCOUNTED std::string WithoutSequences(std::string bytes, int model, int mode) {
    for (bool begin : {true, false}) {
        const std::uint8_t* sequence = ControlSequence(model, mode, begin);
        const std::string command(reinterpret_cast<const char*>(sequence + 1), sequence[0]);
        if (command.empty()) continue;
        for (std::size_t at; (at = bytes.find(command)) != std::string::npos;) bytes.erase(at, command.size());
    }
    return bytes;
}

// The first pages of the layout as a print run sends them to LPT1.
void PrintOnLpt1(GridModel& grid) {
    // A head that chose a Windows printer still has its table sent to LPT1 once, as printed
    // after a print setup that changed nothing else.
    const PrintSettings settings =
        g_settings.printer_kind == kDotMatrixPrinter ? g_settings : DotMatrixPrintSettings();
    const int pages = std::min(CountLayoutPages(grid), kMostPagesPrinted);
    MemoryByteSink port;
    AlwaysOk prompt;
    const TextPrintRun run = PrintTextPages(grid, port, TextPageChoice{1, pages, 0}, settings, prompt);
    Check(run.prompts == pages && run.pages_sent <= pages && !run.cancelled);
    const std::string sent(port.Bytes().begin(), port.Bytes().end());
    const std::string text = WithoutSequences(sent, settings.dot_matrix_model, settings.dot_matrix_mode);
    CheckTextLines(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    // The run widened every summed column to its sums: no sum is cut.
    char sum[kCellTextLimit + 1];
    for (int i = 0; i < grid.LineCount(); ++i) {
        const LayoutLine line = grid.Line(i);
        if (!IsSumLine(line.kind)) continue;
        for (int c = 0; c < grid.ColumnCount(); ++c) {
            if (grid.IsColumnVisible(c)) Check(SumLineCellText(grid, line, c, sum) <= grid.Column(c)->character_width_used);
        }
    }
    // Bounded whatever the margins: per page at most the longest page of margin and fill, and
    // the page's own lines, each no wider than the longest indent and the table.
    int first = 0;
    int end = 0;
    std::int64_t layout_lines = 0;
    for (int page = 0; page < pages; ++page) {
        if (FindPageLines(grid, page, first, end)) layout_lines += end - first;
    }
    const std::int64_t longest_line = kLongestIndent + static_cast<std::int64_t>(TextPageWidth(grid)) + 1024;
    const std::int64_t lines = 2 * kLongestTextPage * pages + 260 * layout_lines;
    Check(static_cast<std::int64_t>(text.size()) <= lines * longest_line);
}

// Every writer in one code table: the DOS conversion differs only byte for byte.
LINTARO_UNCOUNTED void ExportEveryFormat(GridModel& grid, int code_table) {
    const ExportDate date{2024, 3, 9};
    const int columns = VisibleColumnCount(grid);
    for (int format : {kExportPlainText, kExportTabSeparated, kExportCsv, kExportDbase}) {
        MemoryByteSink file;
        const ExportOutcome outcome = ExportTable(grid, &file, format, code_table, date);
        const std::vector<std::uint8_t>& bytes = file.Bytes();
        Check(!outcome.write_failed);
        if (format == kExportPlainText) CheckTextLines(bytes.data(), bytes.size());
        if (format == kExportTabSeparated) {
            // One record per line: the TAB line, the titles, the empty line and the rows,
            // each with one TAB between two columns.
            CheckTextLines(bytes.data(), bytes.size(), true);
            std::size_t line_start = 0;
            int lines = 0;
            for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
                if (bytes[i] != '\r') continue;
                const auto tabs = std::count(bytes.begin() + static_cast<long>(line_start),
                                             bytes.begin() + static_cast<long>(i), '\t');
                if (lines == 0) Check(tabs == columns);
                else if (lines != 2) Check(tabs == std::max(columns - 1, 0));
                ++lines;
                line_start = i + 2;
            }
            Check(lines == 3 + DataRowLines(grid));
        }
        if (format == kExportCsv) {
            // Outside quotes no control byte but the record's own CR LF; quotes pair up.
            bool quoted = false;
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                if (bytes[i] == '"') quoted = !quoted;
                if (quoted && (bytes[i] == '\r' || bytes[i] == '\n')) continue;
                if (bytes[i] == '\r') Check(!quoted && i + 1 < bytes.size() && bytes[++i] == '\n');
                else Check(bytes[i] >= 0x20);
            }
            Check(!quoted);
        }
        if (format == kExportDbase) {
            if (outcome.too_wide) {
                Check(bytes.empty() && !outcome.ok);
                continue;
            }
            Check(outcome.ok);
            if (columns == 0) {
                Check(bytes.empty());
                continue;
            }
            Check(bytes.size() >= 33);
            const std::size_t header = ReadUint16(bytes.data() + 8);
            const std::size_t record = ReadUint16(bytes.data() + 10);
            Check(header == 33u + 32u * static_cast<std::size_t>(columns));
            Check(record >= 1 + static_cast<std::size_t>(columns));
            Check(bytes.size() == header + record * ReadUint32(bytes.data() + 4));
            Check(ReadUint32(bytes.data() + 4) == static_cast<std::uint32_t>(DataRowLines(grid)));
            for (std::size_t i = header; i < bytes.size(); ++i) Check(bytes[i] >= 0x20);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view file(reinterpret_cast<const char*>(data), size);
    std::string_view layout;
    const std::size_t marker = file.rfind(kLayoutMarker);
    if (marker != std::string_view::npos) {
        layout = file.substr(marker + kLayoutMarker.size());
        file = file.substr(0, marker);
    }

    // Printer.cfg as a dot-matrix printer on continuous paper, so that a head without a
    // "Printer:" key still paginates in lines and fills its pages.
    g_settings = DotMatrixPrintSettings();
    g_settings.paper_feed = 1;
    FakeMeasuringDevice screen(6, 13, 96);
    FakeMeasuringDevice print(25, 50, 300);
    GridModel grid(GridEnvironment{&screen, &print, nullptr, &CurrentSettings});
    // Half the inputs read whole columns as the program does, half cell by cell as the converter.
    grid.SetCellTextSource(&StoreCells, nullptr, size % 2 == 0 ? &StoreColumnCells : nullptr);

    DescriptionState state;
    state.settings = g_settings;
    state.font = grid.GetFont();
    state.has_font = true;
    NoPrinters printers;
    ApplyDescription(DescriptionHeadOf(file), state, printers);
    g_settings = state.settings;
    grid.StoreFont(state.font);

    DataFileTable table;
    if (ReadDataFileTable(file, table, [] { return 321; }) != TableReadResult::Read) return 0;
    g_store = table.store.get();
    if (!RebuildGridFromStore(grid, g_store, table.header.c_str(), table.footer.c_str())) {
        g_store = nullptr;
        return 0;
    }
    if (!layout.empty()) {
        grid.ApplyLayoutFileImage(reinterpret_cast<const std::uint8_t*>(layout.data()), layout.size());
        RefreshColumnTitles(grid, g_store);
    }
    grid.Reformat();

    SortAndFilter(grid, size);
    PrintOnLpt1(grid);
    ExportEveryFormat(grid, size % 2 == 0 ? kExportWindowsCodeTable : kExportDosCodeTable);
    g_store = nullptr;
    return 0;
}
