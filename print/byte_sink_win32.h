// FileHandleSink: a ByteSink over an open Win32 file handle (an export file or the port "LPT1").
#ifndef LINTARO_PRINT_BYTE_SINK_WIN32_H
#define LINTARO_PRINT_BYTE_SINK_WIN32_H

#include <windows.h>

#include "print/byte_sink.h"

// Writes with WriteFile, moves with SetFilePointer and truncates with SetEndOfFile. The handle stays the caller's: the sink
// neither checks nor closes it (callers test for INVALID_HANDLE_VALUE first).
class FileHandleSink : public ByteSink {
public:
    explicit FileHandleSink(HANDLE file) : file_(file) {}
    std::size_t Write(const void* bytes, std::size_t count) override;
    bool Seek(std::uint32_t offset) override;
    bool Truncate() override;

private:
    HANDLE file_;
};

#endif
