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

// Shows the request in a modal dialog owned by `owner`. Picking another format gives a typed
// path that format's extension at once; "Файл..." opens the Save As chooser (proposing "dbf").
// On OK the request takes the path (dBase and CSV paths get their extension), the format and
// the code table; nothing is checked here. `request` changes only on OK.
bool Dialog_ExportTable(HWND owner, ExportRequest& request);

#endif
