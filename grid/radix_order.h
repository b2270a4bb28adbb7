// Stable orders of many keys by radix sorting: rows put in key order in time that grows with
// the number of rows, equal keys keeping the order they came in.
#ifndef LINTARO_GRID_RADIX_ORDER_H
#define LINTARO_GRID_RADIX_ORDER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reorders positions[0 .. count) so that values[positions[i]] ascend (descend when
// `descending`); entries with equal values keep their order in both directions. -0 equals 0.
// No value may be NaN. Returns false, leaving `positions` as it was, without memory.
bool RadixOrderByValue(const double* values, std::uint32_t* positions, std::size_t count, bool descending);

// Byte strings kept in one pool: key i is lengths[i] bytes at pool + offsets[i].
struct PooledKeys {
    const char* pool;
    const std::uint32_t* offsets;
    const std::uint32_t* lengths;
};

// Reorders positions[0 .. count) so that the keys ascend as unsigned bytes, a key that is the
// start of another coming first (descending: the reverse); equal keys keep their order in
// both directions. Returns false, leaving `positions` as it was, without memory.
bool RadixOrderByBytes(const PooledKeys& keys, std::uint32_t* positions, std::size_t count, bool descending);

// A 64-bit sort key and the position of its row, 12 bytes apart so that a million rows'
// keys take 12 MB and are ordered in place.
#pragma pack(push, 1)
struct KeyedPosition {
    std::uint64_t key;
    std::uint32_t position;
};
#pragma pack(pop)
static_assert(sizeof(KeyedPosition) == 12, "KeyedPosition is packed");

// The key of a double that orders as the value does (no NaN; -0 is 0).
std::uint64_t OrderedValueKey(double value);

// Puts items in rising order of key, equal keys in rising order of position: a stable order
// of the rows when the positions rose before. Needs no memory beyond the items.
void OrderKeyedPositions(KeyedPosition* items, std::size_t count);

// Byte strings each held once and numbered 0, 1, ... as they first come: a column whose
// texts repeat (names, towns) keeps and sorts each text once. Add throws std::bad_alloc.
class DistinctKeys {
public:
    std::uint32_t Add(const char* bytes, std::size_t length);
    std::size_t Count() const { return lengths_.size(); }
    // Each key's rank among them in unsigned byte order, a key that is the start of another
    // first (descending: the reverse). Empty, without memory.
    std::vector<std::uint32_t> Ranks(bool descending) const;

private:
    void Rehash(std::size_t slot_count);

    std::string pool_;
    std::vector<std::uint32_t> offsets_;
    std::vector<std::uint32_t> lengths_;
    std::vector<std::uint64_t> hashes_;
    std::vector<std::uint32_t> slots_;
};

// Reorders positions[0 .. count) stably by ranks[numbers[positions[i]]] (every rank below
// `rank_count`): a counting sort, one pass to count and one to place. False, leaving
// `positions` as it was, without memory.
bool OrderByRank(const std::uint32_t* ranks, std::size_t rank_count, const std::uint32_t* numbers,
                 std::uint32_t* positions, std::size_t count);

#endif
