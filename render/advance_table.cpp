// Widths of single bytes learnt once from a meter and summed for strings.
#include "render/advance_table.h"

#include <climits>
#include <cstdint>
#include <string>

namespace {

// Strings whose measured widths must equal their sums: every printable byte forwards and
// backwards, and text as cells hold it (letters, digits, punctuation, blanks).
std::string ProbeText(int which) {
    std::string text;
    switch (which) {
        case 0:
            for (int c = 0x20; c <= 0xFF; ++c) text.push_back(static_cast<char>(c));
            break;
        case 1:
            for (int c = 0xFF; c >= 0x20; --c) text.push_back(static_cast<char>(c));
            break;
        default:
            // "Цветелина Тодорова, Стара Загора 9 367.11 (27.07.2026) AVWTo fi ffl"
            text = "\xD6\xE2\xE5\xF2\xE5\xEB\xE8\xED\xE0 \xD2\xEE\xE4\xEE\xF0\xEE\xE2\xE0, "
                   "\xD1\xF2\xE0\xF0\xE0 \xC7\xE0\xE3\xEE\xF0\xE0 9 367.11 (27.07.2026) AVWTo fi ffl";
            break;
    }
    return text;
}

}  // namespace

void AdvanceTable::Learn(const TextMeter& meter) {
    learnt_ = true;
    usable_ = false;
    font_height_ = meter.FontHeight();
    pixels_per_inch_x_ = meter.PixelsPerInchX();
    pixels_per_inch_y_ = meter.PixelsPerInchY();
    for (int c = 0; c < 256; ++c) {
        const char byte = static_cast<char>(c);
        const TextExtent extent = meter.Measure(&byte, 1);
        if (extent.height != font_height_ || extent.width < 0) return;
        advance_[static_cast<std::size_t>(c)] = extent.width;
    }
    for (int which = 0; which < 3; ++which) {
        const std::string probe = ProbeText(which);
        const TextExtent extent = meter.Measure(probe.data(), probe.size());
        if (extent.width != Width(probe.data(), probe.size()) || extent.height != font_height_) return;
    }
    usable_ = true;
}

int AdvanceTable::Width(const char* text, std::size_t count) const {
    std::int64_t width = 0;
    for (std::size_t i = 0; i < count; ++i) width += advance_[static_cast<unsigned char>(text[i])];
    return width > INT_MAX ? INT_MAX : static_cast<int>(width);
}

TextExtent AdvanceTableMeter::Measure(const char* text, std::size_t count) const {
    if (!table_.Usable()) return device_.Measure(text, count);
    if (text == nullptr || count == 0) return TextExtent{0, table_.FontHeight()};
    return TextExtent{table_.Width(text, count), table_.FontHeight()};
}

int AdvanceTableMeter::FontHeight() const {
    return table_.Learnt() ? table_.FontHeight() : device_.FontHeight();
}

int AdvanceTableMeter::PixelsPerInchX() const {
    return table_.Learnt() ? table_.PixelsPerInchX() : device_.PixelsPerInchX();
}

int AdvanceTableMeter::PixelsPerInchY() const {
    return table_.Learnt() ? table_.PixelsPerInchY() : device_.PixelsPerInchY();
}

const int* AdvanceTableMeter::ByteAdvances() const { return table_.Usable() ? table_.Advances() : nullptr; }
