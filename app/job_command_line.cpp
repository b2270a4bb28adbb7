// Reading an unattended job's command line: names first, then the switches (see the header).
#include "app/job_command_line.h"

#include <cstring>
#include <string_view>

#include "base/path_rules.h"
#include "print/export_formats.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool SameSwitch(std::string_view given, std::string_view name) {
    if (given.size() != name.size()) return false;
    for (std::size_t i = 0; i < given.size(); ++i) {
        char c = given[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != name[i]) return false;
    }
    return true;
}

// Where the switches begin: the first slash that starts an argument outside quotes; npos if none.
std::size_t FindSwitches(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (!quoted && line[i] == '/' && (i == 0 || IsBlank(line[i - 1]))) return i;
    }
    return std::string_view::npos;
}

// Digits only, 1 .. limit; false otherwise (also on overflow).
bool ReadCount(std::string_view text, int limit, int& value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return false;
    }
    int number = 0;
    for (char digit : text) number = number * 10 + (digit - '0');
    if (number < 1 || number > limit) return false;
    value = number;
    return true;
}

constexpr int kMostPages = 99999999;

bool ReadNames(std::string_view names, CommandLineNames& out, std::string& error) {
    while (!names.empty() && IsBlank(names.front())) names.remove_prefix(1);
    while (!names.empty() && IsBlank(names.back())) names.remove_suffix(1);
    if (names.empty()) {
        error = "name the data file before the first switch; a name that begins with / is taken for one";
        return false;
    }
    if (names.find('"') == std::string_view::npos) {
        // The names as today's command line reads them: blanks inside full paths are fine.
        const std::string text(names);
        if (!SplitCommandLine(text.c_str(), out)) {
            error = "a file name is longer than 259 characters";
            return false;
        }
        if (out.data_file[0] != '\0') return true;
        // Today's rules give a line such as "::x /print" no data file.
        error = "the names before the first switch give no data file";
        return false;
    }
    std::vector<std::string> split;
    if (!SplitWindowsArguments(names, split, error)) return false;
    if (split.empty() || split.size() > 2 || split[0].empty()) {
        error = "give the data file and at most a format file before the first switch";
        return false;
    }
    out = CommandLineNames{};
    for (std::size_t i = 0; i < split.size(); ++i) {
        if (split[i].size() >= CommandLineNames::kNameCapacity || split[i].find('\0') != std::string::npos) {
            error = "a file name is longer than 259 characters";
            return false;
        }
    }
    std::memcpy(out.data_file, split[0].c_str(), split[0].size() + 1);
    if (split.size() == 2) std::memcpy(out.format_file, split[1].c_str(), split[1].size() + 1);
    return true;
}

bool ReadPages(const std::string& range, JobRequest& job, std::string& error) {
    const std::size_t dash = range.find('-');
    const std::string first = range.substr(0, dash);
    const std::string last = dash == std::string::npos ? first : range.substr(dash + 1);
    if (!ReadCount(first, kMostPages, job.first_page) || !ReadCount(last, kMostPages, job.last_page)) {
        error = "/print pages " + range + ": give FIRST-LAST or one page, counted from 1";
        return false;
    }
    if (job.first_page > job.last_page) {
        error = "/print pages " + range + ": the first page comes after the last";
        return false;
    }
    return true;
}

bool ReadExport(const std::vector<std::string>& args, std::size_t& next, JobRequest& job, std::string& error) {
    static const struct {
        const char* name;
        int format;
    } kFormats[] = {{"text", kExportPlainText}, {"tsv", kExportTabSeparated}, {"csv", kExportCsv}, {"dbf", kExportDbase}};
    if (next + 2 > args.size()) {
        error = "/export needs a format (text, tsv, csv or dbf) and an output file";
        return false;
    }
    const std::string& format = args[next];
    bool known = false;
    for (const auto& entry : kFormats) {
        if (SameSwitch(format, entry.name)) {
            job.export_format = entry.format;
            known = true;
        }
    }
    if (!known) {
        error = "/export format \"" + format + "\" is not text, tsv, csv or dbf";
        return false;
    }
    const std::string& output = args[next + 1];
    std::string checked;
    const OutputPathProblem problem = output.find('\0') != std::string::npos
                                          ? OutputPathProblem::NoFileName
                                          : MakeOutputPath(output, nullptr, checked);
    if (output.empty() || output[0] == '/' || problem == OutputPathProblem::Empty ||
        problem == OutputPathProblem::NoFileName) {
        error = "/export needs an output file name after the format";
        return false;
    }
    if (problem == OutputPathProblem::TooLong) {
        error = "/export output file name is longer than 259 characters";
        return false;
    }
    // A relative name is the command's own business: it counts from the current folder.
    job.output = problem == OutputPathProblem::NotFull ? output : checked;
    next += 2;
    return true;
}

bool ReadSwitches(const std::vector<std::string>& args, JobRequest& job, std::string& error) {
    bool copies_given = false;
    bool dos_given = false;
    std::size_t next = 0;
    while (next < args.size()) {
        const std::string& name = args[next++];
        if (SameSwitch(name, "/print") || SameSwitch(name, "/export")) {
            if (job.action != JobAction::None) {
                error = "give /print or /export once, not both or twice";
                return false;
            }
            if (SameSwitch(name, "/export")) {
                job.action = JobAction::Export;
                if (!ReadExport(args, next, job, error)) return false;
            } else {
                job.action = JobAction::Print;
                if (next < args.size() && !args[next].empty() && args[next][0] >= '0' && args[next][0] <= '9') {
                    if (!ReadPages(args[next++], job, error)) return false;
                }
            }
        } else if (SameSwitch(name, "/copies")) {
            if (copies_given || next >= args.size() || !ReadCount(args[next], kJobMostCopies, job.copies)) {
                error = copies_given ? "/copies given twice" : "/copies takes a number from 1 to 99";
                return false;
            }
            copies_given = true;
            ++next;
        } else if (SameSwitch(name, "/dos")) {
            if (dos_given) {
                error = "/dos given twice";
                return false;
            }
            dos_given = job.dos = true;
        } else if (SameSwitch(name, "/sort") || SameSwitch(name, "/filter")) {
            JobStep step;
            step.is_filter = SameSwitch(name, "/filter");
            const bool read = step.is_filter ? ParseFilterValues(args, next, "/filter", step.filter, error)
                                             : ParseSortValues(args, next, "/sort", step.sort, error);
            if (!read) return false;
            job.steps.push_back(std::move(step));
        } else if (!name.empty() && name[0] == '/') {
            error = "unknown switch " + name + "; use /print, /export, /copies, /dos, /sort or /filter";
            return false;
        } else {
            error = "\"" + name + "\" is not a switch; the file names come before the first switch";
            return false;
        }
    }
    if (job.action == JobAction::None) {
        error = "a job needs /print or /export";
        return false;
    }
    if (copies_given && job.action != JobAction::Print) {
        error = "/copies goes with /print";
        return false;
    }
    if (dos_given && job.action != JobAction::Export) {
        error = "/dos goes with /export";
        return false;
    }
    return true;
}

}  // namespace

JobCommandLine ParseJobCommandLine(const char* command_line, JobRequest& job, std::string& error) {
    job = JobRequest{};
    if (command_line == nullptr) return JobCommandLine::NotAJob;
    const std::string_view line(command_line);
    const std::size_t switches = FindSwitches(line);
    if (switches == std::string_view::npos) return JobCommandLine::NotAJob;
    std::vector<std::string> args;
    if (!ReadNames(line.substr(0, switches), job.names, error) ||
        !SplitWindowsArguments(line.substr(switches), args, error) || !ReadSwitches(args, job, error)) {
        job = JobRequest{};
        return JobCommandLine::Invalid;
    }
    return JobCommandLine::Job;
}

std::string JobErrorLine(const std::string& message) {
    constexpr std::size_t kLongestMessage = 300;
    std::string line = "lintaro: " + message.substr(0, kLongestMessage);
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    }
    return line + "\r\n";
}
