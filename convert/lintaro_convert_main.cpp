// lintaro-convert: converts data files on Linux as lintaro.exe exports them.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "convert/convert_run.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunConversion(args, stdout, stderr, ::isatty(STDERR_FILENO) == 1);
}
