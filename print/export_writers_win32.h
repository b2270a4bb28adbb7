// The export writers on Win32 files: create the file, write the chosen format, report the result.
#ifndef LINTARO_PRINT_EXPORT_WRITERS_WIN32_H
#define LINTARO_PRINT_EXPORT_WRITERS_WIN32_H

#include <windows.h>

#include "grid/grid_model.h"
#include "print/export_writers.h"

// How an export to a file ended, for the export command to tell the user about.
enum class ExportFileResult {
    Written,       // every byte went out
    CannotCreate,  // CreateFileA failed: nothing was written
    WriteFailed,   // the writer stopped or a write failed: the file is incomplete
    TooWideForDbase,  // a dBase record would pass 65,535 bytes: no file was created
    Cancelled,          // the progress said stop: the incomplete file was deleted
    CancelledFileKept,  // the progress said stop and the incomplete file could not be deleted
};

// The message for TooWideForDbase.
extern const char kDbaseTooWideLine1[];  // "Таблицата е твърде широка за формата DBASE:"
extern const char kDbaseTooWideLine2[];
extern const char kDbaseTooWideLine3[];
extern const char kDbaseTooWideLine4[];

// Writes the grid's table in `format` (kExportPlainText ...; `code_table` 0 Windows, other DOS)
// to an open handle; the dBase date is today's local date. An invalid handle gives ok = false.
// `progress` as for ExportTable.
[[nodiscard]] ExportOutcome ExportTableToHandle(GridModel& grid, HANDLE file, int format, int code_table,
                                              WorkProgress* progress = nullptr);

// Creates `path` (read and write access, no sharing, CREATE_ALWAYS), writes the table and
// closes the file on every path. A file the progress stopped is deleted: half a table must not
// pass for the table. `threads` as for ExportTable: the rows are made on them while this thread
// writes and asks the progress between batches.
[[nodiscard]] ExportFileResult ExportTableToFile(GridModel& grid, const char* path, int format, int code_table,
                                                 WorkProgress* progress = nullptr, int threads = 1);

// The threads worth making the rows of `grid` on: up to two processors for a table of a few
// thousand rows or more, one otherwise (starting threads would cost more than they save).
int ExportThreadsFor(const GridModel& grid);

#endif
