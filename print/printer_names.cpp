// Parsing the profile's printer list and comparing printer names.
#include "print/printer_names.h"

#include <cstring>

namespace {

char LowerLatin(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::vector<std::string> ParseProfileKeyList(const char* block, std::size_t size) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (block != nullptr && start < size && block[start] != '\0') {
        const void* end = std::memchr(block + start, '\0', size - start);
        const std::size_t length = end != nullptr
                                       ? static_cast<std::size_t>(static_cast<const char*>(end) - (block + start))
                                       : size - start;
        names.emplace_back(block + start, length);
        start += length + 1;
    }
    return names;
}

bool SamePrinterName(const char* first, const char* second) {
    if (first == nullptr || second == nullptr) return first == second;
    for (;; ++first, ++second) {
        if (LowerLatin(*first) != LowerLatin(*second)) return false;
        if (*first == '\0') return true;
    }
}
