// ItemList: the program's growable, lock-guarded run of bytes (records, strings, output).
#ifndef LINTARO_STORE_ITEM_LIST_H
#define LINTARO_STORE_ITEM_LIST_H

#include <cstdint>
#include <mutex>

#include "store/memory_block.h"

// Callers keep fixed-size records, packed strings or assembled text in the list and address
// them by byte offsets they compute themselves. Sizes and positions are bytes; negative counts
// and positions are refused. Capacity is always 0 or a multiple of the growth step.
//
// Changing operations take the list's lock. Data, Size and Capacity do not: they are for the
// thread that changes the list. A source passed to Append or Insert must not point into the
// list itself, because growth may move the block.
class ItemList {
public:
    static constexpr std::int32_t kDefaultGrowthStep = 128;
    static constexpr std::int32_t kLargestGrowthStep = 16384;

    // A growth step outside 1..16384 means 128; an initial capacity of 0 means one growth
    // step. If that first reservation fails the list starts without a block and later
    // operations try to allocate again.
    ItemList(std::int32_t initial_capacity, std::int32_t growth_step,
             ReallocateFunction reallocate = nullptr);
    virtual ~ItemList();
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;

    // The first byte, or nullptr before the first successful reservation. Valid until the
    // next operation that grows the list.
    std::uint8_t* Data() const { return block_.Bytes(); }
    std::int32_t Size() const { return size_; }
    std::int32_t Capacity() const { return static_cast<std::int32_t>(block_.Capacity()); }
    std::int32_t GrowthStep() const { return growth_step_; }

    // Sets the size to 0; the block and its capacity stay.
    void MakeEmpty();

    // Makes the capacity at least `bytes`, for a caller about to write through Data().
    bool Reserve(std::int32_t bytes);

    // Adds `count` bytes from `source` (zeros when it is nullptr) at the end. A count of 0
    // succeeds at once. False, with nothing changed, when the list cannot grow.
    bool Append(const void* source, std::int32_t count);

    // Puts `count` bytes from `source` (zeros when nullptr) at `position`, moving the bytes
    // from there up. A position past the end first zero-fills the gap from the old end.
    // A count of 0 succeeds at once. False, with nothing changed, when the list cannot grow.
    bool Insert(std::int32_t position, const void* source, std::int32_t count);

    // Takes `count` bytes out at `position`, moving the rest down; a run reaching the end
    // cuts the list at `position`. Nothing happens when `position` is not inside the list.
    void Remove(std::int32_t position, std::int32_t count);

private:
    bool GrowLocked(std::int64_t bytes);

    std::mutex lock_;
    MemoryBlock block_;
    std::int32_t size_ = 0;
    std::int32_t growth_step_ = kDefaultGrowthStep;
};

#endif
