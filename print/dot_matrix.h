// Dot-matrix output: the table as boxed text, page by page, framed by the printer model's
// control codes, with Cyrillic in the DOS code table. The port itself is the caller's sink.
#ifndef LINTARO_PRINT_DOT_MATRIX_H
#define LINTARO_PRINT_DOT_MATRIX_H

#include <cstdint>

#include "base/work_progress.h"
#include "grid/grid_model.h"
#include "print/byte_sink.h"
#include "base/print_settings.h"

// The begin (top of every page, after the top margin) or end (after the page's last line)
// sequence of a model and mode, as a counted string: a length byte, then the bytes. Models
// 1-3 and their modes are the printers the program knows; every other pair gives the empty
// string (a single 0 byte). Never null.
const std::uint8_t* ControlSequence(int model, int mode, bool begin);

// Writes the begin or end sequence to the port, one byte per write, as the printers want it.
void SendControlSequence(ByteSink& port, int model, int mode, bool begin);

// Layout lines [first, end) of page `page_index` (0-based): the lines before the first
// PageBreak are page 0, and so on. False when the page has no lines (a negative index, one
// beyond the last page, or an empty layout).
bool FindPageLines(const GridModel& grid, int page_index, int& first, int& end);

// Pages in the layout: one more than the PageBreak lines, 0 without lines.
int CountLayoutPages(const GridModel& grid);

// The most lines a page's top margin and length count: no dot-matrix paper is longer, and no
// setting can make a page send more.
constexpr int kLongestTextPage = 999;

// Writes one page: `settings.top_margin` CR LF pairs, the begin sequence of the settings'
// model and mode, every line of the page rendered as text (TextPageWidth wide, indented by
// `settings.left_margin` characters), converted to the DOS code table when `convert` is set,
// each line in one write, and the end sequence. Computes the character widths first. A failed
// or short write ends the lines; the end sequence is still sent. On continuous paper
// (`paper_feed` not 0) CR LF pairs, one per write, then fill the page to `paper_height` lines,
// so that each page takes exactly one form; single sheets get no fill and no form feed.
// Margins and the paper height count as 0 .. kLongestTextPage (the indent as the renderers
// take it), so the output of a page is bounded whatever the settings hold.
// A page that does not exist sends nothing at all and gives false; false also without a port
// or when the line buffer cannot be made. True otherwise.
bool WriteTextPage(GridModel& grid, ByteSink* port, int page_index, bool convert,
                   const PrintSettings& settings);

// Whether the table's text lines fit the paper: the left margin and the text page width within
// the characters per line less the right margin. Computes the character widths.
bool TextFitsPaper(GridModel& grid, const PrintSettings& settings);

// Asks the user to put a new sheet in; true only when they answered OK.
class SheetPrompt {
public:
    virtual ~SheetPrompt() = default;
    virtual bool AskForNewSheet() = 0;
};

// The pages the user chose, 1-based as typed, without any range check, and the subset of the
// "PagesToPrint" dialog: 0 all pages, 1 odd pages only, 2 even pages only.
struct TextPageChoice {
    int from_page = 1;
    int to_page = 1;
    int subset = 0;
};

// What a print run did.
struct TextPrintRun {
    int prompts = 0;       // sheets asked for (answered OK or not)
    int pages_sent = 0;    // pages WriteTextPage sent
    bool cancelled = false;
    bool port_unavailable = false;  // LPT1 could not be opened; nothing was sent
};

// Prints the chosen pages: for each page in from .. to that the subset keeps, asks for a sheet
// (anything but OK ends printing) and writes the page converted, with the model, mode and
// margins of `settings`, as WriteTextPage does; the character widths are computed once for the
// run, before the first page. A page number without a page is skipped without asking. Before
// every page but the first a `progress` is told the pages done of the pages chosen; when it says
// stop, printing ends there (`cancelled`), the pages sent staying sent. With `threads` above 1
// (and no column with sums) the pages are made on that many threads, a few batches ahead of the
// sheets asked for, and sent in order: the same bytes and the same questions; the character
// widths are then computed before the first question.
TextPrintRun PrintTextPages(GridModel& grid, ByteSink& port, const TextPageChoice& choice,
                            const PrintSettings& settings, SheetPrompt& prompt, WorkProgress* progress = nullptr,
                            int threads = 1);

#endif
