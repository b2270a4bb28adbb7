// The sort and filter switch values and the Windows command line split (grammar in the header).
#include "formats/job_switches.h"

#include <iterator>

namespace {

// Key types by their command-line names, in KeyType order.
constexpr std::string_view kKeyTypeNames[] = {"text", "number", "alpha", "amount", "date"};

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The KeyType a name stands for, or -1.
int KeyTypeNamed(std::string_view name) {
    for (std::size_t i = 0; i < std::size(kKeyTypeNames); ++i) {
        if (EqualsIgnoringAsciiCase(name, kKeyTypeNames[i])) return static_cast<int>(i);
    }
    return -1;
}

// The SortDirection a name stands for, or 0.
int DirectionNamed(std::string_view name) {
    if (EqualsIgnoringAsciiCase(name, "asc")) return SortDirection::Ascending;
    if (EqualsIgnoringAsciiCase(name, "desc")) return SortDirection::Descending;
    return 0;
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

bool ParseColumnName(const std::vector<std::string>& args, std::size_t& next, std::string_view switch_name,
                     JobColumnName& out, std::string& error) {
    if (next >= args.size() || args[next].empty()) {
        error = std::string(switch_name) + " needs a column: its position in the dialog's list or its title";
        return false;
    }
    const std::string& text = args[next];
    out = JobColumnName{};
    if (text.find_first_not_of("0123456789") != std::string::npos) {
        out.title = text[0] == '=' ? text.substr(1) : text;
        if (out.title.empty()) {
            error = std::string(switch_name) + " column \"=\" names no title";
            return false;
        }
        ++next;
        return true;
    }
    int position = 0;
    for (char digit : text) {
        position = position * 10 + (digit - '0');
        if (position > 99999) break;  // no table has that many columns
    }
    if (position < 1 || position > 99999) {
        error = std::string(switch_name) + " column " + text + ": positions count from 1";
        return false;
    }
    out.position = position;
    ++next;
    return true;
}

bool ResolveColumn(const JobColumnName& name, const std::vector<OfferedColumn>& offered,
                   std::string_view switch_name, std::int32_t& index, std::string& error) {
    if (name.position > 0) {
        if (static_cast<std::size_t>(name.position) > offered.size()) {
            error = std::string(switch_name) + " column " + std::to_string(name.position) + ": the table offers " +
                    std::to_string(offered.size()) + " columns for it";
            return false;
        }
        index = offered[static_cast<std::size_t>(name.position) - 1].index;
        return true;
    }
    int found = 0;
    for (const OfferedColumn& column : offered) {
        if (column.title != name.title) continue;
        if (++found == 1) index = column.index;
    }
    if (found == 1) return true;
    error = std::string(switch_name) + (found == 0 ? " finds no visible column titled " : " finds several columns titled ") +
            Quoted(name.title) + (found == 0 ? "" : "; name it by its position");
    return false;
}

}  // namespace

bool ParseSortValues(const std::vector<std::string>& args, std::size_t& next, std::string_view switch_name,
                     SortSwitch& out, std::string& error) {
    SortSwitch sort;
    if (!ParseColumnName(args, next, switch_name, sort.column, error)) return false;
    bool direction_given = false;
    bool type_given = false;
    while (next < args.size()) {
        const int direction = DirectionNamed(args[next]);
        const int type = KeyTypeNamed(args[next]);
        if (direction != 0 && !direction_given) {
            sort.direction = direction;
            direction_given = true;
        } else if (type >= 0 && !type_given) {
            sort.data_type = type;
            type_given = true;
        } else if (direction != 0 || type >= 0) {
            error = std::string(switch_name) + " takes one direction and one type; " + Quoted(args[next]) + " is one too many";
            return false;
        } else {
            break;
        }
        ++next;
    }
    out = sort;
    return true;
}

bool ParseFilterValues(const std::vector<std::string>& args, std::size_t& next, std::string_view switch_name,
                       FilterSwitch& out, std::string& error) {
    FilterSwitch filter;
    if (!ParseColumnName(args, next, switch_name, filter.column, error)) return false;
    if (next + 2 > args.size()) {
        error = std::string(switch_name) + " needs a column, a from bound and a to bound (\"\" for an open side)";
        return false;
    }
    for (std::string* bound : {&filter.from, &filter.to}) {
        if (args[next].size() > kFilterBoundLimit) {
            error = std::string(switch_name) + " bound longer than " + std::to_string(kFilterBoundLimit) + " bytes";
            return false;
        }
        *bound = args[next++];
    }
    if (next < args.size()) {
        const int type = KeyTypeNamed(args[next]);
        if (type >= 0) {
            filter.data_type = type;
            ++next;
        }
    }
    out = filter;
    return true;
}

bool ResolveSortSwitch(const SortSwitch& sort, const std::vector<OfferedColumn>& offered, std::string_view switch_name,
                       SortRequest& out, std::string& error) {
    SortRequest request;
    if (!ResolveColumn(sort.column, offered, switch_name, request.column, error)) return false;
    request.direction = sort.direction;
    request.data_type = sort.data_type;
    out = request;
    return true;
}

bool ResolveFilterSwitch(const FilterSwitch& filter, const std::vector<OfferedColumn>& offered,
                         std::string_view switch_name, FilterRequest& out, std::string& error) {
    FilterRequest request{};
    if (!ResolveColumn(filter.column, offered, switch_name, request.column, error)) return false;
    if (filter.from.size() > kFilterBoundLimit || filter.to.size() > kFilterBoundLimit) {
        error = std::string(switch_name) + " bound longer than " + std::to_string(kFilterBoundLimit) + " bytes";
        return false;
    }
    filter.from.copy(request.from, filter.from.size());
    filter.to.copy(request.to, filter.to.size());
    request.data_type = filter.data_type;
    out = request;
    return true;
}

bool SplitWindowsArguments(std::string_view line, std::vector<std::string>& args, std::string& error) {
    std::vector<std::string> split;
    std::string current;
    bool in_argument = false;
    bool quoted = false;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            if (in_argument) split.push_back(std::move(current));
            current.clear();
            in_argument = false;
            ++i;
            continue;
        }
        in_argument = true;
        if (c == '\\') {
            std::size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') ++slashes, ++i;
            if (i < line.size() && line[i] == '"') {
                current.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    current += '"';
                    ++i;
                }
            } else {
                current.append(slashes, '\\');
            }
            continue;
        }
        if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                current += '"';
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        current += c;
        ++i;
    }
    if (quoted) {
        error = "a quote opened on the command line is never closed";
        return false;
    }
    if (in_argument) split.push_back(std::move(current));
    args = std::move(split);
    return true;
}
