// ASCII-case-insensitive search shared by the description head and the data file reader.
#include "formats/key_search.h"

namespace {

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool StartsLine(std::string_view text, std::size_t at, LineEnds line_ends) {
    if (at == 0) return true;
    const char before = text[at - 1];
    if (before == '\r') return true;
    if (before != '\n') return false;
    return line_ends == LineEnds::CarriageReturnOrLineFeed || (at >= 2 && text[at - 2] == '\r');
}

bool MatchesAt(std::string_view text, std::size_t at, std::string_view key) {
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (UpperAscii(text[at + i]) != UpperAscii(key[i])) return false;
    }
    return true;
}

}  // namespace

std::size_t FindKey(std::string_view text, std::string_view key, std::size_t begin, std::size_t end) {
    if (end > text.size()) end = text.size();
    if (key.empty() || begin >= end || end - begin < key.size()) return kNotFound;
    const char first = UpperAscii(key[0]);
    for (std::size_t at = begin; at + key.size() <= end; ++at) {
        if (UpperAscii(text[at]) != first) continue;
        std::size_t i = 1;
        while (i < key.size() && UpperAscii(text[at + i]) == UpperAscii(key[i])) ++i;
        if (i == key.size()) return at;
    }
    return kNotFound;
}

std::size_t FindKeyAtLineStart(std::string_view text, std::string_view key, LineEnds line_ends,
                               std::size_t begin, std::size_t end) {
    if (end > text.size()) end = text.size();
    if (key.empty() || begin >= end || end - begin < key.size()) return kNotFound;
    std::size_t at = begin;
    while (at + key.size() <= end) {
        if (StartsLine(text, at, line_ends) && MatchesAt(text, at, key)) return at;
        // On to the next line start: past the next line end, a CR LF pair as one.
        const std::string_view ends =
            line_ends == LineEnds::CarriageReturn ? std::string_view("\r") : std::string_view("\r\n");
        const std::size_t line_end = text.find_first_of(ends, at);
        if (line_end == std::string_view::npos || line_end >= end) return kNotFound;
        at = line_end + 1;
        if (text[line_end] == '\r' && at < text.size() && text[at] == '\n') ++at;
    }
    return kNotFound;
}
