// The running program's session: the data file, its store and grid, the print settings and the
// device contexts. Only app/ reaches it; the grid, printing and the dialogs get what they need
// handed to them.
#ifndef LINTARO_APP_SESSION_WIN32_H
#define LINTARO_APP_SESSION_WIN32_H

#include <windows.h>

#include <memory>

#include "app/command_line.h"
#include "base/print_settings.h"

class Grid;
class TableStore;

// One instance, owned by the shell; everything runs on the user-interface thread.
struct Session {
    char window_title[256] = "Lintaro 2.0";  // also the caption of every message box
    CommandLineNames command_line;           // data file and format file names
    char data_directory[260] = {};           // folder of the loaded data file; pictures live there
    HWND main_window = nullptr;
    int speed_bar_height = 0;
    std::unique_ptr<Grid> grid;               // from the creation sequence to the close message
    std::unique_ptr<TableStore> table_store;  // from a successful data file load to shutdown
    PrintSettings print_settings = BuiltInPrintSettings();
    HDC display_info = nullptr;  // "DISPLAY", created on first need, kept until shutdown
    HDC printer_info = nullptr;  // the current printer; none for the dot-matrix printer

    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

Session& CurrentSession();

// Copies of the current print settings out and in.
PrintSettings GetPrintSettings();
void SetPrintSettings(const PrintSettings& settings);

// Creates the display context if missing and recreates the printer context for the current
// settings' device (none for the dot-matrix printer). Call after the settings change.
void RefreshInfoContexts();

// Path of Printer.cfg: the executable's folder (with its backslash) and the file name.
void PrinterConfigPath(char (&path)[MAX_PATH]);

// Start-up: Printer.cfg (or the defaults) adjusted to the default printer and its paper, made
// the current settings, and the current printer name set from it.
void LoadPrinterConfig();

// Writes the current settings to Printer.cfg without ever leaving it half-written; false when
// the old file (if any) had to stay, which the caller tells the user.
[[nodiscard]] bool SavePrintSettings();

// Remembers the folder that picture files are looked up in; null or empty changes nothing.
void SetDataDirectory(const char* path);

// Releases what the shell holds after the message loop: contexts and the table store.
void ReleaseSession();

#endif
