// Finding keys ("Titles:", "Page:", ...) and words in text without regard to ASCII case.
#ifndef LINTARO_FORMATS_KEY_SEARCH_H
#define LINTARO_FORMATS_KEY_SEARCH_H

#include <cstddef>
#include <string_view>

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// Position of the first occurrence of `key` in text[begin, end), comparing ASCII letters
// without regard to case (bytes from 0x80 compare exactly); kNotFound when there is none.
std::size_t FindKey(std::string_view text, std::string_view key, std::size_t begin = 0,
                    std::size_t end = kNotFound);

// Which bytes end a line: the data file's lines end with CR LF or a lone CR (a lone LF stays
// inside a cell), while a description head's lines may also end with a lone LF.
enum class LineEnds { CarriageReturn, CarriageReturnOrLineFeed };

// FindKey for the section and description keys, which count only at the start of a line (the
// first byte of `text` or right after a line end), so that a title or header text holding
// "Data:" or "Page:" is never taken for the key.
std::size_t FindKeyAtLineStart(std::string_view text, std::string_view key, LineEnds line_ends,
                               std::size_t begin = 0, std::size_t end = kNotFound);

// True when `word` occurs in `text`, ASCII case ignored.
inline bool ContainsWord(std::string_view text, std::string_view word) {
    return FindKey(text, word) != kNotFound;
}

// A blank is any byte from 0x00 to 0x20.
inline bool IsBlankByte(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

#endif
