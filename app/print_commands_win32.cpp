// Print, print setup and export: each edits a copy in its dialog and acts only on OK.
#include "app/print_commands_win32.h"

#include "app/app_state_win32.h"
#include "dialogs/dialog_helpers_win32.h"
#include "dialogs/export_dialog_win32.h"
#include "dialogs/pages_to_print_dialog_win32.h"
#include "dialogs/print_setup_dialog_win32.h"
#include "grid/grid_win32.h"
#include "print/dot_matrix_win32.h"
#include "print/export_writers_win32.h"
#include "print/printer_services_win32.h"

namespace {

// The dot-matrix printer prints one column group per page and one copy: the dialog offers the
// pages and the subset; its column group lists show only 1.
bool ChooseTextPages(HWND owner, TextPageChoice& choice) {
    PageRequest request{choice.from_page, choice.to_page, choice.subset, 1, 1, 1};
    if (!Dialog_PagesToPrint(owner, request)) return false;
    choice.from_page = request.from_page;
    choice.to_page = request.to_page;
    choice.subset = request.page_subset;
    return true;
}

// The last export's choices, offered again by the next one.
ExportRequest& KeptExportRequest() {
    static ExportRequest request{};
    return request;
}

}  // namespace

void PrintTable(HWND main_window) {
    Grid* grid = App().grid.get();
    if (grid == nullptr) return;
    const PrintSettings settings = GetPrintSettings();
    if (settings.printer_kind != kDotMatrixPrinter) return;
    DotMatrixQuestions questions;
    questions.choose_pages = &ChooseTextPages;
    PrintDotMatrix(main_window, grid->Model(), settings, questions);
}

void SetUpPrinting(HWND main_window) {
    PrintSettings settings = GetPrintSettings();
    if (settings.device_name[0] == '\0') {
        CurrentPrinterName(settings.device_name, static_cast<int>(sizeof settings.device_name));
    }
    if (!Dialog_PrintSetup(main_window, settings)) return;
    SetCurrentPrinterName(settings.device_name);
    SetPrintSettings(settings);
    RefreshInfoContexts();
    SavePrintSettings();
    if (Grid* grid = App().grid.get()) {
        grid->Reformat();
        grid->ApplyNaturalWidths();
    }
}

void ExportTableToChosenFile(HWND main_window) {
    Grid* grid = App().grid.get();
    if (grid == nullptr) return;
    ExportRequest& request = KeptExportRequest();
    if (!Dialog_ExportTable(main_window, request)) return;
    // No path named, no file wanted: nothing to write and nothing to say.
    if (request.path[0] == '\0') return;
    switch (ExportTableToFile(grid->Model(), request.path, request.format, request.code_table)) {
        case ExportFileResult::Written:
            break;
        case ExportFileResult::CannotCreate:
            ShowMessage(main_window, MB_ICONHAND, kMessageTitle, "Файлът не може да бъде създаден:",
                        request.path);
            break;
        case ExportFileResult::WriteFailed:
            ShowMessage(main_window, MB_ICONHAND, kMessageTitle, "Грешка при записа във файла:",
                        request.path, "Файлът е непълен.");
            break;
    }
}
