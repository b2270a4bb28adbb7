// The growable heap block under ItemList and TableStore.
#include "store/memory_block.h"

#include <cstdlib>
#include <cstring>

namespace {

void* ReallocateWithStandardLibrary(void* block, std::size_t bytes) {
    return std::realloc(block, bytes);
}

// `bytes` rounded up to a multiple of `step`; 0 when that passes `maximum`.
std::size_t RoundUpToStep(std::size_t bytes, std::size_t step, std::size_t maximum) {
    std::size_t remainder = bytes % step;
    if (remainder == 0) return bytes <= maximum ? bytes : 0;
    std::size_t padding = step - remainder;
    if (bytes > maximum || maximum - bytes < padding) return 0;
    return bytes + padding;
}

}  // namespace

MemoryBlock::MemoryBlock(ReallocateFunction reallocate)
    : reallocate_(reallocate != nullptr ? reallocate : ReallocateWithStandardLibrary) {}

MemoryBlock::~MemoryBlock() {
    std::free(bytes_);
}

bool MemoryBlock::Grow(std::size_t required, std::size_t step, std::size_t maximum) {
    if (required <= capacity_) return true;
    if (step == 0 || required > maximum) return false;

    std::size_t geometric = capacity_ + capacity_ / 2;
    std::size_t target = RoundUpToStep(geometric > required ? geometric : required, step, maximum);
    if (target == 0) target = RoundUpToStep(required, step, maximum);
    if (target == 0) return false;

    void* grown = reallocate_(bytes_, target);
    if (grown == nullptr) return false;
    if (bytes_ == nullptr) std::memset(grown, 0, target);
    bytes_ = static_cast<std::uint8_t*>(grown);
    capacity_ = target;
    return true;
}
