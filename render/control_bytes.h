// Control bytes in texts that are written out: a cell may hold any byte, the outputs may not.
#ifndef LINTARO_RENDER_CONTROL_BYTES_H
#define LINTARO_RENDER_CONTROL_BYTES_H

#include <cstddef>

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

#endif
