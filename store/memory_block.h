// The growable heap block under ItemList and TableStore: whole growth steps, geometric growth.
#ifndef LINTARO_STORE_MEMORY_BLOCK_H
#define LINTARO_STORE_MEMORY_BLOCK_H

#include <cstddef>
#include <cstdint>

// Same contract as std::realloc: (nullptr, n) allocates, a failure returns nullptr and leaves
// the old block untouched, and the memory it returns is released with std::free. Tests pass
// their own to make growth fail on demand; nullptr means std::realloc.
using ReallocateFunction = void* (*)(void* block, std::size_t bytes);

// Owns one block from the reallocate function. Not thread-safe: the owner holds its lock.
class MemoryBlock {
public:
    explicit MemoryBlock(ReallocateFunction reallocate = nullptr);
    ~MemoryBlock();
    MemoryBlock(const MemoryBlock&) = delete;
    MemoryBlock& operator=(const MemoryBlock&) = delete;

    std::uint8_t* Bytes() const { return bytes_; }
    std::size_t Capacity() const { return capacity_; }

    // Makes the capacity at least `required` bytes, never above `maximum`. The new capacity is
    // a multiple of `step` and, so that filling stays linear, at least 1.5 times the old one
    // when that still fits under `maximum`. The first block is zero-filled; bytes added by a
    // later growth are not. On failure nothing changes and the result is false.
    bool Grow(std::size_t required, std::size_t step, std::size_t maximum);

private:
    ReallocateFunction reallocate_;
    std::uint8_t* bytes_ = nullptr;
    std::size_t capacity_ = 0;
};

#endif
