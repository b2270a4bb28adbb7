// The speed bar's button table and geometry.
#include "app/speed_bar_layout.h"

#include "resources/resource_ids.h"

const SpeedBarButtonSpec kSpeedBarButtons[] = {
    {IDM_VISIBLE_COLUMNS, "Visibles", 8, "Видими колони"},
    {IDM_NATURAL_WIDTHS, "Widths", 2, "Естествени ширини"},
    {IDM_TABLE_APPEARANCE, "Table", 2, "Оформление на таблицата"},
    {IDM_COLUMN_APPEARANCE, "Column", 2, "Оформление на колоните"},
    {IDM_SORT, "Sort", 2, "Сортиране"},
    {IDM_FILTER, "Filter", 2, "Подбор"},
    {IDM_CHOOSE_FONT, "Font", 2, "Избор на шрифт"},
    {IDM_PRINT, "Print", 8, "Отпечатване"},
    {0, nullptr, 0, nullptr},
};

int SpeedBarButtonCount(const SpeedBarButtonSpec* buttons) {
    int count = 0;
    if (buttons == nullptr) return 0;
    while (buttons[count].command_id != 0) ++count;
    return count;
}

int SpeedBarHeightFor(int button_height) {
    return button_height + 2 * (kSpeedBarInset + 1);
}

std::vector<BarRect> LayOutSpeedBarButtons(const SpeedBarButtonSpec* buttons, int button_width,
                                           int button_height) {
    std::vector<BarRect> rects;
    int x = kSpeedBarInset;
    for (int i = 0; i < SpeedBarButtonCount(buttons); ++i) {
        x += buttons[i].gap_before;
        rects.push_back(BarRect{x, kSpeedBarInset, x + button_width, kSpeedBarInset + button_height});
        x += button_width;
    }
    return rects;
}

bool BarRectContains(const BarRect& rect, int x, int y) {
    return rect.left <= x && x < rect.right && rect.top <= y && y < rect.bottom;
}

int SpeedBarButtonAt(const std::vector<BarRect>& buttons, int x, int y) {
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (BarRectContains(buttons[i], x, y)) return static_cast<int>(i);
    }
    return -1;
}

BarRect CentredPicture(const BarRect& button, int picture_width, int picture_height) {
    int left = (button.left + button.right - picture_width) / 2;
    int top = (button.top + button.bottom - picture_height) / 2;
    if (left < button.left) left = button.left;
    if (top < button.top) top = button.top;
    return BarRect{left, top, left + picture_width, top + picture_height};
}
