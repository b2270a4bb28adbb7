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

// `bytes` (a word of several) with every control byte blanked: 0x80 marks each byte whose top
// three bits are clear, that is each byte below 0x20, and its byte becomes a blank.
template <typename Word>
Word BlankedControlBytes(Word bytes) {
    constexpr Word kEach = static_cast<Word>(~Word{0}) / 0xFF;  // 0x01 in every byte
    const Word high = bytes & static_cast<Word>(0xE0 * kEach);
    const Word zero = static_cast<Word>(~(((high & (0x7F * kEach)) + 0x7F * kEach) | high | (0x7F * kEach)));
    const Word control = static_cast<Word>((zero >> 7) * 0xFF);
    return static_cast<Word>((bytes & ~control) | (control & (0x20 * kEach)));
}

template <typename Word>
void CopyBlankedWord(char* to, const char* from) {
    Word bytes;
    std::memcpy(&bytes, from, sizeof bytes);
    bytes = BlankedControlBytes(bytes);
    std::memcpy(to, &bytes, sizeof bytes);
}

// Copies `count` bytes from `from` to `to` (which do not overlap) with every control byte
// blanked, a word at a time: a big export passes every cell through here. The last word of a
// text overlaps the one before rather than going byte by byte: its bytes come out the same.
inline void CopyBlankingControlBytes(char* to, const char* from, std::size_t count) {
    if (count >= 8) {
        for (std::size_t i = 0; i + 8 < count; i += 8) CopyBlankedWord<std::uint64_t>(to + i, from + i);
        CopyBlankedWord<std::uint64_t>(to + count - 8, from + count - 8);
    } else if (count >= 4) {
        CopyBlankedWord<std::uint32_t>(to, from);
        CopyBlankedWord<std::uint32_t>(to + count - 4, from + count - 4);
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            const unsigned char byte = static_cast<unsigned char>(from[i]);
            to[i] = IsControlByte(byte) ? ' ' : static_cast<char>(byte);
        }
    }
}

#endif
