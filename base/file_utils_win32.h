// Whole-file reads and writes, safe replacement, retrying delete and the program's folder (Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/path_rules.h"

// Paths are ANSI (code page 1251) and NUL-terminated. Every routine reports failure through its
// result only: no messages, no exceptions. The waiting routines block the calling thread with
// Sleep between tries; window messages are not processed meanwhile.

// How long the waiting routines keep trying, in milliseconds. Callers use the defaults; tests
// shorten them where the point is not the wait itself.
constexpr unsigned kReadWaitDeadlineMs = 10000;
constexpr unsigned kReadRetryIntervalMs = 200;
constexpr unsigned kDeleteWaitDeadlineMs = 10000;
// As a deadline: one try, no waiting.
constexpr unsigned kReadOnceDeadlineMs = 0;
constexpr unsigned kDeleteRetryIntervalMs = 100;

// Files larger than this are refused by ReadWholeFile rather than risk exhausting memory.
constexpr std::uint64_t kWholeFileSizeLimit = 0x7FFFFFFF;

// Reads the whole file into `bytes` (exactly its bytes, no terminator; a zero-length file gives
// an empty vector and success). A file that exists but cannot be opened yet, for example because
// its writer still holds it, is retried every `retryIntervalMs` until `deadlineMs` has passed. A
// missing file or folder, a folder given as the file, a file over kWholeFileSizeLimit, a failed
// or short read: false at once. `bytes` is empty after a failure.
bool ReadWholeFile(const char* path, std::vector<unsigned char>& bytes,
                   unsigned deadlineMs = kReadWaitDeadlineMs,
                   unsigned retryIntervalMs = kReadRetryIntervalMs);

// A file read from its start to its end in blocks, so that it need not be held whole. Opened as
// ReadWholeFile opens a file: waiting for a writer that still holds it, refusing a missing file,
// a folder and a file over kWholeFileSizeLimit. Closed when the reader goes.
class BlockFileReader {
public:
    BlockFileReader() = default;
    ~BlockFileReader();
    BlockFileReader(const BlockFileReader&) = delete;
    BlockFileReader& operator=(const BlockFileReader&) = delete;

    bool Open(const char* path, unsigned deadlineMs = kReadWaitDeadlineMs,
              unsigned retryIntervalMs = kReadRetryIntervalMs);
    // Reads the next up to `capacity` bytes into `buffer`: their number, 0 at the end of the
    // file, -1 when the file is not open or cannot be read.
    std::ptrdiff_t Read(void* buffer, std::size_t capacity);
    // The file's size when it was opened (what a progress counts the bytes read against).
    std::int64_t Size() const { return size_; }

private:
    void* handle_ = nullptr;  // a file HANDLE; nullptr when not open
    std::int64_t size_ = 0;
};

// Reads up to `capacity` bytes from the start of the file into `buffer`, without waiting.
// Returns the number of bytes read (0 when the file cannot be found, opened or read); callers
// that need an exact size compare it themselves.
std::size_t ReadFilePrefix(const char* path, void* buffer, std::size_t capacity);

// Opens the file for writing from its start, as CREATE_ALWAYS does: made when missing, emptied
// when it exists, held for this process alone (no sharing). A missing file is made as a new file
// rather than emptied: under Wine an emptied file is truncated, which on Linux file systems such
// as ext4 writes every byte out when it is closed; a long export waited for its disk at the end.
// INVALID_HANDLE_VALUE (as a void*) when the file cannot be had, with CREATE_ALWAYS's last error.
void* CreateOutputFile(const char* path);

// Creates or truncates the file and writes `count` bytes, then flushes them to disk. True only
// when every byte was written. A null `bytes` with a nonzero count is refused before anything is
// created. Removes nothing: after a failed write the file is left as far as it got.
bool WriteWholeFile(const char* path, const void* bytes, std::size_t count);

// Replaces the file's contents so that at any moment the path holds either the old file or the
// new one, whole. The new bytes go first to the path with extension "tmp" (Printer.cfg is written
// as Printer.tmp; a target already ending in .tmp uses name.tmp.tmp), then the temporary file is
// moved over the target in one step. A read-only target has that attribute cleared first. A move
// blocked because another process holds the target is retried like DeleteFileRetrying. On
// failure the temporary file is removed and the target is left as it was (attribute included).
bool ReplaceFileSafely(const char* path, const void* bytes, std::size_t count,
                       unsigned deadlineMs = kDeleteWaitDeadlineMs,
                       unsigned retryIntervalMs = kDeleteRetryIntervalMs);

// Deletes the file, retrying every `retryIntervalMs` until `deadlineMs` while it cannot be deleted
// (held by another process, or read-only: the attribute is cleared before the next try). A file
// or folder that does not exist counts as deleted. A folder given as the file, a null or empty
// path: false at once.
bool DeleteFileRetrying(const char* path, unsigned deadlineMs = kDeleteWaitDeadlineMs,
                        unsigned retryIntervalMs = kDeleteRetryIntervalMs);

// Writes the executable's folder, without a trailing '\', into `buffer`, with runs of capitals
// softened (C:\PROGRAM FILES\APP gives C:\Program Files\App). Returns the length, or 0 with an
// empty buffer when the folder cannot be found or does not fit in `capacity`.
std::size_t ProgramDirectory(char* buffer, std::size_t capacity = kPathBufferSize);

// True when both names lead to one existing file, however they are spelt (case, short names,
// "..", another drive letter for the same folder): compared by volume and file index. When
// either file cannot be looked at, their full path names are compared without regard to case.
bool SameFile(const char* first, const char* second);
