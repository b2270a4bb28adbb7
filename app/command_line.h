// Splits the program's command line into the data file name and the format file name.
#ifndef LINTARO_APP_COMMAND_LINE_H
#define LINTARO_APP_COMMAND_LINE_H

#include <cstddef>

// Both names are full paths with drive letters, separated by blanks: the data file first,
// then the optional format file (the grid's column layout file). Quotes are not interpreted.
struct CommandLineNames {
    static constexpr std::size_t kNameCapacity = 260;  // 259 characters and a terminating zero
    char data_file[kNameCapacity] = {};
    char format_file[kNameCapacity] = {};
};

// Fills both names from the raw command line (null or empty leaves them empty).
// A name longer than 259 characters cannot be opened, so such a command line is refused:
// both names stay empty and the result is false. Otherwise the result is true.
bool SplitCommandLine(const char* command_line, CommandLineNames& names);

#endif
