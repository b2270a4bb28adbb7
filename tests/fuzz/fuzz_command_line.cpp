// Fuzzes the command line split: names always terminated, within their buffers, and the
// data file plus format file never longer than the line itself.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
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
    return 0;
}
