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

// Exit codes, also listed by --help and in the README.
enum ConvertExitCode : int {
    kConvertOk = 0,
    kConvertBadArguments = 2,    // unknown switch, missing or wrong value, no data file or format
    kConvertUnreadableData = 3,  // the data file cannot be read
    kConvertNotATable = 4,       // the data file holds no table (no titles before "Data:")
    kConvertBadLayout = 5,       // the layout file cannot be read or is not a column layout file
    kConvertNoSuchRows = 6,      // a --sort or --filter column is not in the table, or no row passes a filter
    kConvertCannotWrite = 7,     // the output cannot be created, written or put in place
    kConvertTooBig = 8,          // the table does not fit in memory, or a dBase record would pass 65,535 bytes
    kConvertUnavailable = 9,     // the format is not available in this build
};

// Reads the arguments after the program name. False with one line in `error` when they cannot
// be used; --help (or -h) anywhere makes the rest irrelevant.
[[nodiscard]] bool ParseConvertArguments(const std::vector<std::string>& args, ConvertArguments& out,
                                         std::string& error);

// The --help text.
const char* ConvertUsage();

#endif
