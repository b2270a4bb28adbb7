// Least-significant-digit radix sorting of 64-bit keys, and byte strings sorted seven bytes
// at a time on top of it.
#include "grid/radix_order.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

// A row's key, or the part of it being sorted on, and the row's position.
struct Item {
    std::uint64_t key;
    std::uint32_t position;
};

// Below this many items a comparison sort beats the radix passes' fixed cost.
constexpr std::size_t kSmallGroup = 64;

// Stable sort of items by key, eight passes of one byte each; a pass in which every item has
// the same byte is skipped. `scratch` holds `count` items.
void RadixSortItems(Item* items, Item* scratch, std::size_t count) {
    std::size_t counts[8][256] = {};
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t key = items[i].key;
        for (int digit = 0; digit < 8; ++digit) ++counts[digit][(key >> (8 * digit)) & 0xFF];
    }
    Item* from = items;
    Item* to = scratch;
    for (int digit = 0; digit < 8; ++digit) {
        const int shift = 8 * digit;
        if (counts[digit][(items[0].key >> shift) & 0xFF] == count) continue;
        std::size_t next[256];
        std::size_t total = 0;
        for (int b = 0; b < 256; ++b) {
            next[b] = total;
            total += counts[digit][b];
        }
        for (std::size_t i = 0; i < count; ++i) to[next[(from[i].key >> shift) & 0xFF]++] = from[i];
        std::swap(from, to);
    }
    if (from != items) std::memcpy(items, from, count * sizeof(Item));
}

// The bits of a double as an unsigned number in the same order (no NaN; -0 is 0).
std::uint64_t OrderedBits(double value) {
    if (value == 0) value = 0;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & 0x8000000000000000ULL) != 0 ? ~bits : bits | 0x8000000000000000ULL;
}

// Seven bytes of a key from `offset`, big-endian and zero-padded, and in the lowest byte how
// many bytes the key has from there (8 standing for "more than seven"): comparing these
// numbers compares the keys' bytes there, a key that ends first coming first.
std::uint64_t ChunkOf(const PooledKeys& keys, std::uint32_t position, std::size_t offset) {
    const std::size_t length = keys.lengths[position];
    const std::size_t left = length > offset ? length - offset : 0;
    const std::size_t taken = std::min<std::size_t>(left, 7);
    const auto* bytes = reinterpret_cast<const unsigned char*>(keys.pool + keys.offsets[position] + offset);
    if (left >= 8) {
        // Eight bytes are there: one load, the eighth byte's place taken by the count.
        std::uint64_t chunk = 0;
        for (std::size_t i = 0; i < 8; ++i) chunk = (chunk << 8) | bytes[i];
        return (chunk & ~std::uint64_t{0xFF}) | 8;
    }
    std::uint64_t chunk = 0;
    for (std::size_t i = 0; i < 7; ++i) chunk = (chunk << 8) | (i < taken ? bytes[i] : 0u);
    return (chunk << 8) | left;
}

// Unsigned byte order of two keys from `offset` on: -1, 0 or 1.
int CompareFrom(const PooledKeys& keys, std::uint32_t a, std::uint32_t b, std::size_t offset) {
    const std::size_t a_length = keys.lengths[a] - offset;
    const std::size_t b_length = keys.lengths[b] - offset;
    const int common =
        std::memcmp(keys.pool + keys.offsets[a] + offset, keys.pool + keys.offsets[b] + offset, std::min(a_length, b_length));
    if (common != 0) return common < 0 ? -1 : 1;
    return a_length < b_length ? -1 : (a_length > b_length ? 1 : 0);
}

// A 64-bit hash of a key, eight bytes at a time.
std::uint64_t HashOf(const char* bytes, std::size_t length) {
    std::uint64_t hash = 0x9E3779B97F4A7C15ULL ^ length;
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + i, sizeof word);
        hash = (hash ^ word) * 0xFF51AFD7ED558CCDULL;
        hash ^= hash >> 32;
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, bytes + i, length - i);
    hash = (hash ^ tail) * 0xC4CEB9FE1A85EC53ULL;
    return hash ^ (hash >> 29);
}

// Sorts a group of items whose keys agree up to `offset` and go on past it.
void OrderGroup(const PooledKeys& keys, Item* items, Item* scratch, std::size_t count, std::size_t offset,
                bool descending) {
    if (count < 2) return;
    if (count <= kSmallGroup) {
        std::stable_sort(items, items + count, [&keys, offset, descending](const Item& a, const Item& b) {
            return descending ? CompareFrom(keys, b.position, a.position, offset) < 0
                              : CompareFrom(keys, a.position, b.position, offset) < 0;
        });
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t chunk = ChunkOf(keys, items[i].position, offset);
        items[i].key = descending ? ~chunk : chunk;
    }
    RadixSortItems(items, scratch, count);
    // Runs of equal chunks whose keys go on are ordered by the next seven bytes.
    for (std::size_t first = 0; first < count;) {
        std::size_t end = first + 1;
        while (end < count && items[end].key == items[first].key) ++end;
        const std::uint64_t chunk = descending ? ~items[first].key : items[first].key;
        if (end - first > 1 && (chunk & 0xFF) == 8) {
            OrderGroup(keys, items + first, scratch + first, end - first, offset + 7, descending);
        }
        first = end;
    }
}

constexpr std::uint32_t kFreeSlot = UINT32_MAX;

}  // namespace

std::uint64_t OrderedValueKey(double value) { return OrderedBits(value); }

namespace {

// Sorts items whose keys agree above bit `shift` + 8 by the byte at `shift` and then the bytes
// below, in place (American flag sort: each item is swapped straight into its byte's bucket);
// small groups, and items whose keys agree wholly, by key and position.
void FlagSortKeyedPositions(KeyedPosition* items, std::size_t count, int shift) {
    if (count <= kSmallGroup || shift < 0) {
        std::sort(items, items + count, [](const KeyedPosition& a, const KeyedPosition& b) {
            const std::uint64_t a_key = a.key;
            const std::uint64_t b_key = b.key;
            if (a_key != b_key) return a_key < b_key;
            return std::uint32_t{a.position} < std::uint32_t{b.position};
        });
        return;
    }
    auto digit = [shift](const KeyedPosition& item) { return static_cast<unsigned>((item.key >> shift) & 0xFF); };
    std::size_t counts[256] = {};
    for (std::size_t i = 0; i < count; ++i) ++counts[digit(items[i])];
    if (counts[digit(items[0])] == count) {
        FlagSortKeyedPositions(items, count, shift - 8);
        return;
    }
    std::size_t next[256];
    std::size_t ends[256];
    std::size_t total = 0;
    for (int b = 0; b < 256; ++b) {
        next[b] = total;
        total += counts[b];
        ends[b] = total;
    }
    for (unsigned b = 0; b < 256; ++b) {
        while (next[b] < ends[b]) {
            KeyedPosition item = items[next[b]];
            for (unsigned d = digit(item); d != b; d = digit(item)) std::swap(item, items[next[d]++]);
            items[next[b]++] = item;
        }
    }
    std::size_t start = 0;
    for (int b = 0; b < 256; ++b) {
        if (counts[b] > 1) FlagSortKeyedPositions(items + start, counts[b], shift - 8);
        start += counts[b];
    }
}

}  // namespace

void OrderKeyedPositions(KeyedPosition* items, std::size_t count) {
    if (count > 1) FlagSortKeyedPositions(items, count, 56);
}

std::uint32_t DistinctKeys::Add(const char* bytes, std::size_t length) {
    // At most half the slots are taken, so a probe soon meets a free one.
    if (2 * (Count() + 1) > slots_.size()) Rehash(std::max<std::size_t>(16, 2 * slots_.size()));
    const std::uint64_t hash = HashOf(bytes, length);
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = static_cast<std::size_t>(hash) & mask;
    for (; slots_[slot] != kFreeSlot; slot = (slot + 1) & mask) {
        const std::uint32_t seen = slots_[slot];
        if (hashes_[seen] == hash && lengths_[seen] == length &&
            std::memcmp(pool_.data() + offsets_[seen], bytes, length) == 0) {
            return seen;
        }
    }
    if (pool_.size() + length > UINT32_MAX || Count() >= UINT32_MAX - 1) throw std::bad_alloc();
    const auto number = static_cast<std::uint32_t>(Count());
    offsets_.push_back(static_cast<std::uint32_t>(pool_.size()));
    lengths_.push_back(static_cast<std::uint32_t>(length));
    hashes_.push_back(hash);
    pool_.append(bytes, length);
    slots_[slot] = number;
    return number;
}

void DistinctKeys::Rehash(std::size_t slot_count) {
    std::vector<std::uint32_t> slots(slot_count, kFreeSlot);
    const std::size_t mask = slot_count - 1;
    for (std::size_t d = 0; d < Count(); ++d) {
        std::size_t slot = static_cast<std::size_t>(hashes_[d]) & mask;
        while (slots[slot] != kFreeSlot) slot = (slot + 1) & mask;
        slots[slot] = static_cast<std::uint32_t>(d);
    }
    slots_.swap(slots);
}

std::vector<std::uint32_t> DistinctKeys::Ranks(bool descending) const {
    const std::size_t count = Count();
    try {
        std::vector<Item> items(count);
        std::vector<Item> scratch(count);
        for (std::size_t d = 0; d < count; ++d) items[d] = Item{0, static_cast<std::uint32_t>(d)};
        const PooledKeys keys{pool_.data(), offsets_.data(), lengths_.data()};
        OrderGroup(keys, items.data(), scratch.data(), count, 0, false);
        std::vector<std::uint32_t> ranks(count);
        for (std::size_t r = 0; r < count; ++r) {
            ranks[items[r].position] = static_cast<std::uint32_t>(descending ? count - 1 - r : r);
        }
        return ranks;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

bool OrderByRank(const std::uint32_t* ranks, std::size_t rank_count, const std::uint32_t* numbers,
                 std::uint32_t* positions, std::size_t count) {
    if (count < 2) return true;
    try {
        std::vector<std::uint32_t> next(rank_count + 1, 0);
        for (std::size_t i = 0; i < count; ++i) ++next[ranks[numbers[positions[i]]] + 1];
        for (std::size_t r = 1; r <= rank_count; ++r) next[r] += next[r - 1];
        const std::vector<std::uint32_t> before(positions, positions + count);
        for (const std::uint32_t position : before) positions[next[ranks[numbers[position]]]++] = position;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool RadixOrderByValue(const double* values, std::uint32_t* positions, std::size_t count, bool descending) {
    if (count < 2) return true;
    try {
        std::vector<KeyedPosition> items(count);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t bits = OrderedBits(values[positions[i]]);
            items[i] = KeyedPosition{descending ? ~bits : bits, static_cast<std::uint32_t>(i)};
        }
        OrderKeyedPositions(items.data(), count);
        const std::vector<std::uint32_t> before(positions, positions + count);
        for (std::size_t i = 0; i < count; ++i) positions[i] = before[items[i].position];
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool RadixOrderByBytes(const PooledKeys& keys, std::uint32_t* positions, std::size_t count, bool descending) {
    if (count < 2) return true;
    try {
        // Each distinct key is sorted once; the rows then follow the rank of their key.
        DistinctKeys distinct;
        std::vector<std::uint32_t> numbers(count);
        std::vector<std::uint32_t> order(count);
        for (std::size_t i = 0; i < count; ++i) {
            numbers[i] = distinct.Add(keys.pool + keys.offsets[positions[i]], keys.lengths[positions[i]]);
            order[i] = static_cast<std::uint32_t>(i);
        }
        const std::vector<std::uint32_t> ranks = distinct.Ranks(descending);
        if (ranks.size() != distinct.Count()) return false;
        if (!OrderByRank(ranks.data(), ranks.size(), numbers.data(), order.data(), count)) return false;
        for (std::size_t i = 0; i < count; ++i) numbers[i] = positions[order[i]];
        std::memcpy(positions, numbers.data(), count * sizeof *positions);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
