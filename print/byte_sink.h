// ByteSink: where dot-matrix output and the export writers send their bytes (port, file, memory).
#ifndef LINTARO_PRINT_BYTE_SINK_H
#define LINTARO_PRINT_BYTE_SINK_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// The writers reach the parallel port and export files only through this interface, so the
// page and file logic is the same on every platform and can be checked byte for byte in memory.
// One Write is one WriteFile on the Win32 side: writers that must write a line "at once" call it
// once per line. Single-threaded; the sink belongs to the caller.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes `count` bytes at the current position and moves past them. Returns how many were
    // written; fewer than `count` means the write failed (a short or failed WriteFile).
    virtual std::size_t Write(const void* bytes, std::size_t count) = 0;
    // Moves the position to `offset` bytes from the start (the dBase writer goes back to patch
    // its record count). False when the sink cannot move.
    virtual bool Seek(std::uint32_t offset) = 0;
    // Ends the file at the current position, so that a write cut short by a full disk leaves no
    // piece of a line behind. False when the sink cannot (a port): it then keeps what it took.
    virtual bool Truncate() { return false; }
};

// A sink that keeps everything in memory, overwriting where a Seek left it, as a file would.
class MemoryByteSink : public ByteSink {
public:
    std::size_t Write(const void* bytes, std::size_t count) override {
        if (bytes_.size() < position_ + count) bytes_.resize(position_ + count);
        if (count > 0) std::memcpy(&bytes_[position_], bytes, count);
        position_ += count;
        return count;
    }
    bool Seek(std::uint32_t offset) override {
        if (offset > bytes_.size()) return false;
        position_ = offset;
        return true;
    }
    bool Truncate() override {
        bytes_.resize(position_);
        return true;
    }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

#endif
