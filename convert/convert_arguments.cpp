// The converter's command line read into a plain record; every fault one line of text.
#include "convert/convert_arguments.h"

namespace {

bool ReadTarget(const std::string& name, ConvertTarget& target) {
    static const struct {
        const char* name;
        ConvertTarget target;
    } kTargets[] = {
        {"text", ConvertTarget::Text}, {"tsv", ConvertTarget::TabSeparated}, {"csv", ConvertTarget::Csv},
        {"dbf", ConvertTarget::Dbase}, {"lpt", ConvertTarget::Lpt},          {"pdf", ConvertTarget::Pdf},
    };
    for (const auto& known : kTargets) {
        if (name == known.name) {
            target = known.target;
            return true;
        }
    }
    return false;
}

// The value after `args[i]`, for switches that take one.
bool TakeValue(const std::vector<std::string>& args, std::size_t& i, std::string& value, std::string& error) {
    if (i + 1 >= args.size()) {
        error = args[i] + " needs a value";
        return false;
    }
    value = args[++i];
    return true;
}

// "FIRST-LAST", "FIRST-" or "N" (one page), pages counted from 1.
bool ReadPageRange(const std::string& text, int& first, int& last) {
    const auto number = [](const std::string& digits, int& value) {
        if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        value = std::stoi(digits);
        return value >= 1;
    };
    const std::size_t dash = text.find('-');
    if (dash == std::string::npos) {
        if (!number(text, first)) return false;
        last = first;
        return true;
    }
    if (!number(text.substr(0, dash), first)) return false;
    last = 0;
    const std::string rest = text.substr(dash + 1);
    return rest.empty() || (number(rest, last) && last >= first);
}

}  // namespace

bool ParseConvertArguments(const std::vector<std::string>& args, ConvertArguments& out, std::string& error) {
    out = ConvertArguments{};
    error.clear();
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            out.help = true;
            return true;
        }
    }
    bool has_layout = false;
    bool has_output = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--layout") {
            if (has_layout) {
                error = "--layout given twice";
                return false;
            }
            if (!TakeValue(args, i, out.layout_file, error)) return false;
            if (out.layout_file.empty()) {
                error = "--layout needs a file name";
                return false;
            }
            has_layout = true;
        } else if (arg == "--to") {
            std::string name;
            if (out.has_target) {
                error = "--to given twice";
                return false;
            }
            if (!TakeValue(args, i, name, error)) return false;
            if (!ReadTarget(name, out.target)) {
                error = "unknown format '" + name + "' for --to (text, tsv, csv, dbf, lpt, pdf)";
                return false;
            }
            out.has_target = true;
        } else if (arg == "-o" || arg == "--output") {
            if (has_output) {
                error = arg + " given twice";
                return false;
            }
            if (!TakeValue(args, i, out.output, error)) return false;
            if (out.output.empty()) {
                error = arg + " needs a file name (- for standard output)";
                return false;
            }
            has_output = true;
        } else if (arg == "--pages") {
            std::string range;
            if (!TakeValue(args, i, range, error)) return false;
            if (!ReadPageRange(range, out.first_page, out.last_page)) {
                error = "--pages needs FIRST-LAST, FIRST- or one page, counted from 1: '" + range + "'";
                return false;
            }
        } else if (arg == "--dos") {
            out.dos = true;
        } else if (arg == "--sort" || arg == "--filter") {
            RowOperation operation;
            operation.is_sort = arg == "--sort";
            std::size_t next = i + 1;
            const bool read = operation.is_sort ? ParseSortValues(args, next, arg, operation.sort, error)
                                                : ParseFilterValues(args, next, arg, operation.filter, error);
            if (!read) return false;
            out.operations.push_back(std::move(operation));
            i = next - 1;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            error = "unknown switch " + arg + " (see --help)";
            return false;
        } else if (out.data_file.empty()) {
            out.data_file = arg;
            if (arg.empty()) {
                error = "the data file name is empty";
                return false;
            }
        } else {
            error = "more than one data file: " + out.data_file + " and " + arg;
            return false;
        }
    }
    if (out.data_file.empty()) {
        error = "no data file given (see --help)";
        return false;
    }
    if (!out.has_target) {
        error = "no format given: --to text|tsv|csv|dbf|lpt|pdf";
        return false;
    }
    return true;
}

const char* ConvertUsage() {
    return "Usage: lintaro-convert DATA [--layout FILE] --to text|tsv|csv|dbf|lpt|pdf [--dos]\n"
           "                      [--pages FIRST-LAST] [--sort ...] [--filter ...] [-o OUT]\n"
           "\n"
           "Converts a Lintaro data file (.rdf) as lintaro.exe exports it, byte for byte.\n"
           "\n"
           "  DATA            the data file (code page 1251); \"-\" is not accepted\n"
           "  --layout FILE   the table's column layout file (the program's format file)\n"
           "  --to FORMAT     text  boxed text, paginated as printed\n"
           "                  tsv   tab-separated text\n"
           "                  csv   CSV with \";\" after every field\n"
           "                  dbf   dBase III\n"
           "                  lpt   the bytes the program sends to LPT1 for the printer model\n"
           "                        of the data head, every page (Cyrillic in the DOS table)\n"
           "                  pdf   the pages the program prints on a Windows printer, each\n"
           "                        column group of each page a sheet of the head's paper\n"
           "  --pages RANGE   pdf: only pages FIRST-LAST (FIRST- to the end, N one page)\n"
           "  --dos           texts in the DOS code table (text, tsv, csv, dbf)\n"
           "  --sort COLUMN [asc|desc] [text|number|alpha|amount|date]\n"
           "  --filter COLUMN FROM TO [text|number|alpha|amount|date]\n"
           "                  as the Sort and Filter dialogs do, in the order given; COLUMN is\n"
           "                  a position in the dialog's list (1 = first), or a title (=TITLE\n"
           "                  for a title made of digits); \"\" is an open bound\n"
           "  -o, --output OUT  the file to write (default, and \"-\": standard output); it is\n"
           "                  written beside OUT under another name and then moved into place\n"
           "  -h, --help      this text\n"
           "\n"
           "Pages are laid out for the printer the data head names, as under Wine on the test\n"
           "printers: \"PDF\" (A4, the default printer) or \"Letter\", 300 dpi; fonts are measured\n"
           "on the Liberation fonts that stand in for Arial, Times New Roman and Courier New.\n"
           "\n"
           "Exit codes (those of lintaro.exe's jobs where they share a meaning): 0 done;\n"
           "1 bad command line; 2 the data file cannot be read or holds no table; 3 the layout\n"
           "file cannot be read or is not a layout file; 4 a sort or filter column is not in\n"
           "the table; 5 a filter keeps no row, or pdf of a table without rows; 7 output\n"
           "cannot be written (or would replace the data or layout file); 8 table too big\n"
           "(memory, or a dBase record over 65,535 bytes); 9 format not available (pdf\n"
           "without cairo or for a dot-matrix head; lpt for a table whose head names no\n"
           "LPT1 printer).\n";
}
