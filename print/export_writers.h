// The four export writers: boxed plain text, tab-separated text, CSV and dBase III.
#ifndef LINTARO_PRINT_EXPORT_WRITERS_H
#define LINTARO_PRINT_EXPORT_WRITERS_H

#include <cstdint>

#include "base/work_progress.h"
#include "grid/grid_model.h"
#include "print/byte_sink.h"
#include "print/export_formats.h"

// The local date the dBase header records.
struct ExportDate {
    int year;   // e.g. 2024
    int month;  // 1 .. 12
    int day;    // 1 .. 31
};

// What a writer did. `ok` is the writer's own answer: false without a sink or line buffer, and
// for tab-separated and CSV files also when their opening lines could not be written; true
// otherwise, also after a later write error. `write_failed` tells the export command that a
// write failed or came up short and the file is therefore truncated.
struct ExportOutcome {
    bool ok = false;
    bool write_failed = false;
    std::int64_t rows = 0;  // data lines (dBase records) written in full
    bool too_wide = false;  // dBase only: the record would pass 65,535 bytes; nothing was written
    bool cancelled = false;  // the progress said stop: the file holds the rows before that point
};

// Every writer takes the table as the grid shows it: the visible columns in display order and
// the DataRow lines of the layout in order, each cell as GridModel::CellText gives it. With
// `convert` every title and cell text (for plain text: every rendered line) goes through
// ToDosCyrillic. Lines end with CR LF. Whole lines (dBase records) are written in large blocks;
// after a failed or short write the file holds every byte the sink took and `rows` counts the
// data lines it took whole. A `progress` is told the rows written of the rows shown before every
// block of rows and may stop the writer there (`cancelled`); the file then holds the rows before
// that point and the dBase record count states them.
//
// With `threads` above 1 the rows are made on that many threads, in batches written in their
// order: the same bytes, rows and failures (whole lines only), the progress asked before every
// batch instead. A table that shows a column with sums is written on the calling thread alone.

// The layout as the dot-matrix printer prints it, all pages, indent 0, no control codes.
// Computes the character widths.
[[nodiscard]] ExportOutcome ExportPlainText(GridModel& grid, ByteSink* file, bool convert,
                                            WorkProgress* progress = nullptr, int threads = 1);

// A line of one TAB per visible column, the titles (each cut to 255 bytes) joined by TAB and an
// empty line, then one line per row with the cells joined by TAB. Nothing is quoted: a TAB, CR,
// LF or other control byte of a title or cell is written as a blank, so every record is one line.
[[nodiscard]] ExportOutcome ExportTabSeparated(GridModel& grid, ByteSink* file, bool convert,
                                               WorkProgress* progress = nullptr, int threads = 1);

// The titles (each cut to 255 bytes), then one line per row; ";" follows every field, the last
// one included. A field that holds ";", a double quote, CR or LF (as written, after the DOS
// conversion) is written in double quotes with its quotes doubled, so that readers get the text
// back; every other field as it is. Control bytes other than CR and LF are written as blanks.
[[nodiscard]] ExportOutcome ExportCsv(GridModel& grid, ByteSink* file, bool convert, WorkProgress* progress = nullptr,
                                      int threads = 1);

// dBase III: the 32-byte header (record count patched in at the end, `today` as the date, the
// language driver 0xC9 for code page 1251 unless converted to DOS), one character field
// "FIELDnnn" per visible column (nnn its position in the grid from 1) as long as the column's
// character width used limited to 1 .. 255 (the limit is stored back into the column), the
// terminator 0x0D, then the records: a blank, then each field cut or padded with blanks
// (control bytes of a cell written as blanks). Computes the character widths. Without a visible
// column nothing is written; nor when the record would pass 65,535 bytes or the header would
// (more than 2,046 columns): then `too_wide` is set and `ok` is false.
[[nodiscard]] ExportOutcome ExportDbase(GridModel& grid, ByteSink* file, bool convert, const ExportDate& today,
                                        WorkProgress* progress = nullptr, int threads = 1);

// The same with the character widths the last ComputeCharWidths left, for a caller that has
// just computed them (DbaseRecordFits).
[[nodiscard]] ExportOutcome ExportDbaseAtCharWidths(GridModel& grid, ByteSink* file, bool convert,
                                                    const ExportDate& today, WorkProgress* progress = nullptr,
                                                    int threads = 1);

// Whether the visible columns fit a dBase record and header (see ExportDbase), so that the export
// command can refuse before it creates the file. Computes the character widths.
bool DbaseRecordFits(GridModel& grid);

// The writer of `format` (any value but 1, 2 and 3 is plain text); `code_table` other than 0
// converts to DOS.
[[nodiscard]] ExportOutcome ExportTable(GridModel& grid, ByteSink* file, int format, int code_table,
                          const ExportDate& today, WorkProgress* progress = nullptr, int threads = 1);

// Whether the writers would make the rows of `grid` on `threads` threads (see above).
bool ExportRowsMadeApart(const GridModel& grid, int threads);

#endif
