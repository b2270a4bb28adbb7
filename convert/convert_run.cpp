// The converter's run: read, load, sort and filter, write, each fault its own exit code.
#include "convert/convert_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <memory>
#include <thread>

#include "convert/convert_arguments.h"
#include "convert/convert_output.h"
#include "convert/table_load.h"
#include "formats/data_file.h"
#include "grid/sort_filter.h"
#include "print/dot_matrix.h"
#include "print/export_writers.h"
#ifdef LINTARO_HAVE_PDF
#include "print/table_pdf_cairo.h"
#endif

namespace {

// Files below this size convert too fast for progress to mean anything.
constexpr long long kProgressFromBytes = 16LL << 20;
// Tables of fewer rows are written before a second thread would have started.
constexpr int kRowsForThreads = 2000;

// The threads that make the output's lines: every core for a big table, up to four.
int WritingThreads(const GridModel& grid) {
    if (grid.RowCount() < kRowsForThreads) return 1;
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

class Reporter {
public:
    Reporter(std::FILE* err, bool progress) : err_(err), progress_(progress) {}

    int Fail(int code, const std::string& message) {
        Warn(message);
        return code;
    }
    void Warn(const std::string& message) {
        Clear();
        std::fprintf(err_, "lintaro-convert: %s\n", message.c_str());
    }
    void Stage(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        if (!progress_) return;
        std::va_list values;
        va_start(values, format);
        std::fputs("\rlintaro-convert: ", err_);
        std::vfprintf(err_, format, values);
        std::fputs("\x1b[K", err_);
        std::fflush(err_);
        va_end(values);
        shown_ = true;
    }
    void Clear() {
        if (!shown_) return;
        std::fputs("\r\x1b[K", err_);
        std::fflush(err_);
        shown_ = false;
    }
    void EnableProgress(bool enable) { progress_ = progress_ && enable; }

private:
    std::FILE* err_;
    bool progress_;
    bool shown_ = false;
};

// An open stdio file that is closed on every way out.
struct ClosingFile {
    std::FILE* file;
    ~ClosingFile() {
        if (file != nullptr) std::fclose(file);
    }
};

// Opens `path` for reading; null with the reason in `error` when it cannot be read or is a folder.
std::FILE* OpenForReading(const std::string& path, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    struct stat status {};
    if (::fstat(::fileno(file), &status) == 0 && S_ISDIR(status.st_mode)) {
        std::fclose(file);
        error = "cannot read " + path + ": it is a folder";
        return nullptr;
    }
    return file;
}

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    const ClosingFile input{OpenForReading(path, error)};
    if (input.file == nullptr) return false;
    bytes.clear();
    std::uint8_t chunk[1 << 16];
    std::size_t count = 0;
    while ((count = std::fread(chunk, 1, sizeof chunk, input.file)) > 0) bytes.insert(bytes.end(), chunk, chunk + count);
    if (std::ferror(input.file) != 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// Whether `output` names the same file as `input` (both existing): writing there would replace
// what is being converted.
bool SameFile(const std::string& output, const std::string& input) {
    struct stat out {};
    struct stat in {};
    return !input.empty() && ::stat(output.c_str(), &out) == 0 && ::stat(input.c_str(), &in) == 0 &&
           S_ISREG(out.st_mode) && out.st_dev == in.st_dev && out.st_ino == in.st_ino;
}

std::vector<OfferedColumn> Offered(const GridModel& grid, const std::vector<int>& columns) {
    std::vector<OfferedColumn> offered;
    for (int index : columns) offered.push_back(OfferedColumn{index, std::string(grid.ColumnTitleText(index))});
    return offered;
}

// The sorts and filters in the order given, each as its dialog's OK would apply it.
int ApplyRowOperations(const std::vector<RowOperation>& operations, GridModel& grid, Reporter& reporter) {
    std::string error;
    for (const RowOperation& operation : operations) {
        if (operation.is_sort) {
            SortRequest request;
            if (!ResolveSortSwitch(operation.sort, Offered(grid, ColumnsOfferedForSort(grid)), "--sort", request, error)) {
                return reporter.Fail(kConvertNoSuchColumn, error);
            }
            SortRows(grid, request);
        } else {
            FilterRequest request;
            if (!ResolveFilterSwitch(operation.filter, Offered(grid, ColumnsOfferedForFilter(grid)), "--filter",
                                     request, error)) {
                return reporter.Fail(kConvertNoSuchColumn, error);
            }
            if (!FilterRows(grid, request)) return reporter.Fail(kConvertNoRowsKept, "no row passes the --filter bounds");
        }
    }
    return kConvertOk;
}

ExportDate Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return ExportDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

class AlwaysAnotherSheet : public SheetPrompt {
public:
    bool AskForNewSheet() override { return true; }
};

// The folder a data file's pictures are named in: its own.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Writes the table in `target` to `sink`; false when a write failed, with the PDF writer's
// reason in `error` when it gave one.
bool WriteTarget(const ConvertArguments& arguments, LoadedTable& table, ByteSink& sink, bool& too_wide,
                 std::string& error) {
    const ConvertTarget target = arguments.target;
    const bool dos = arguments.dos;
    GridModel& grid = *table.grid;
    too_wide = false;
#ifdef LINTARO_HAVE_PDF
    if (target == ConvertTarget::Pdf) {
        const std::string folder = FolderOf(arguments.data_file);
        TablePdfExtras extras;
        extras.picture_folder = folder.c_str();
        return WriteTablePdf(grid, table.settings, arguments.first_page, arguments.last_page, sink, error, extras);
    }
#endif
    if (target == ConvertTarget::Lpt) {
        // Every page, as the print command sends them when every sheet is put in.
        TextPageChoice choice;
        choice.from_page = 1;
        choice.to_page = CountLayoutPages(grid);
        AlwaysAnotherSheet sheets;
        PrintTextPages(grid, sink, choice, table.settings, sheets, nullptr, WritingThreads(grid));
        return true;
    }
    int format = kExportPlainText;
    switch (target) {
        case ConvertTarget::TabSeparated: format = kExportTabSeparated; break;
        case ConvertTarget::Csv: format = kExportCsv; break;
        case ConvertTarget::Dbase: format = kExportDbase; break;
        default: break;
    }
    const ExportOutcome outcome = ExportTable(grid, &sink, format, dos ? kExportDosCodeTable : kExportWindowsCodeTable,
                                              Today(), nullptr, WritingThreads(grid));
    too_wide = outcome.too_wide;
    return outcome.ok && !outcome.write_failed;
}

}  // namespace

namespace {

int Convert(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, bool show_progress);

}  // namespace

int RunConversion(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, bool show_progress) {
    const int code = Convert(args, out, err, show_progress);
#ifdef LINTARO_HAVE_PDF
    ReleasePdfFontCaches();
#endif
    return code;
}

namespace {

int Convert(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, bool show_progress) {
    Reporter reporter(err, show_progress);
    ConvertArguments arguments;
    std::string error;
    if (!ParseConvertArguments(args, arguments, error)) return reporter.Fail(kConvertBadArguments, error);
    if (arguments.help) {
        std::fputs(ConvertUsage(), out);
        return kConvertOk;
    }
#ifndef LINTARO_HAVE_PDF
    if (arguments.target == ConvertTarget::Pdf) {
        return reporter.Fail(kConvertUnavailable, "--to pdf is not available in this build");
    }
#endif
    if (arguments.data_file == "-") {
        return reporter.Fail(kConvertBadArguments, "the data file must be named: standard input is not read");
    }

    const bool to_stdout = arguments.output.empty() || arguments.output == "-";
    if (!to_stdout && (SameFile(arguments.output, arguments.data_file) || SameFile(arguments.output, arguments.layout_file))) {
        return reporter.Fail(kConvertCannotWrite, "-o " + arguments.output + " would replace the file being converted");
    }
    struct stat data_status {};
    const long long data_size = ::stat(arguments.data_file.c_str(), &data_status) == 0 ? data_status.st_size : 0;
    reporter.EnableProgress(data_size >= kProgressFromBytes);
    reporter.Stage("reading %s (%lld MB)", arguments.data_file.c_str(), data_size >> 20);
    const ClosingFile data{OpenForReading(arguments.data_file, error)};
    if (data.file == nullptr) return reporter.Fail(kConvertUnreadableData, error);
    std::vector<std::uint8_t> layout;
    if (!arguments.layout_file.empty() && !ReadFileBytes(arguments.layout_file, layout, error)) {
        return reporter.Fail(kConvertBadLayout, error);
    }

    // The rows are stored as the file is read, and laid out right after.
    std::atomic<int> read_errno{0};
    const ReadBlockFunction read_block = [&data, &read_errno](char* buffer, std::size_t capacity) -> std::ptrdiff_t {
        const std::size_t count = std::fread(buffer, 1, capacity, data.file);
        if (count == 0 && std::ferror(data.file) != 0) {
            read_errno = errno;
            return -1;
        }
        return static_cast<std::ptrdiff_t>(count);
    };
    // A regular file is also read at offsets, so that its two halves can be read at once.
    struct stat opened {};
    const bool regular = ::fstat(::fileno(data.file), &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_size > 0;
    const int descriptor = ::fileno(data.file);
    const ReadAtFunction read_at = [descriptor, &read_errno](std::uint64_t offset, char* buffer,
                                                             std::size_t capacity) -> std::ptrdiff_t {
        for (;;) {
            if (offset > static_cast<std::uint64_t>(INT64_MAX)) return 0;
            const ssize_t count = ::pread(descriptor, buffer, capacity, static_cast<off_t>(offset));
            if (count >= 0) return count;
            if (errno == EINTR) continue;
            read_errno = errno;
            return -1;
        }
    };
    const bool cells_only = arguments.target == ConvertTarget::TabSeparated || arguments.target == ConvertTarget::Csv ||
                            arguments.target == ConvertTarget::Dbase;
    const TableUse use = cells_only ? TableUse::CellsInOrder : TableUse::Pages;
    auto table = std::make_unique<LoadedTable>();
    switch (LoadTableForConversion(read_block, arguments.data_file, arguments.layout_file.empty() ? nullptr : &layout,
                                   use, *table, regular ? read_at : nullptr,
                                   regular ? static_cast<std::uint64_t>(opened.st_size) : 0)) {
        case TableLoadResult::Loaded: break;
        case TableLoadResult::Unreadable:
            return reporter.Fail(kConvertUnreadableData,
                                 "cannot read " + arguments.data_file + ": " + std::strerror(read_errno.load()));
        case TableLoadResult::NotATable:
            return reporter.Fail(kConvertUnreadableData, arguments.data_file + " holds no table (no titles line before \"Data:\")");
        case TableLoadResult::OutOfMemory:
            return reporter.Fail(kConvertTooBig, arguments.data_file + ": the table does not fit in memory");
        case TableLoadResult::LayoutRefused:
            return reporter.Fail(kConvertBadLayout, arguments.layout_file + " is not a column layout file");
    }
    // The window says so after loading; unattended, the line on standard error is all anyone sees.
    if (table->cut_rows > 0) reporter.Warn(CutRowsWarning(arguments.data_file, table->cut_rows));
    // The program sends a table to LPT1 only when its head chose the dot-matrix printer; a Windows
    // printer's margins are hundredths of a millimetre, not lines and characters.
    if (arguments.target == ConvertTarget::Lpt && table->settings.printer_kind != kDotMatrixPrinter) {
        return reporter.Fail(kConvertUnavailable, "--to lpt: the data head names no LPT1 printer, so the program "
                                                  "prints this table on a Windows printer");
    }
    if (!arguments.operations.empty()) reporter.Stage("sorting and filtering %d rows", table->grid->RowCount());
    if (const int code = ApplyRowOperations(arguments.operations, *table->grid, reporter); code != kConvertOk) {
        return code;
    }

    if (arguments.target == ConvertTarget::Pdf) {
        if (table->settings.printer_kind == kDotMatrixPrinter) {
            return reporter.Fail(kConvertUnavailable,
                                 "the data head prints on a dot-matrix printer, which has no PDF pages (try --to lpt)");
        }
        const int pages = CountLayoutPages(*table->grid);
        if (pages == 0) return reporter.Fail(kConvertNoRowsKept, "the table has no rows: there is no page to draw");
        if (arguments.first_page > pages) {
            return reporter.Fail(kConvertBadArguments, "--pages starts after the last page (the table has " +
                                                           std::to_string(pages) + ")");
        }
    }
    reporter.Stage("writing %d rows", table->grid->RowCount());
    bool too_wide = false;
    if (to_stdout) {
        // The dBase writer goes back to patch its record count: a pipe cannot, so the file is
        // made in memory first.
        if (arguments.target == ConvertTarget::Dbase) {
            MemoryByteSink memory;
            const bool written = WriteTarget(arguments, *table, memory, too_wide, error);
            if (too_wide) return reporter.Fail(kConvertTooBig, "the dBase record would pass 65,535 bytes");
            if (!written || std::fwrite(memory.Bytes().data(), 1, memory.Bytes().size(), out) != memory.Bytes().size() ||
                std::fflush(out) != 0) {
                return reporter.Fail(kConvertCannotWrite, "cannot write to standard output");
            }
        } else {
            StreamByteSink sink(out);
            const bool written = WriteTarget(arguments, *table, sink, too_wide, error);
            if (sink.Failed() || std::fflush(out) != 0) {
                return reporter.Fail(kConvertCannotWrite, "cannot write to standard output");
            }
            // The PDF writer may refuse or fail without a write failing.
            if (!written) {
                return reporter.Fail(kConvertCannotWrite, "cannot write the PDF: " +
                                                              (error.empty() ? std::string("no page drawn") : error));
            }
        }
        reporter.Clear();
        return kConvertOk;
    }
    StagedOutputFile file_out(arguments.output);
    if (!file_out.Open(error)) return reporter.Fail(kConvertCannotWrite, error);
    StreamByteSink sink(file_out.Stream());
    bool written = false;
    if (file_out.Direct() && arguments.target == ConvertTarget::Dbase) {
        // A device or FIFO cannot seek back for the record count either.
        MemoryByteSink memory;
        written = WriteTarget(arguments, *table, memory, too_wide, error) &&
                  sink.Write(memory.Bytes().data(), memory.Bytes().size()) == memory.Bytes().size();
    } else {
        written = WriteTarget(arguments, *table, sink, too_wide, error);
    }
    if (too_wide) return reporter.Fail(kConvertTooBig, "the dBase record would pass 65,535 bytes; nothing written");
    if (!written || sink.Failed()) {
        return reporter.Fail(kConvertCannotWrite, error.empty() ? "cannot write " + arguments.output
                                                                : "cannot write " + arguments.output + ": " + error);
    }
    if (!file_out.Commit(error)) return reporter.Fail(kConvertCannotWrite, error);
    reporter.Clear();
    return kConvertOk;
}

}  // namespace
