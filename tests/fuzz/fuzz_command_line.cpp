// Fuzzes the command line: the split into data file and format file names (names always
// terminated, within their buffers, never longer than the line), and the job switches: the
// Windows argument split and the sort and filter values read from its arguments and resolved
// against a small column list.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "formats/job_switches.h"

namespace {

void FuzzNames(const std::string& line) {
    CommandLineNames names;
    const bool accepted = SplitCommandLine(line.c_str(), names);
    const std::size_t data_length = strnlen(names.data_file, sizeof names.data_file);
    const std::size_t format_length = strnlen(names.format_file, sizeof names.format_file);
    if (data_length >= sizeof names.data_file || format_length >= sizeof names.format_file) {
        std::abort();
    }
    if (!accepted && (data_length != 0 || format_length != 0)) std::abort();
    if (data_length + format_length > std::strlen(line.c_str())) std::abort();
    if (format_length != 0 && std::strstr(line.c_str(), names.format_file) == nullptr) std::abort();
}

void FuzzSwitches(const std::string& line) {
    std::vector<std::string> args;
    std::string error;
    if (!SplitWindowsArguments(line, args, error)) {
        if (error.empty()) std::abort();
        return;
    }
    std::size_t total = 0;
    for (const std::string& arg : args) total += arg.size();
    if (total > line.size()) std::abort();
    const std::vector<OfferedColumn> offered = {{0, "1"}, {2, "Име"}, {5, "Име"}};
    // Read every argument as the start of a sort and of a filter switch's values.
    for (std::size_t start = 0; start < args.size(); ++start) {
        std::size_t next = start;
        SortSwitch sort;
        if (ParseSortValues(args, next, "/sort", sort, error)) {
            if (next <= start || next > start + 3) std::abort();
            SortRequest request;
            if (ResolveSortSwitch(sort, offered, "/sort", request, error) &&
                request.column != 0 && request.column != 2 && request.column != 5) {
                std::abort();
            }
        } else if (error.empty()) {
            std::abort();
        }
        next = start;
        FilterSwitch filter;
        if (ParseFilterValues(args, next, "/filter", filter, error)) {
            if (next < start + 3 || next > start + 4) std::abort();
            FilterRequest request{};
            if (ResolveFilterSwitch(filter, offered, "/filter", request, error) &&
                (request.from[kFilterBoundLimit] != '\0' || request.to[kFilterBoundLimit] != '\0')) {
                std::abort();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    FuzzNames(line);
    FuzzSwitches(line);
    return 0;
}
