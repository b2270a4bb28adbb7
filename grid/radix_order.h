// Stable orders of many keys by radix sorting: rows put in key order in time that grows with
// the number of rows, equal keys keeping the order they came in.
#ifndef LINTARO_GRID_RADIX_ORDER_H
#define LINTARO_GRID_RADIX_ORDER_H

#include <cstddef>
#include <cstdint>

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

#endif
