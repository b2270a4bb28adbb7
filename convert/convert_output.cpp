// Output of the converter: buffered stream sinks and files moved into place when complete.
#include "convert/convert_output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

StreamByteSink::StreamByteSink(std::FILE* stream) : stream_(stream) {
    // Set before the first write; a stream already written to keeps its buffer.
    std::setvbuf(stream_, nullptr, _IOFBF, 1 << 20);
}

std::size_t StreamByteSink::Write(const void* bytes, std::size_t count) {
    if (failed_) return 0;
    const std::size_t written = std::fwrite(bytes, 1, count, stream_);
    written_ += written;
    if (written != count) failed_ = true;
    return written;
}

bool StreamByteSink::Seek(std::uint32_t offset) {
    return !failed_ && std::fflush(stream_) == 0 && std::fseek(stream_, static_cast<long>(offset), SEEK_SET) == 0;
}

StagedOutputFile::StagedOutputFile(std::string path) : path_(std::move(path)) {}

StagedOutputFile::~StagedOutputFile() {
    if (stream_ != nullptr) std::fclose(stream_);
    if (!staged_.empty()) ::unlink(staged_.c_str());
}

bool StagedOutputFile::Open(std::string& error) {
    struct stat existing {};
    if (::stat(path_.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
        error = path_ + " is a folder";
        return false;
    }
    std::vector<char> name(path_.begin(), path_.end());
    const char kSuffix[] = ".partXXXXXX";
    name.insert(name.end(), kSuffix, kSuffix + sizeof kSuffix);
    const int descriptor = ::mkstemp(name.data());
    if (descriptor < 0) {
        error = "cannot create " + path_ + ": " + std::strerror(errno);
        return false;
    }
    staged_ = name.data();
    // mkstemp makes the file private; the output gets what a new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(descriptor, 0666 & ~mask);
    stream_ = ::fdopen(descriptor, "w+b");
    if (stream_ == nullptr) {
        ::close(descriptor);
        error = "cannot create " + path_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool StagedOutputFile::Commit(std::string& error) {
    std::FILE* stream = stream_;
    stream_ = nullptr;
    const bool flushed = std::fflush(stream) == 0;
    const int flush_errno = errno;
    if (std::fclose(stream) != 0 || !flushed) {
        error = "cannot write " + path_ + ": " + std::strerror(flushed ? errno : flush_errno);
        return false;
    }
    if (std::rename(staged_.c_str(), path_.c_str()) != 0) {
        error = "cannot write " + path_ + ": " + std::strerror(errno);
        return false;
    }
    staged_.clear();
    return true;
}
