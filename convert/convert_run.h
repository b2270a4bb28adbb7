// One run of the converter: arguments in, output and one line of error out, an exit code back.
#ifndef LINTARO_CONVERT_CONVERT_RUN_H
#define LINTARO_CONVERT_CONVERT_RUN_H

#include <cstdio>
#include <string>
#include <vector>

// Converts as `args` (without the program name) ask, writing to `out` when no -o is given and
// messages to `err` ("lintaro-convert: ..." lines). `show_progress`: report the stages of a big
// file on `err` (the caller knows whether it is a terminal). Returns a ConvertExitCode.
int RunConversion(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, bool show_progress);

#endif
