// The "ExportTable" dialog: the output file, its format and the code table of its Cyrillic.
#ifndef LINTARO_DIALOGS_EXPORT_DIALOG_WIN32_H
#define LINTARO_DIALOGS_EXPORT_DIALOG_WIN32_H

#include <windows.h>

#include <cstdint>

#include "dialogs/dialog_helpers.h"

// What the export command writes where; it keeps one for as long as the program runs, so the
// dialog opens with the last choices. Initially all zero: no path, plain text, Windows.
struct ExportRequest {
    char path[260];
    std::int32_t format;      // 0 plain text, 1 tab-separated, 2 dBase, 3 CSV
    std::int32_t code_table;  // 0 Windows, 1 DOS
};
static_assert(sizeof(ExportRequest) == 268, "ExportRequest is a path and two 32-bit fields");

// The format list, in the order offered (CSV before dBase): a request stores key - 1.
extern const OptionEntry kExportFormatOptions[];
// The code table list: 1 Windows, 2 DOS; a request stores key - 1.
extern const OptionEntry kCodeTableOptions[];

// The extension a format gives the path: "dbf" for dBase, "csv" for CSV, "txt" for the texts.
const char* ExportExtension(std::int32_t format);

// The table's own files, which an export must never replace; empty or null names none.
struct ExportGuardedFiles {
    const char* data_file;       // the data file the table was loaded from
    const char* layout_file;     // its column layout file
    const char* printer_config;  // Printer.cfg
};

// Shows the request in a modal dialog owned by `owner`. Picking another format gives a typed
// path that format's extension at once; "Файл..." opens the Save As chooser on the chosen
// format's file type and extension. On OK the request takes the path (blanks around it
// trimmed; dBase and CSV paths get their extension), the format and the code table. The dialog
// stays open, with a message, for a path that is not a full one, names no file, does not fit
// 259 characters, names a folder or one of the guarded files, and for an existing file whose
// replacement the user does not confirm; an empty path is accepted (nothing is written).
// `request` changes only on OK.
[[nodiscard]] bool Dialog_ExportTable(HWND owner, ExportRequest& request, const ExportGuardedFiles& guarded);

#endif
