// FileHandleSink: WriteFile and SetFilePointer on a handle the caller opened.
#include "print/byte_sink_win32.h"

#include <algorithm>

std::size_t FileHandleSink::Write(const void* bytes, std::size_t count) {
    std::size_t total = 0;
    const auto* next = static_cast<const char*>(bytes);
    // One WriteFile for every line the writers hand over; only counts beyond 4 GiB need more.
    while (total < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - total, 0x40000000u));
        DWORD written = 0;
        if (!WriteFile(file_, next + total, chunk, &written, nullptr)) break;
        total += written;
        if (written < chunk) break;
    }
    return total;
}

bool FileHandleSink::Seek(std::uint32_t offset) {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    return SetFilePointerEx(file_, distance, nullptr, FILE_BEGIN) != 0;
}

bool FileHandleSink::Truncate() { return SetEndOfFile(file_) != 0; }
