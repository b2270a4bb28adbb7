// The converter's command line: data file, layout file, target format, row operations, output.
#ifndef LINTARO_CONVERT_CONVERT_ARGUMENTS_H
#define LINTARO_CONVERT_CONVERT_ARGUMENTS_H

#include <string>
#include <vector>

#include "formats/job_switches.h"

// What the converter makes: the four export formats, the LPT1 byte stream, or PDF.
enum class ConvertTarget { Text, TabSeparated, Csv, Dbase, Lpt, Pdf };

// One --sort or --filter, applied in the order given, each as its dialog would apply it.
struct RowOperation {
    bool is_sort = true;
    SortSwitch sort;
    FilterSwitch filter;
};

struct ConvertArguments {
    bool help = false;
    std::string data_file;
    std::string layout_file;  // empty: none
    bool has_target = false;
    ConvertTarget target = ConvertTarget::Text;
    bool dos = false;
    std::vector<RowOperation> operations;
    std::string output;  // empty or "-": standard output
    // --pages FIRST-LAST (pdf): 1-based pages of the table; a last page of 0 means the end.
    int first_page = 1;
    int last_page = 0;
};

// Exit codes, also listed by --help and in the README; the same numbers as lintaro.exe's jobs
// give the same faults, so that scripts treat both commands alike.
enum ConvertExitCode : int {
    kConvertOk = 0,
    kConvertBadArguments = 1,    // unknown switch, missing or wrong value, no data file or format
    kConvertUnreadableData = 2,  // the data file cannot be read, or holds no table
    kConvertBadLayout = 3,       // the layout file cannot be read or is not a column layout file
    kConvertNoSuchColumn = 4,    // a --sort or --filter column is not in the table
    kConvertNoRowsKept = 5,      // a --filter keeps no row, or a PDF is asked of a table without rows
    kConvertCannotWrite = 7,     // the output cannot be created, written or put in place, or would
                                 // replace the data or layout file
    kConvertTooBig = 8,          // the table does not fit in memory, or a dBase record would pass 65,535 bytes
    kConvertUnavailable = 9,     // the format is not available: pdf without cairo or for a dot-matrix head, lpt for a Windows printer's table
};

// Reads the arguments after the program name. False with one line in `error` when they cannot
// be used; --help (or -h) anywhere makes the rest irrelevant.
[[nodiscard]] bool ParseConvertArguments(const std::vector<std::string>& args, ConvertArguments& out,
                                         std::string& error);

// The --help text.
const char* ConvertUsage();

#endif
