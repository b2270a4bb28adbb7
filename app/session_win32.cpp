// The shell's process-wide state and the print settings services around it.
#include "app/session_win32.h"

#include <cstring>

#include "base/file_utils_win32.h"
#include "grid/grid_win32.h"
#include "print/paper_rules.h"
#include "print/printer_services_win32.h"
#include "store/table_store.h"

Session::Session() = default;
Session::~Session() = default;

Session& CurrentSession() {
    static Session state;
    return state;
}

PrintSettings GetPrintSettings() {
    return CurrentSession().print_settings;
}

void SetPrintSettings(const PrintSettings& settings) {
    CurrentSession().print_settings = settings;
}

void RefreshInfoContexts() {
    Session& app = CurrentSession();
    if (app.display_info == nullptr) {
        app.display_info = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
    }
    if (app.printer_info != nullptr) {
        DeleteDC(app.printer_info);
        app.printer_info = nullptr;
    }
    if (app.print_settings.printer_kind != kDotMatrixPrinter) {
        app.printer_info = CreateICA(nullptr, app.print_settings.device_name, nullptr, nullptr);
    }
}

void PrinterConfigPath(char (&path)[MAX_PATH]) {
    static const char kFileName[] = "Printer.cfg";
    char module[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::size_t folder_length = 0;
    if (length > 0 && length < MAX_PATH) {
        const char* backslash = std::strrchr(module, '\\');
        if (backslash != nullptr) folder_length = static_cast<std::size_t>(backslash - module) + 1;
    }
    // A folder too long to hold the file name leaves the bare name, in the current folder.
    if (folder_length + sizeof kFileName > MAX_PATH) folder_length = 0;
    std::memcpy(path, module, folder_length);
    std::memcpy(path + folder_length, kFileName, sizeof kFileName);
}

void LoadPrinterConfig() {
    char path[MAX_PATH];
    PrinterConfigPath(path);
    unsigned char bytes[sizeof(PrintSettings)] = {};
    const std::size_t count = ReadFilePrefix(path, bytes, sizeof bytes);
    PrintSettings settings = PrintSettingsFromFileBytes(bytes, count);

    // Asked whatever the stored kind: an unknown kind or an unnamed printer turns into kind 0.
    char default_printer[260] = {};
    DefaultPrinterName(default_printer, sizeof default_printer);
    ChooseStartupPrinter(settings, default_printer);
    if (settings.printer_kind != kDotMatrixPrinter) AdoptDriverPaper(settings);
    // A file edited by hand may hold what print setup would refuse: the defaults stand in.
    const PrintSettings defaults =
        settings.printer_kind == kDotMatrixPrinter ? DotMatrixPrintSettings() : BuiltInPrintSettings();
    FallBackToAcceptablePaper(settings, defaults, [](PrintSettings& windows) { AdoptDriverPaper(windows); });

    CurrentSession().print_settings = settings;
    SetCurrentPrinterName(settings.device_name);
}

bool SavePrintSettings() {
    char path[MAX_PATH];
    PrinterConfigPath(path);
    unsigned char bytes[sizeof(PrintSettings)];
    PrintSettingsToFileBytes(CurrentSession().print_settings, bytes);
    return ReplaceFileSafely(path, bytes, sizeof bytes);
}

void SetDataDirectory(const char* path) {
    if (path == nullptr || path[0] == '\0') return;
    char* directory = CurrentSession().data_directory;
    std::strncpy(directory, path, sizeof CurrentSession().data_directory - 1);
    directory[sizeof CurrentSession().data_directory - 1] = '\0';
}

void ReleaseSession() {
    Session& app = CurrentSession();
    if (app.display_info != nullptr) DeleteDC(app.display_info);
    if (app.printer_info != nullptr) DeleteDC(app.printer_info);
    app.display_info = nullptr;
    app.printer_info = nullptr;
    app.table_store.reset();
}
