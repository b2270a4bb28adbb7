// Page number texts.
#include "grid/page_number_text.h"

#include <algorithm>
#include <cstdio>

#include "grid/grid_records.h"

int FormatPageNumberText(std::uint8_t position, std::uint8_t style, int page, int pages, char (&text)[48]) {
    int length = 0;
    if (style == PageNumberStyle::PageOfPages) {
        length = std::snprintf(text, sizeof text, "стр. %d от %d", page, pages);
    } else {
        const bool centred = position == PageNumberPosition::TopCenter || position == PageNumberPosition::BottomCenter;
        length = std::snprintf(text, sizeof text, centred ? "- %d -" : "%d.", page);
    }
    return std::clamp(length, 0, static_cast<int>(sizeof text) - 1);
}
