// The print command for the dot-matrix printer on LPT1: pages chosen, a sheet asked for each.
#ifndef LINTARO_PRINT_DOT_MATRIX_WIN32_H
#define LINTARO_PRINT_DOT_MATRIX_WIN32_H

#include <windows.h>

#include "grid/grid_model.h"
#include "print/dot_matrix.h"
#include "base/print_settings.h"

// The two questions a dot-matrix print run asks, so that a caller (or a test) can answer them.
struct DotMatrixQuestions {
    // Lets the user edit `choice` (prepared as pages 1 .. page count, all pages) in the
    // "PagesToPrint" dialog; false on Cancel. Required: without it nothing is printed.
    bool (*choose_pages)(HWND owner, TextPageChoice& choice) = nullptr;
    // Asks for a new sheet; true only on OK. Null: the message box (title "Lintaro 2.0",
    // OK and Cancel, no icon, kNewSheetPrompt).
    bool (*ask_for_sheet)(HWND owner) = nullptr;
    // Opens the port; null: "LPT1" (write access, no sharing, open existing).
    HANDLE (*open_port)() = nullptr;
};

// The message box before every page; true when the user pressed OK.
bool AskForNewSheet(HWND owner);

// The message shown when "LPT1" cannot be opened (title "Lintaro 2.0", stop icon).
extern const char kPortUnavailableLine1[];
extern const char kPortUnavailableLine2[];

// Prints the table on the dot-matrix printer: asks for the pages, opens "LPT1" (write access,
// no sharing, open existing; when it cannot be opened the user is told and nothing is printed),
// then for each chosen page asks for a sheet and writes the page converted to the DOS code
// table with the model, mode and margins of `settings`. Closes the port on every path.
TextPrintRun PrintDotMatrix(HWND owner, GridModel& grid, const PrintSettings& settings,
                            const DotMatrixQuestions& questions);

#endif
