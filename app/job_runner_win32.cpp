// An unattended job on the session the program itself uses, without its window.
#include "app/job_runner_win32.h"

#include <memory>
#include <new>
#include <vector>

#include "app/grid_host_win32.h"
#include "app/session_loading_win32.h"
#include "app/session_win32.h"
#include "base/file_utils_win32.h"
#include "formats/data_file.h"
#include "grid/grid_win32.h"
#include "grid/sort_filter.h"
#include "print/byte_sink_win32.h"
#include "print/dot_matrix.h"
#include "print/export_formats.h"
#include "print/export_writers_win32.h"
#include "print/windows_printing.h"
#include "print/windows_printing_win32.h"

namespace {

// A failure: its line on standard error, its code for the caller.
int Fail(int code, const std::string& message) {
    WriteJobError(message);
    return code;
}

// The columns a dialog would list, each with the title it would show.
std::vector<OfferedColumn> OfferedColumns(const Grid& grid, bool for_filter) {
    const std::vector<int> columns =
        for_filter ? ColumnsOfferedForFilter(grid.Model()) : ColumnsOfferedForSort(grid.Model());
    std::vector<OfferedColumn> offered;
    offered.reserve(columns.size());
    char title[kColumnTitleLimit];
    for (int column : columns) {
        grid.ColumnTitle(column, title, static_cast<int>(sizeof title) - 1);
        offered.push_back(OfferedColumn{column, title});
    }
    return offered;
}

int ApplyStep(Grid& grid, const JobStep& step) {
    std::string error;
    const std::vector<OfferedColumn> offered = OfferedColumns(grid, step.is_filter);
    if (!step.is_filter) {
        SortRequest request;
        if (!ResolveSortSwitch(step.sort, offered, "/sort", request, error)) return Fail(kJobSwitchMisfits, error);
        SortRows(grid.Model(), request);
        return kJobDone;
    }
    FilterRequest request{};
    if (!ResolveFilterSwitch(step.filter, offered, "/filter", request, error)) return Fail(kJobSwitchMisfits, error);
    if (!FilterRows(grid.Model(), request)) {
        return Fail(kJobNoRowMatches, "/filter keeps no row of the table");
    }
    return kJobDone;
}

// The page range of the job within the table: a range past the last page is cut there.
int ChoosePages(const JobRequest& job, int pages, int& first, int& last) {
    first = job.first_page;
    last = job.last_page == 0 || job.last_page > pages ? pages : job.last_page;
    if (first > pages) {
        return Fail(kJobSwitchMisfits,
                    "/print page " + std::to_string(first) + ": the table has " + std::to_string(pages) + " pages");
    }
    return kJobDone;
}

// Nobody stands at the printer: every sheet counts as put in.
class NoSheetPrompt : public SheetPrompt {
public:
    bool AskForNewSheet() override { return true; }
};

// The pages on LPT1 as the print command sends them, once per copy through one opening of the
// port, so the copies follow each other however the port is mapped.
int PrintOnDotMatrix(Grid& grid, const PrintSettings& settings, const JobRequest& job, int first, int last) {
    const HANDLE port = CreateFileA("LPT1", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) return Fail(kJobPrinterFailed, "LPT1 cannot be opened");
    FileHandleSink sink(port);
    NoSheetPrompt prompt;
    int sent = 0;
    for (int copy = 1; copy <= job.copies; ++copy) {
        sent += PrintTextPages(grid.Model(), sink, TextPageChoice{first, last, 0}, settings, prompt).pages_sent;
    }
    CloseHandle(port);
    if (sent != (last - first + 1) * job.copies) return Fail(kJobPrinterFailed, "LPT1 did not take every page");
    return kJobDone;
}

// Every column group of every chosen page, once per copy, as the print command prints them
// after the user agreed to print a table wider than the paper.
int PrintOnWindowsPrinter(Grid& grid, const PrintSettings& settings, const JobRequest& job, int first, int last) {
    const int groups = CountColumnGroups(grid.Model());
    const int pages = CountLayoutPages(grid.Model());
    const std::vector<PrintJob> one_copy = PlanPrintJobs(WindowsPageRequest{first, last, 0, 1, groups, 1}, pages, groups);
    std::vector<PrintJob> jobs;
    jobs.reserve(one_copy.size() * static_cast<std::size_t>(job.copies));
    for (int copy = 1; copy <= job.copies; ++copy) {
        for (PrintJob print_job : one_copy) {
            print_job.copy = copy;
            jobs.push_back(print_job);
        }
    }
    switch (PrintJobs(grid, settings, jobs)) {
        case WindowsPrintResult::Printed:
            return kJobDone;
        case WindowsPrintResult::PrinterNotOpened:
            return Fail(kJobPrinterFailed, std::string("the printer \"") + settings.device_name + "\" cannot be opened");
        case WindowsPrintResult::Stopped:
        // A job shows no progress, so nothing cancels it; counted as stopped should it happen.
        case WindowsPrintResult::Cancelled:
            break;
    }
    return Fail(kJobPrinterFailed, "the spooler refused a page; the pages before it are printed");
}

int Print(Grid& grid, const JobRequest& job) {
    const PrintSettings settings = GetPrintSettings();
    int first = 0;
    int last = 0;
    const int chosen = ChoosePages(job, CountLayoutPages(grid.Model()), first, last);
    if (chosen != kJobDone) return chosen;
    return settings.printer_kind == kDotMatrixPrinter ? PrintOnDotMatrix(grid, settings, job, first, last)
                                                      : PrintOnWindowsPrinter(grid, settings, job, first, last);
}

int Export(Grid& grid, const JobRequest& job) {
    const char* path = job.output.c_str();
    char printer_config[MAX_PATH];
    PrinterConfigPath(printer_config);
    // The table's own files are never replaced, as in the export dialog.
    for (const char* own : {static_cast<const char*>(job.names.data_file), grid.Model().LayoutFilePath(),
                            static_cast<const char*>(printer_config)}) {
        if (own != nullptr && own[0] != '\0' && SameFile(own, path)) {
            return Fail(kJobWriteFailed, "/export would replace the table's own file " + job.output);
        }
    }
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Fail(kJobWriteFailed, job.output + " is a folder");
    }
    const int code_table = job.dos ? kExportDosCodeTable : kExportWindowsCodeTable;
    switch (ExportTableToFile(grid.Model(), path, job.export_format, code_table, nullptr,
                              ExportThreadsFor(grid.Model()))) {
        case ExportFileResult::Written:
            return kJobDone;
        case ExportFileResult::CannotCreate:
            return Fail(kJobWriteFailed, job.output + " cannot be created");
        case ExportFileResult::WriteFailed:
            return Fail(kJobWriteFailed, "writing " + job.output + " failed; the file is incomplete");
        // A job shows no progress, so nothing cancels it; should it happen, no file was written.
        case ExportFileResult::Cancelled:
        case ExportFileResult::CancelledFileKept:
            return Fail(kJobWriteFailed, "writing " + job.output + " was cancelled");
        case ExportFileResult::TooWideForDbase:
            break;
    }
    return Fail(kJobWriteFailed, "the table is too wide for dBase: a record would pass 65535 bytes");
}

int LoadAndRun(const JobRequest& job) {
    Session& app = CurrentSession();
    app.command_line = job.names;
    LoadPrinterConfig();
    RefreshInfoContexts();
    app.grid = std::make_unique<Grid>(SessionGridHost());
    Grid& grid = *app.grid;
    grid.SetCellTextSource(StoreCellTextSource, &app, StoreCellColumnSource);

    DataFileLoadNotice notice;
    if (!LoadDataFile(job.names.data_file, &notice)) {
        return Fail(kJobDataFileUnusable, std::string("the data file ") + job.names.data_file +
                                              (notice.out_of_memory ? " is too big for memory"
                                                                    : " cannot be read or holds no table"));
    }
    // The window tells of cut rows after loading; a job tells its caller and goes on.
    if (notice.cut_rows > 0) WriteJobError(CutRowsWarning(job.names.data_file, notice.cut_rows));
    if (job.names.format_file[0] != '\0') {
        // A table nobody has laid out yet has no format file: like the window, the job then
        // uses the table's own layout (and, unlike the window, never creates the file).
        const bool exists = GetFileAttributesA(job.names.format_file) != INVALID_FILE_ATTRIBUTES;
        if (!grid.LoadLayout(job.names.format_file) && exists) {
            return Fail(kJobLayoutUnusable,
                        std::string("the format file ") + job.names.format_file + " is not a readable layout file");
        }
        RefreshColumnTitles();
        grid.Reformat();
    } else if (grid.Model().ColumnCount() == 0) {
        // Otherwise the load has laid the table out already, as the window's start does.
        grid.Reformat();
    }
    for (const JobStep& step : job.steps) {
        const int applied = ApplyStep(grid, step);
        if (applied != kJobDone) return applied;
    }
    return job.action == JobAction::Print ? Print(grid, job) : Export(grid, job);
}

}  // namespace

int RunJob(const JobRequest& job) {
    int code = kJobDone;
    try {
        code = LoadAndRun(job);
    } catch (const std::bad_alloc&) {
        code = Fail(kJobDataFileUnusable, "not enough memory for the table");
    }
    // The grid goes without saving its layout: a job never writes the layout file.
    CurrentSession().grid.reset();
    ReleaseSession();
    return code;
}

void WriteJobError(const std::string& message) {
    const std::string line = JobErrorLine(message);
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    bool opened = false;
    if (error == nullptr || error == INVALID_HANDLE_VALUE) {
        // A program of the windows subsystem gets no standard error from a console that starts
        // it; the console is still there to be written to.
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
        error = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
        if (error == INVALID_HANDLE_VALUE) return;
        opened = true;
    }
    DWORD written = 0;
    WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    if (opened) CloseHandle(error);
}
