// ASCII-case-insensitive search shared by the description head and the data file reader.
#include "formats/key_search.h"

namespace {

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
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
