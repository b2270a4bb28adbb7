// Print, print setup and export: each edits a copy in its dialog and acts only on OK.
#include "app/print_commands_win32.h"

#include "app/close_deferral_win32.h"
#include "app/progress_on_screen_win32.h"
#include "app/session_win32.h"
#include "dialogs/dialog_helpers_win32.h"
#include "dialogs/dot_matrix_prompts_win32.h"
#include "dialogs/export_dialog_win32.h"
#include "dialogs/pages_to_print_dialog_win32.h"
#include "dialogs/print_setup_dialog_win32.h"
#include "grid/grid_win32.h"
#include "print/dot_matrix.h"
#include "print/dot_matrix_win32.h"
#include "print/export_writers_win32.h"
#include "print/printer_services_win32.h"
#include "print/windows_printing.h"
#include "print/windows_printing_win32.h"

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

// A table wider than the paper would be cut or wrapped: the user decides whether to go on.
bool PrintTooWideTableAnyway(HWND main_window) {
    return ShowMessage(main_window, MB_ICONQUESTION | MB_OKCANCEL, kMessageTitle,
                       "Ширината на таблицата е по-голяма от полето", "за печат. Бихте могли да скриете част от",
                       "колоните, да използвате шрифт с по-малки", "размери или по-широка хартия.",
                       "Искате ли да продължите ?") == IDOK;
}

// Whether the last print on a Windows printer sent its pages as one job: offered again by the
// next one while the program runs (nothing stored, so every start prints page by page).
bool& KeptOneJobChoice() {
    static bool one_job = false;
    return one_job;
}

// Windows printers: the too-wide question, the pages and column groups in "PagesToPrint", then
// one print job per chosen group of each chosen page, for each copy, or all as one job.
void PrintOnWindowsPrinter(HWND main_window, Grid& grid, const PrintSettings& settings) {
    GridModel& model = grid.Model();
    const int groups = CountColumnGroups(model);
    if (!FitsPageWidth(model) && !PrintTooWideTableAnyway(main_window)) return;
    const int pages = CountLayoutPages(model);
    PageRequest request{1, pages, 0, 1, groups, 1};
    bool one_job = KeptOneJobChoice();
    if (!Dialog_PagesToPrint(main_window, request, &one_job)) return;
    KeptOneJobChoice() = one_job;
    // Every chosen column group is printed, so a table wider than the paper prints whole.
    const WindowsPageRequest chosen{request.from_page,         request.to_page,         request.page_subset,
                                    request.column_group_from, request.column_group_to, request.copies};
    WindowsPrintResult result = WindowsPrintResult::Printed;
    {
        ProgressOnScreen progress(main_window, "Отпечатване на таблицата...", ProgressCount::PagesSent);
        result = PrintJobs(grid, settings, PlanPrintJobs(chosen, pages, groups),
                           one_job ? PrintJobGrouping::OneJob : PrintJobGrouping::JobPerPage, &progress);
    }
    if (result == WindowsPrintResult::PrinterNotOpened) {
        ShowMessage(main_window, MB_ICONHAND, kMessageTitle, "Грешка при опит за достъп", "до избрания принтер !",
                    "Не може да се печата.");
    }
}

// The last export's choices, offered again by the next one.
ExportRequest& KeptExportRequest() {
    static ExportRequest request{};
    return request;
}

}  // namespace

void PrintTable(HWND main_window) {
    Grid* grid = CurrentSession().grid.get();
    if (grid == nullptr) return;
    const PrintSettings settings = GetPrintSettings();
    if (settings.printer_kind == kDotMatrixPrinter) {
        // Lines longer than the paper holds would be wrapped by the printer, every one of them.
        if (!TextFitsPaper(grid->Model(), settings)) {
            if (!PrintTooWideTableAnyway(main_window)) return;
            grid = CurrentSession().grid.get();  // the question's message loop may have closed the window
            if (grid == nullptr) return;
        }
        DotMatrixQuestions questions;
        questions.choose_pages = &ChooseTextPages;
        questions.ask_for_sheet = &AskForNewSheet;
        questions.tell_port_unavailable = &TellPortUnavailable;
        ProgressOnScreen progress(main_window, "Изпращане на страниците към LPT1...", ProgressCount::PagesSent);
        questions.progress = &progress;
        PrintDotMatrix(main_window, grid->Model(), settings, questions);
        return;
    }
    PrintOnWindowsPrinter(main_window, *grid, settings);
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
    if (!SavePrintSettings()) {
        // The settings hold for this run; the next start would not find them.
        char path[MAX_PATH];
        PrinterConfigPath(path);
        ShowMessage(main_window, MB_ICONHAND, kMessageTitle,
                    "Настройките на печата не могат да бъдат записани във файла:", path);
    }
    if (Grid* grid = CurrentSession().grid.get()) {
        grid->Reformat();
        grid->ApplyNaturalWidths();
    }
}

void ExportTableToChosenFile(HWND main_window) {
    Grid* grid = CurrentSession().grid.get();
    if (grid == nullptr) return;
    ExportRequest& request = KeptExportRequest();
    char printer_config[MAX_PATH];
    PrinterConfigPath(printer_config);
    const ExportGuardedFiles guarded{CurrentSession().command_line.data_file, grid->Model().LayoutFilePath(), printer_config};
    if (!Dialog_ExportTable(main_window, request, guarded)) return;
    // No path named, no file wanted: nothing to write and nothing to say.
    if (request.path[0] == '\0') return;
    ExportFileResult result = ExportFileResult::Written;
    {
        ProgressOnScreen progress(main_window, "Експорт на таблицата във файл...", ProgressCount::RowsWritten);
        result = ExportTableToFile(grid->Model(), request.path, request.format, request.code_table, &progress,
                                   ExportThreadsFor(grid->Model()));
    }
    switch (result) {
        case ExportFileResult::Written:
            break;
        case ExportFileResult::Cancelled:
            // Stopped by closing the program: the user is leaving, not waiting for news.
            if (CloseIsPending()) break;
            ShowMessage(main_window, MB_ICONINFORMATION, kMessageTitle, "Експортът е прекъснат.",
                        "Непълният файл е изтрит:", request.path);
            break;
        case ExportFileResult::CancelledFileKept:
            ShowMessage(main_window, MB_ICONHAND, kMessageTitle, "Експортът е прекъснат.",
                        "Непълният файл не може да бъде изтрит:", request.path);
            break;
        case ExportFileResult::CannotCreate:
            ShowMessage(main_window, MB_ICONHAND, kMessageTitle, "Файлът не може да бъде създаден:",
                        request.path);
            break;
        case ExportFileResult::WriteFailed:
            ShowMessage(main_window, MB_ICONHAND, kMessageTitle, "Грешка при записа във файла:",
                        request.path, "Файлът е непълен.");
            break;
        case ExportFileResult::TooWideForDbase:
            ShowMessage(main_window, MB_ICONHAND, kMessageTitle, kDbaseTooWideLine1, kDbaseTooWideLine2,
                        kDbaseTooWideLine3, kDbaseTooWideLine4);
            break;
    }
}
