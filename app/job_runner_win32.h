// Runs an unattended job in a hidden session: the program's own load, sort, filter, print and
// export, with no window shown and nothing asked.
#ifndef LINTARO_APP_JOB_RUNNER_WIN32_H
#define LINTARO_APP_JOB_RUNNER_WIN32_H

#include <string>

#include "app/job_command_line.h"

// Loads Printer.cfg (never writing it), the data file and the format file into the session,
// applies the sorts and filters in order as their dialogs would, then prints (every column
// group of the chosen pages, each copy, on the printer of the head or Printer.cfg; the
// dot-matrix printer gets the pages on LPT1 without asking for sheets) or exports. The layout
// file is never written. Returns a JobExitCode; a failure writes its one line to standard error.
int RunJob(const JobRequest& job);

// Writes JobErrorLine(message) to standard error: the handle the parent gave the program, or
// the parent's console when it gave none.
void WriteJobError(const std::string& message);

#endif
