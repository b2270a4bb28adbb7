// The running program's session for the tests that load into it, fresh for each test.
#ifndef LINTARO_TESTS_WIN_SESSION_TEST_SUPPORT_H
#define LINTARO_TESTS_WIN_SESSION_TEST_SUPPORT_H

#include <cstring>
#include <memory>

#include "app/grid_host_win32.h"
#include "app/session_loading_win32.h"
#include "app/session_win32.h"
#include "base/print_settings.h"
#include "grid/grid_win32.h"

namespace session_test {

// Holds the session as start-up leaves it before the data file loads: a new grid reading its
// cells from the current store, no store, the program's caption, no data folder, and settings
// that need no printer. Releases the grid and the store again, so no test sees another's table.
class FreshSession {
public:
    FreshSession() { Reset(); }
    ~FreshSession() {
        CurrentSession().grid.reset();
        CurrentSession().table_store.reset();
    }
    FreshSession(const FreshSession&) = delete;
    FreshSession& operator=(const FreshSession&) = delete;

    // As if the program started again.
    void Reset() {
        Session& app = CurrentSession();
        app.grid = std::make_unique<Grid>(SessionGridHost());
        app.grid->SetCellTextSource(StoreCellTextSource, &app, StoreCellColumnSource);
        app.table_store.reset();
        std::strcpy(app.window_title, "Lintaro 2.0");
        app.data_directory[0] = '\0';
        SetPrintSettings(DotMatrixPrintSettings());
    }
};

}  // namespace session_test

#endif
