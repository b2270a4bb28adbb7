// The pages lintaro.exe prints, written as a PDF document with cairo: the same pagination, column
// groups, rules, header, footer, date and page numbers, on the paper and margins of the settings.
#ifndef LINTARO_PRINT_TABLE_PDF_CAIRO_H
#define LINTARO_PRINT_TABLE_PDF_CAIRO_H

#include <string>

#include "base/print_settings.h"
#include "grid/grid_model.h"
#include "print/byte_sink.h"

// What a PDF needs beyond the grid and the settings.
struct TablePdfExtras {
    // The folder picture cells name their files in; null or empty: the current folder.
    const char* picture_folder = nullptr;
    // What a DateLine shows ("dd.mm.yyyy, hh:mm"); null: the local time now.
    const char* date_text = nullptr;
};

// Writes pages `first_page` .. `last_page` (1-based; a last page of 0 or beyond the table means
// the last page) of the grid's layout to `out`: one PDF page per page and column group, as the
// printer prints them, each the size of the settings' paper (landscape turns it) with the table
// at the margins. The grid must be laid out (RebuildLayout) for its print measuring device and
// for `settings`; that device's pixels are the drawing's pixels and measure the text. Fails,
// with the reason in `error`, for a dot-matrix setting, a range without a page, or a sink or
// cairo failure; what was written by then may be an unfinished document.
bool WriteTablePdf(GridModel& grid, const PrintSettings& settings, int first_page, int last_page, ByteSink& out,
                   std::string& error, const TablePdfExtras& extras = TablePdfExtras{});

// Frees the fonts cairo and fontconfig keep for the life of the process, for a program that has
// written its last PDF and no longer holds a cairo object (leak checkers then see nothing left).
void ReleasePdfFontCaches();

#endif
