// The commands of the "Печат" menu: print, print setup and export.
#ifndef LINTARO_APP_PRINT_COMMANDS_WIN32_H
#define LINTARO_APP_PRINT_COMMANDS_WIN32_H

#include <windows.h>

// Print (301). For the dot-matrix printer on LPT1: the pages in "PagesToPrint", then a new
// sheet asked for before each page. For Windows printers: a question when the table is wider
// than the paper, the pages, column groups and copies in "PagesToPrint", then one print job per
// chosen column group of each chosen page; a message when the printer cannot be opened.
void PrintTable(HWND main_window);

// Print setup (302). Edits a copy of the current settings in "PrintSetup"; on OK the copy's
// printer becomes the current printer, the copy the current settings, the printer's information
// context is made again, Printer.cfg is rewritten, and the table is laid out for the new page
// with natural widths. Works without a table too.
void SetUpPrinting(HWND main_window);

// Export (311). Asks for the file, format and code table in "ExportTable" (the choices are kept
// for the next export while the program runs; the data file, the layout file and Printer.cfg are
// never accepted as the target, and an existing file only once the user agrees to replace it)
// and writes the table; tells the user when the file cannot be created or a write fails.
void ExportTableToChosenFile(HWND main_window);

#endif
