// Control bytes in texts that are written out: a cell may hold any byte, the outputs may not.
#ifndef LINTARO_RENDER_CONTROL_BYTES_H
#define LINTARO_RENDER_CONTROL_BYTES_H

#include <cstddef>
#include <cstdint>
#include <cstring>

// 0x00-0x1F: in a written line such a byte ends the line or record (CR, LF, TAB in a
// tab-separated file), or is taken by a printer as a command (form feed, ESC and its
// sequences, the pitch and shift codes).
inline bool IsControlByte(unsigned char byte) { return byte < 0x20; }

// Replaces every control byte with a blank, which is what the reader or printer then shows.
inline void BlankControlBytes(char* bytes, std::size_t count) {
    if (bytes == nullptr) return;
    for (std::size_t i = 0; i < count; ++i) {
        if (IsControlByte(static_cast<unsigned char>(bytes[i]))) bytes[i] = ' ';
    }
}

// Copies `count` bytes from `from` to `to` (which do not overlap) with every control byte
// blanked, eight at a time: a big export passes every cell through here.
inline void CopyBlankingControlBytes(char* to, const char* from, std::size_t count) {
    constexpr std::uint64_t kEach = 0x0101010101010101u;
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint64_t bytes;
        std::memcpy(&bytes, from + i, 8);
        // 0x80 in each byte whose top three bits are clear, that is below 0x20.
        const std::uint64_t high = bytes & (0xE0 * kEach);
        const std::uint64_t zero = ~(((high & (0x7F * kEach)) + 0x7F * kEach) | high | (0x7F * kEach));
        const std::uint64_t control = (zero >> 7) * 0xFF;
        bytes = (bytes & ~control) | (control & (0x20 * kEach));
        std::memcpy(to + i, &bytes, 8);
    }
    for (; i < count; ++i) {
        const unsigned char byte = static_cast<unsigned char>(from[i]);
        to[i] = IsControlByte(byte) ? ' ' : static_cast<char>(byte);
    }
}

#endif
