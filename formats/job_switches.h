// The values of the sort and filter switches of unattended jobs, and the split of a raw Windows
// command line into arguments: one grammar for lintaro.exe and the native converter.
#ifndef LINTARO_FORMATS_JOB_SWITCHES_H
#define LINTARO_FORMATS_JOB_SWITCHES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "grid/sort_requests.h"

// Grammar (each item is one argument, so it works the same in cmd.exe and a POSIX shell; quote
// an argument that holds blanks, e.g. "1 000,50", and give an empty bound as ""):
//
//   SORT   = SWITCH COLUMN [DIRECTION] [TYPE]          DIRECTION and TYPE in either order
//   FILTER = SWITCH COLUMN FROM TO [TYPE]              FROM and TO always present, "" for none
//   COLUMN = DIGITS   the 1-based position among the columns the dialog lists (Sort: the
//                     visible columns without the row numbers; Filter: the visible columns,
//                     row numbers included)
//          | =TITLE   the column whose title is exactly TITLE (for titles made of digits)
//          | TITLE    any other text: the column whose title is exactly that text
//   DIRECTION = asc | desc                             default asc
//   TYPE      = text | number | alpha | amount | date  default text (KeyType 0 .. 4)
//
// Keywords ignore ASCII case; titles and bounds are compared byte for byte (code page 1251 on
// Windows). FROM and TO are taken as they stand, even when they begin with a slash or a dash,
// and hold at most kFilterBoundLimit bytes. An empty bound leaves its side open, as in the
// dialog. Optional keywords are consumed only when they match exactly, so the next switch or
// name is never taken for one.

// A column as the command line names it; resolved against the table once it is loaded.
struct JobColumnName {
    int position = 0;   // 1-based position in the dialog's list; 0 when named by title
    std::string title;  // the exact title when position is 0
};

struct SortSwitch {
    JobColumnName column;
    std::int32_t direction = SortDirection::Ascending;
    std::int32_t data_type = KeyType::Text;
};

struct FilterSwitch {
    JobColumnName column;
    std::string from;
    std::string to;
    std::int32_t data_type = KeyType::Text;
};

// Reads the values after a sort switch: `args[next]` is the first value; `next` moves past the
// values taken. `switch_name` is the switch as the program spells it ("/sort", "--sort"), for
// the message. False with one line in `error` when a value is missing or wrong.
[[nodiscard]] bool ParseSortValues(const std::vector<std::string>& args, std::size_t& next,
                                   std::string_view switch_name, SortSwitch& out, std::string& error);

// Reads the values after a filter switch, as ParseSortValues does.
[[nodiscard]] bool ParseFilterValues(const std::vector<std::string>& args, std::size_t& next,
                                     std::string_view switch_name, FilterSwitch& out, std::string& error);

// A column a dialog lists: its grid column index and its title as the dialog shows it.
struct OfferedColumn {
    int index = 0;
    std::string title;
};

// The requests the row operations take, with the column found among `offered` (the Sort or the
// Filter dialog's list, in order). False with one line in `error` when no column, or more than
// one by that title, fits.
[[nodiscard]] bool ResolveSortSwitch(const SortSwitch& sort, const std::vector<OfferedColumn>& offered,
                                     std::string_view switch_name, SortRequest& out, std::string& error);
[[nodiscard]] bool ResolveFilterSwitch(const FilterSwitch& filter, const std::vector<OfferedColumn>& offered,
                                       std::string_view switch_name, FilterRequest& out, std::string& error);

// Splits a raw Windows command line into arguments as the C runtime does for main(): blanks
// (space, tab) separate; a double quote starts or ends a quoted run in which blanks belong to
// the argument; "" inside a quoted run is one literal quote; 2n backslashes before a quote
// give n backslashes and the quote acts, 2n+1 give n backslashes and a literal quote; other
// backslashes stay. A quoted run that never ends is refused (false, one line in `error`), so a
// forgotten quote cannot swallow the switches after it.
[[nodiscard]] bool SplitWindowsArguments(std::string_view line, std::vector<std::string>& args, std::string& error);

#endif
