// The export writers on Win32 file handles, with today's date from GetLocalTime.
#include "print/export_writers_win32.h"

#include "base/file_utils_win32.h"
#include "print/byte_sink_win32.h"

const char kDbaseTooWideLine1[] = "Таблицата е твърде широка за формата DBASE:";
const char kDbaseTooWideLine2[] = "един запис може да има до 65535 знака";
const char kDbaseTooWideLine3[] = "и до 2046 полета.";
const char kDbaseTooWideLine4[] = "Скрийте част от колоните.";

namespace {

// Rows below which one thread writes the table as fast as several.
constexpr int kRowsForThreads = 2000;
constexpr int kMostThreads = 2;

ExportDate Today() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return ExportDate{now.wYear, now.wMonth, now.wDay};
}

}  // namespace

ExportOutcome ExportTableToHandle(GridModel& grid, HANDLE file, int format, int code_table,
                                  WorkProgress* progress) {
    if (file == INVALID_HANDLE_VALUE || file == nullptr) return ExportOutcome{};
    FileHandleSink sink(file);
    return ExportTable(grid, &sink, format, code_table, Today(), progress);
}

ExportFileResult ExportTableToFile(GridModel& grid, const char* path, int format, int code_table,
                                   WorkProgress* progress, int threads) {
    if (path == nullptr || path[0] == '\0') return ExportFileResult::CannotCreate;
    // Refused before the file is created, so an existing file keeps its bytes.
    if (format == kExportDbase && !DbaseRecordFits(grid)) return ExportFileResult::TooWideForDbase;
    const HANDLE file = CreateOutputFile(path);
    if (file == INVALID_HANDLE_VALUE) return ExportFileResult::CannotCreate;
    FileHandleSink sink(file);
    // DbaseRecordFits has just found the character widths: the table is not measured twice.
    const ExportOutcome outcome =
        format == kExportDbase
            ? ExportDbaseAtCharWidths(grid, &sink, code_table != kExportWindowsCodeTable, Today(), progress, threads)
            : ExportTable(grid, &sink, format, code_table, Today(), progress, threads);
    CloseHandle(file);
    if (outcome.cancelled) {
        return DeleteFileA(path) ? ExportFileResult::Cancelled : ExportFileResult::CancelledFileKept;
    }
    return outcome.ok && !outcome.write_failed ? ExportFileResult::Written : ExportFileResult::WriteFailed;
}

int ExportThreadsFor(const GridModel& grid) {
    if (grid.RowCount() < kRowsForThreads) return 1;
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const int processors = static_cast<int>(system.dwNumberOfProcessors);
    return processors < 1 ? 1 : (processors < kMostThreads ? processors : kMostThreads);
}
