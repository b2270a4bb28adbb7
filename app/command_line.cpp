// The command line split: the second path starts at the drive letter before its colon.
#include "app/command_line.h"

#include <cstring>

namespace {

bool CopyName(const char* from, std::size_t length, char (&to)[CommandLineNames::kNameCapacity]) {
    if (length >= CommandLineNames::kNameCapacity) return false;
    std::memcpy(to, from, length);
    to[length] = '\0';
    return true;
}

}  // namespace

bool SplitCommandLine(const char* command_line, CommandLineNames& names) {
    names = CommandLineNames{};
    if (command_line == nullptr || command_line[0] == '\0') return true;

    const std::size_t length = std::strlen(command_line);
    const char* first_colon = std::strchr(command_line, ':');
    const char* second_colon = first_colon ? std::strchr(first_colon + 1, ':') : nullptr;
    if (second_colon == nullptr) {
        if (CopyName(command_line, length, names.data_file)) return true;
        names = CommandLineNames{};
        return false;
    }

    // The character just before the second colon is the second path's drive letter.
    const std::size_t drive = static_cast<std::size_t>(second_colon - command_line) - 1;
    std::size_t data_length = drive;
    while (data_length > 0 && command_line[data_length - 1] == ' ') --data_length;
    if (CopyName(command_line, data_length, names.data_file) &&
        CopyName(command_line + drive, length - drive, names.format_file)) {
        return true;
    }
    names = CommandLineNames{};
    return false;
}
