// Byte searches for the loops that read and store a whole table. Called through the C library,
// memchr and memcmp cost a call per cell, and under Wine msvcrt's go one byte at a time; these
// are inlined and go eight bytes at a time.
#ifndef LINTARO_BASE_BYTE_SEARCH_H
#define LINTARO_BASE_BYTE_SEARCH_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// The index of the first `wanted` in text[from, text.size()), or std::string_view::npos.
inline std::size_t FindByte(std::string_view text, char wanted, std::size_t from = 0) {
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first byte is the lowest");
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    const std::uint64_t pattern = kOnes * static_cast<unsigned char>(wanted);
    std::size_t at = from;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, 8);
        word ^= pattern;
        // The lowest high bit set marks the first byte that was `wanted` (a borrow can only
        // mark bytes above it).
        const std::uint64_t matches = (word - kOnes) & ~word & kHighBits;
        if (matches != 0) return at + static_cast<std::size_t>(__builtin_ctzll(matches) >> 3);
    }
    for (; at < text.size(); ++at) {
        if (text[at] == wanted) return at;
    }
    return std::string_view::npos;
}

// Whether the `count` bytes at `a` and at `b` are the same.
inline bool SameBytes(const void* a, const void* b, std::size_t count) {
    const auto* left = static_cast<const unsigned char*>(a);
    const auto* right = static_cast<const unsigned char*>(b);
    std::size_t at = 0;
    for (; at + 8 <= count; at += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, left + at, 8);
        std::memcpy(&y, right + at, 8);
        if (x != y) return false;
    }
    for (; at < count; ++at) {
        if (left[at] != right[at]) return false;
    }
    return true;
}

#endif
