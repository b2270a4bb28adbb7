// The print command for the dot-matrix printer on LPT1: pages chosen, a sheet asked for each.
#ifndef LINTARO_PRINT_DOT_MATRIX_WIN32_H
#define LINTARO_PRINT_DOT_MATRIX_WIN32_H

#include <windows.h>

#include "grid/grid_model.h"
#include "print/dot_matrix.h"
#include "base/print_settings.h"

// What a dot-matrix print run asks and tells the user, supplied by the caller (or a test). The
// first three are required: without any of them nothing is printed, so that no run goes to the
// port without its questions or fails there unheard.
struct DotMatrixQuestions {
    // Lets the user edit `choice` (prepared as pages 1 .. page count, all pages) in the
    // "PagesToPrint" dialog; false on Cancel.
    bool (*choose_pages)(HWND owner, TextPageChoice& choice) = nullptr;
    // Asks for a new sheet before each page; true only on OK.
    bool (*ask_for_sheet)(HWND owner) = nullptr;
    // Tells the user that the port cannot be opened.
    void (*tell_port_unavailable)(HWND owner) = nullptr;
    // Opens the port; null: "LPT1" (write access, no sharing, open existing).
    HANDLE (*open_port)() = nullptr;
    // Told the pages sent between pages; may stop the run there. Null: none.
    WorkProgress* progress = nullptr;
};

// Prints the table on the dot-matrix printer: asks for the pages, opens "LPT1" (write access,
// no sharing, open existing; when it cannot be opened the user is told and nothing is printed),
// then for each chosen page asks for a sheet and writes the page converted to the DOS code
// table with the model, mode and margins of `settings`. Closes the port on every path.
TextPrintRun PrintDotMatrix(HWND owner, GridModel& grid, const PrintSettings& settings,
                            const DotMatrixQuestions& questions);

#endif
