// Where the converter's bytes go: a file that appears whole or not at all, or standard output.
#ifndef LINTARO_CONVERT_CONVERT_OUTPUT_H
#define LINTARO_CONVERT_CONVERT_OUTPUT_H

#include <cstdio>
#include <string>

#include "print/byte_sink.h"

// Writes through a stdio stream with a large buffer, so that the writers' one-line writes cost
// no system call each. Seek works where the stream can seek (files, not pipes).
class StreamByteSink : public ByteSink {
public:
    explicit StreamByteSink(std::FILE* stream);
    std::size_t Write(const void* bytes, std::size_t count) override;
    bool Seek(std::uint32_t offset) override;
    bool Failed() const { return failed_; }
    std::uint64_t Written() const { return written_; }

private:
    std::FILE* stream_;
    bool failed_ = false;
    std::uint64_t written_ = 0;
};

// The output file made beside `path` under a temporary name; Commit moves it onto `path` (so a
// reader never sees half a file, and a failed run leaves what was there before). Without Commit
// the temporary file is removed.
class StagedOutputFile {
public:
    explicit StagedOutputFile(std::string path);
    ~StagedOutputFile();
    StagedOutputFile(const StagedOutputFile&) = delete;
    StagedOutputFile& operator=(const StagedOutputFile&) = delete;

    // False with the reason in `error` when the temporary file cannot be made.
    bool Open(std::string& error);
    std::FILE* Stream() const { return stream_; }
    // Flushes, closes and renames; false with the reason in `error`.
    bool Commit(std::string& error);

private:
    std::string path_;
    std::string staged_;
    std::FILE* stream_ = nullptr;
};

#endif
