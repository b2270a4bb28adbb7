// The command line of an unattended job: the data file (and format file) names, then switches
// that print or export the table, sorted and filtered, without showing a window.
#ifndef LINTARO_APP_JOB_COMMAND_LINE_H
#define LINTARO_APP_JOB_COMMAND_LINE_H

#include <string>
#include <vector>

#include "app/command_line.h"
#include "formats/job_switches.h"

//   lintaro.exe DATA [FORMAT] /print [FIRST-LAST | PAGE] [/copies N] [STEP...]
//   lintaro.exe DATA [FORMAT] /export text|tsv|csv|dbf OUT [/dos] [STEP...]
//   STEP = /sort ... | /filter ...  (grammar in formats/job_switches.h), applied in order
//
// The switches start at the first argument that begins with a slash. Before it, the names keep
// today's rules (the format file starts at the drive letter before the second colon), unless
// they are quoted: then they are split as arguments, at most two. Switch names ignore ASCII
// case and may come in any order; /print or /export is required, each once. OUT must not
// begin with a slash (a forgotten file name would otherwise take the next switch for one).
// Without any switch the command line is today's one or two names, read exactly as before.

// The exit codes of a job; every failure also writes one line to standard error.
enum JobExitCode : int {
    kJobDone = 0,
    kJobUsage = 1,              // a switch or value is wrong or missing
    kJobDataFileUnusable = 2,   // missing, unreadable, no table, or too big for memory
    kJobLayoutUnusable = 3,     // the format file named exists but is not a layout file that could be read
    kJobSwitchMisfits = 4,      // a column or page named is not in the table
    kJobNoRowMatches = 5,       // a filter kept no row
    kJobPrinterFailed = 6,      // the printer or LPT1 could not be opened, or the spooler refused
    kJobWriteFailed = 7,        // the output file could not be created or written whole
};

enum class JobAction { None, Print, Export };

// One sort or one filter, in the order given.
struct JobStep {
    bool is_filter = false;
    SortSwitch sort;
    FilterSwitch filter;
};

struct JobRequest {
    CommandLineNames names;
    JobAction action = JobAction::None;
    int first_page = 1;
    int last_page = 0;  // 0: to the last page
    int copies = 1;
    int export_format = 0;  // kExportPlainText ...
    bool dos = false;       // export in the DOS code table
    std::string output;
    std::vector<JobStep> steps;
};

// Longest number of copies a job prints.
constexpr int kJobMostCopies = 99;

enum class JobCommandLine { NotAJob, Job, Invalid };

// Reads the raw command line. NotAJob: no switch, the program starts as it always did.
// Invalid: `error` holds one line saying what is wrong.
[[nodiscard]] JobCommandLine ParseJobCommandLine(const char* command_line, JobRequest& job, std::string& error);

// The line a job writes to standard error: "lintaro: " and the message, each byte below 0x20
// shown as '?', cut to 300 bytes, ended by CR LF; so it stays one line whatever the arguments held.
std::string JobErrorLine(const std::string& message);

#endif
