// Dot-matrix pages: control sequences, the page's lines as text, the sheet-by-sheet print run.
#include "print/dot_matrix.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "grid/char_render.h"
#include "grid/data_row_run.h"
#include "grid/sum_line_render.h"
#include "print/dos_cyrillic.h"
#include "print/export_writers.h"
#include "print/line_block_writer.h"
#include "print/ordered_batches.h"
#include "store/item_list.h"

namespace {

// Counted strings, indexed [model - 1][mode - 1][end]; a pair the model does not list is empty.
// Model 1 is the IBM emulation, 2 the IBM printers with NLQ, 3 the EPSON emulation. Modes:
// 1 Draft 10, 2 Draft 12, 3 Compression 17, 4 Pica 10 (NLQ), 5 Elite 12 (NLQ).
constexpr int kModels = 3;
constexpr int kModes = 5;
constexpr std::uint8_t kSequences[kModels][kModes][2][6] = {
    {
        {{1, 0x12}, {0}},
        {{2, 0x1B, 0x3A}, {1, 0x12}},
        {{1, 0x0F}, {1, 0x12}},
        {{0}, {0}},
        {{0}, {0}},
    },
    {
        {{4, 0x1B, 0x49, 0x00, 0x12}, {0}},
        {{5, 0x1B, 0x49, 0x00, 0x1B, 0x3A}, {1, 0x12}},
        {{4, 0x1B, 0x49, 0x00, 0x0F}, {1, 0x12}},
        {{4, 0x1B, 0x49, 0x02, 0x12}, {3, 0x1B, 0x49, 0x00}},
        {{5, 0x1B, 0x49, 0x02, 0x1B, 0x3A}, {4, 0x1B, 0x49, 0x00, 0x12}},
    },
    {
        {{3, 0x1B, 0x50, 0x12}, {0}},
        {{3, 0x1B, 0x4D, 0x12}, {2, 0x1B, 0x50}},
        {{3, 0x1B, 0x50, 0x0F}, {1, 0x12}},
        {{0}, {0}},
        {{0}, {0}},
    },
};
constexpr std::uint8_t kNoSequence[1] = {0};

constexpr char kLineEnd[] = "\r\n";

// A margin or paper length in lines as a page uses it: 0 .. kLongestTextPage, whatever the
// settings hold, so that no value sends more than a bounded number of lines per page.
int PageLines(std::int32_t lines) { return std::clamp<std::int32_t>(lines, 0, kLongestTextPage); }

int CountLineEnds(const ItemList& text) {
    const std::uint8_t* bytes = text.Data();
    return static_cast<int>(std::count(bytes, bytes + text.Size(), static_cast<std::uint8_t>('\n')));
}

}  // namespace

const std::uint8_t* ControlSequence(int model, int mode, bool begin) {
    if (model < 1 || model > kModels || mode < 1 || mode > kModes) return kNoSequence;
    return kSequences[model - 1][mode - 1][begin ? 0 : 1];
}

void SendControlSequence(ByteSink& port, int model, int mode, bool begin) {
    const std::uint8_t* sequence = ControlSequence(model, mode, begin);
    for (int i = 1; i <= sequence[0]; ++i) port.Write(sequence + i, 1);
}

bool FindPageLines(const GridModel& grid, int page_index, int& first, int& end) {
    first = end = 0;
    if (page_index < 0) return false;
    const int count = grid.LineCount();
    int page = 0;
    int start = 0;
    for (int i = 0; i <= count; ++i) {
        if (i < count && grid.Line(i).kind != LineKind::PageBreak) continue;
        if (page == page_index) {
            first = start;
            end = i;
            return end > first;
        }
        ++page;
        start = i + 1;
    }
    return false;
}

int CountLayoutPages(const GridModel& grid) {
    const int count = grid.LineCount();
    if (count == 0) return 0;
    int pages = 1;
    for (int i = 0; i < count; ++i) {
        if (grid.Line(i).kind == LineKind::PageBreak) ++pages;
    }
    return pages;
}

namespace {

// Where a page's bytes go: straight to the port, or gathered for it on another thread.
struct PortOutput {
    ByteSink& port;
    bool Write(const void* bytes, std::size_t count) { return port.Write(bytes, count) == count; }
};
struct GatheredOutput {
    LineBlockWriter& lines;
    bool Write(const void* bytes, std::size_t count) { return lines.Append(bytes, count); }
};

template <typename Output>
void SendSequence(Output& out, int model, int mode, bool begin) {
    const std::uint8_t* sequence = ControlSequence(model, mode, begin);
    for (int i = 1; i <= sequence[0]; ++i) out.Write(sequence + i, 1);
}

// Renders the data rows that start at line `first` (before `end`, at most a run's worth) into
// `bytes` with `rows`, row k taking sizes[k] bytes of text_lines[k] lines; their number, 0 when
// line `first` is no data row or no room was had.
int RenderRowRun(const GridModel& grid, DataRowRun& rows, int first, int end, std::vector<char>& bytes,
                 std::size_t* sizes, int* text_lines) {
    LayoutLine lines[DataRowRun::kMostLines];
    int count = 0;
    std::size_t size = 0;
    for (; rows.Ready() && first + count < end && count < DataRowRun::kMostLines; ++count) {
        lines[count] = grid.Line(first + count);
        if (lines[count].kind != LineKind::DataRow) break;
        sizes[count] = rows.Bytes(lines[count]);
        text_lines[count] = DataRowRun::TextLines(lines[count]);
        size += sizes[count];
    }
    if (count == 0) return 0;
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    rows.Render(lines, count, bytes.data());
    return count;
}

// The lines [first, end) of a page as WriteTextPage sends them, with the character widths
// already computed and the table `width` characters wide; the data rows made in runs by `rows`.
template <typename Output>
bool WritePage(const GridModel& grid, Output& out, int first, int end, bool convert, const PrintSettings& settings,
               int width, DataRowRun& rows) {
    ItemList text(1024, 1024);
    if (text.Capacity() == 0) return false;
    std::vector<char> row_bytes;

    const int top_margin = PageLines(settings.top_margin);
    for (int i = 0; i < top_margin; ++i) out.Write(kLineEnd, 2);
    SendSequence(out, settings.dot_matrix_model, settings.dot_matrix_mode, true);
    int lines = top_margin;
    bool written = true;
    std::size_t row_sizes[DataRowRun::kMostLines];
    int row_lines[DataRowRun::kMostLines];
    for (int i = first; i < end && written; ++i) {
        if (const int count = RenderRowRun(grid, rows, i, end, row_bytes, row_sizes, row_lines); count > 0) {
            if (convert) ToDosCyrillic(row_bytes.data(), row_bytes.size());
            // Still a write per layout line, as the port has always been given them.
            const char* row = row_bytes.data();
            for (int k = 0; k < count && written; ++k) {
                written = out.Write(row, row_sizes[k]);
                if (written) lines += row_lines[k];
                row += row_sizes[k];
            }
            i += count - 1;
            continue;
        }
        text.MakeEmpty();
        RenderLayoutLine(grid, grid.Line(i), text, width, settings.left_margin);
        if (convert) ToDosCyrillic(text.Data(), static_cast<std::size_t>(text.Size()));
        if (!out.Write(text.Data(), static_cast<std::size_t>(text.Size()))) {
            written = false;
            break;
        }
        lines += CountLineEnds(text);
    }
    SendSequence(out, settings.dot_matrix_model, settings.dot_matrix_mode, false);
    // Continuous paper has no sheet edge to start the next page at: the page is filled to the
    // paper's length, so every page starts at the top of its own form.
    if (written && settings.paper_feed != 0) {
        for (int i = lines; i < PageLines(settings.paper_height); ++i) out.Write(kLineEnd, 2);
    }
    return true;
}

bool WritePageToPort(GridModel& grid, ByteSink& port, int first, int end, bool convert, const PrintSettings& settings,
                     int width) {
    PortOutput out{port};
    DataRowRun rows(grid, width, settings.left_margin);
    return WritePage(grid, out, first, end, convert, settings, width, rows);
}

// Pages made on another thread go out in batches of about this many bytes of lines.
constexpr std::size_t kBatchBytes = std::size_t{4} << 20;

// The pages [first, end) of `starts` in the run's order, made as one gathered line each on
// `threads` threads and written by the calling thread, asking for each sheet before its page as
// the run one page at a time does. False when no thread could be had: nothing was asked or sent.
bool PrintPagesApart(GridModel& grid, ByteSink& port, const std::vector<int>& starts, const std::vector<long long>& pages,
                     const PrintSettings& settings, SheetPrompt& prompt, WorkProgress* progress, long long pages_chosen,
                     int threads, TextPrintRun& run) {
    ComputeCharWidths(grid);
    WidenCharWidthsToSums(grid);
    const int width = TextPageWidth(grid);
    const std::size_t page_bytes = (static_cast<std::size_t>(std::max(width, 0)) + 2) *
                                   static_cast<std::size_t>(std::max(PageLines(settings.paper_height), 1));
    const std::size_t per_batch = std::clamp<std::size_t>(kBatchBytes / page_bytes, 1, 1024);
    const auto lines_of = [&starts](long long page, int& first, int& end) {
        first = starts[static_cast<std::size_t>(page - 1)];
        end = starts[static_cast<std::size_t>(page)] - 1;
    };
    const GridModel& table = grid;
    return RunOrderedBatches(
        (pages.size() + per_batch - 1) / per_batch, threads,
        [&](std::size_t batch, LineBlockWriter& lines) {
            DataRowRun rows(table, width, settings.left_margin);
            const std::size_t last = std::min(pages.size(), (batch + 1) * per_batch);
            for (std::size_t k = batch * per_batch; k < last; ++k) {
                int first = 0;
                int end = 0;
                lines_of(pages[k], first, end);
                GatheredOutput out{lines};
                if (end > first) WritePage(table, out, first, end, true, settings, width, rows);
                if (!lines.EndLine(false)) return false;
            }
            return true;
        },
        [&](std::size_t batch, const LineBlockWriter& lines, bool) {
            for (std::size_t k = 0; k < lines.LinesHeld(); ++k) {
                if (run.prompts > 0 && progress != nullptr && !progress->KeepGoing(run.prompts, pages_chosen)) {
                    run.cancelled = true;
                    return false;
                }
                ++run.prompts;
                if (!prompt.AskForNewSheet()) {
                    run.cancelled = true;
                    return false;
                }
                const std::string_view page = lines.LineHeld(k);
                int first = 0;
                int end = 0;
                lines_of(pages[batch * per_batch + k], first, end);
                if (end <= first) continue;
                port.Write(page.data(), page.size());
                ++run.pages_sent;
            }
            return true;
        });
}

}  // namespace

bool WriteTextPage(GridModel& grid, ByteSink* port, int page_index, bool convert,
                   const PrintSettings& settings) {
    if (port == nullptr) return false;
    int first = 0;
    int end = 0;
    if (!FindPageLines(grid, page_index, first, end)) return false;
    ComputeCharWidths(grid);
    WidenCharWidthsToSums(grid);
    return WritePageToPort(grid, *port, first, end, convert, settings, TextPageWidth(grid));
}

bool TextFitsPaper(GridModel& grid, const PrintSettings& settings) {
    ComputeCharWidths(grid);
    WidenCharWidthsToSums(grid);
    const std::int64_t indent = std::clamp(settings.left_margin, 0, kLongestIndent);
    return indent + TextPageWidth(grid) <=
           static_cast<std::int64_t>(settings.paper_width) - std::max(settings.right_margin, 0);
}

TextPrintRun PrintTextPages(GridModel& grid, ByteSink& port, const TextPageChoice& choice,
                            const PrintSettings& settings, SheetPrompt& prompt, WorkProgress* progress, int threads) {
    TextPrintRun run;
    // Where every page starts, found in one pass: a run of thousands of pages must not scan the
    // layout from its top for each of them.
    std::vector<int> starts;  // page p is [starts[p], starts[p + 1] - 1)
    starts.push_back(0);
    for (int i = 0; i < grid.LineCount(); ++i) {
        if (grid.Line(i).kind == LineKind::PageBreak) starts.push_back(i + 1);
    }
    starts.push_back(grid.LineCount() + 1);
    const long long page_count = grid.LineCount() == 0 ? 0 : static_cast<long long>(starts.size()) - 1;
    int width = -1;
    // Only the pages that exist are walked, however far the typed numbers reach: a last page
    // of 2147483647 must not count on for billions of pages that print nothing.
    const long long first_page = std::max<long long>(choice.from_page, 1);
    const long long last_page = std::min<long long>(choice.to_page, page_count);
    const auto chosen = [&choice](long long page) {
        return !(choice.subset == 1 && page % 2 == 0) && !(choice.subset == 2 && page % 2 != 0);
    };
    long long pages_chosen = 0;
    for (long long page = first_page; progress != nullptr && page <= last_page; ++page) {
        if (chosen(page)) ++pages_chosen;
    }
    if (ExportRowsMadeApart(grid, threads) && last_page >= first_page) {
        std::vector<long long> pages;
        for (long long page = first_page; page <= last_page; ++page) {
            if (chosen(page)) pages.push_back(page);
        }
        if (PrintPagesApart(grid, port, starts, pages, settings, prompt, progress, pages_chosen, threads, run)) return run;
    }
    for (long long page = first_page; page <= last_page; ++page) {
        if (!chosen(page)) continue;
        // A page that does not exist would print nothing: asking for a sheet for it would waste one.
        if (page < 1 || page > page_count) continue;
        if (run.prompts > 0 && progress != nullptr && !progress->KeepGoing(run.prompts, pages_chosen)) {
            run.cancelled = true;
            break;
        }
        ++run.prompts;
        if (!prompt.AskForNewSheet()) {
            run.cancelled = true;
            break;
        }
        // The widths come from the whole table: found once for the run, not once per page.
        if (width < 0) {
            ComputeCharWidths(grid);
            WidenCharWidthsToSums(grid);
            width = TextPageWidth(grid);
        }
        const int first = starts[static_cast<std::size_t>(page - 1)];
        const int end = starts[static_cast<std::size_t>(page)] - 1;
        if (end > first && WritePageToPort(grid, port, first, end, true, settings, width)) ++run.pages_sent;
    }
    return run;
}
