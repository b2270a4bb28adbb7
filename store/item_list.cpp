// ItemList: the program's growable, lock-guarded run of bytes.
#include "store/item_list.h"

#include <cstring>
#include <limits>

namespace {

constexpr std::int64_t kLargestCapacity = std::numeric_limits<std::int32_t>::max();

}  // namespace

ItemList::ItemList(std::int32_t initial_capacity, std::int32_t growth_step,
                   ReallocateFunction reallocate)
    : block_(reallocate) {
    if (growth_step >= 1 && growth_step <= kLargestGrowthStep) growth_step_ = growth_step;
    if (initial_capacity <= 0) initial_capacity = growth_step_;
    std::lock_guard<std::mutex> guard(lock_);
    GrowLocked(initial_capacity);
}

ItemList::~ItemList() = default;

void ItemList::MakeEmpty() {
    std::lock_guard<std::mutex> guard(lock_);
    size_ = 0;
}

bool ItemList::Reserve(std::int32_t bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    return GrowLocked(bytes);
}

bool ItemList::Append(const void* source, std::int32_t count) {
    if (count == 0) return true;
    if (count < 0) return false;
    std::lock_guard<std::mutex> guard(lock_);
    if (!GrowLocked(static_cast<std::int64_t>(size_) + count)) return false;
    std::uint8_t* end = block_.Bytes() + size_;
    if (source != nullptr) {
        std::memcpy(end, source, static_cast<std::size_t>(count));
    } else {
        std::memset(end, 0, static_cast<std::size_t>(count));
    }
    size_ += count;
    return true;
}

bool ItemList::Insert(std::int32_t position, const void* source, std::int32_t count) {
    if (count == 0) return true;
    if (count < 0 || position < 0) return false;
    std::lock_guard<std::mutex> guard(lock_);
    if (position < size_) {
        if (!GrowLocked(static_cast<std::int64_t>(size_) + count)) return false;
        std::uint8_t* bytes = block_.Bytes();
        std::memmove(bytes + position + count, bytes + position,
                     static_cast<std::size_t>(size_ - position));
        size_ += count;
    } else {
        if (!GrowLocked(static_cast<std::int64_t>(position) + count)) return false;
        std::memset(block_.Bytes() + size_, 0, static_cast<std::size_t>(position - size_));
        size_ = position + count;
    }
    std::uint8_t* target = block_.Bytes() + position;
    if (source != nullptr) {
        std::memcpy(target, source, static_cast<std::size_t>(count));
    } else {
        std::memset(target, 0, static_cast<std::size_t>(count));
    }
    return true;
}

void ItemList::Remove(std::int32_t position, std::int32_t count) {
    std::lock_guard<std::mutex> guard(lock_);
    if (block_.Bytes() == nullptr || count <= 0 || position < 0 || position >= size_) return;
    if (static_cast<std::int64_t>(position) + count < size_) {
        std::uint8_t* bytes = block_.Bytes();
        std::memmove(bytes + position, bytes + position + count,
                     static_cast<std::size_t>(size_ - position - count));
        size_ -= count;
    } else {
        size_ = position;
    }
}

bool ItemList::GrowLocked(std::int64_t bytes) {
    if (bytes < 0 || bytes > kLargestCapacity) return false;
    return block_.Grow(static_cast<std::size_t>(bytes), static_cast<std::size_t>(growth_step_),
                       static_cast<std::size_t>(kLargestCapacity));
}
