// Tests of the speed bar's button table and geometry.
#include "app/speed_bar_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SpeedBarButtons, SendTheToolbarCommandsWithTheirPicturesAndTooltips) {
    struct Expected {
        int command_id;
        std::string bitmap, tooltip;
    };
    const std::vector<Expected> expected = {
        {201, "Visibles", "Видими колони"},
        {202, "Widths", "Естествени ширини"},
        {211, "Table", "Оформление на таблицата"},
        {212, "Column", "Оформление на колоните"},
        {222, "Sort", "Сортиране"},
        {223, "Filter", "Подбор"},
        {291, "Font", "Избор на шрифт"},
        {301, "Print", "Отпечатване"},
    };
    ASSERT_EQ(SpeedBarButtonCount(kSpeedBarButtons), 8);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(kSpeedBarButtons[i].command_id, expected[i].command_id) << i;
        EXPECT_EQ(kSpeedBarButtons[i].bitmap_name, expected[i].bitmap) << i;
        EXPECT_EQ(kSpeedBarButtons[i].tooltip, expected[i].tooltip) << i;
    }
    EXPECT_EQ(kSpeedBarButtons[8].command_id, 0);
    EXPECT_EQ(SpeedBarButtonCount(nullptr), 0);
}

TEST(SpeedBarLayout, PlacesThe30PixelButtonsAfterTheirGaps) {
    const std::vector<BarRect> rects = LayOutSpeedBarButtons(kSpeedBarButtons, 30, 30);
    const std::vector<int> lefts = {10, 42, 74, 106, 138, 170, 202, 240};
    ASSERT_EQ(rects.size(), lefts.size());
    for (std::size_t i = 0; i < lefts.size(); ++i) {
        EXPECT_EQ(rects[i], (BarRect{lefts[i], 2, lefts[i] + 30, 32})) << i;
    }
    EXPECT_EQ(SpeedBarHeightFor(30), 36);
    EXPECT_EQ(SpeedBarHeightFor(kSpeedBarFallbackButtonSize), 34);
}

TEST(SpeedBarLayout, FollowsOtherButtonSizesAndTables) {
    const SpeedBarButtonSpec two[] = {{5, "A", 0, "a"}, {6, "B", 4, "b"}, {0, nullptr, 0, nullptr}};
    const std::vector<BarRect> rects = LayOutSpeedBarButtons(two, 28, 20);
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[0], (BarRect{2, 2, 30, 22}));
    EXPECT_EQ(rects[1], (BarRect{34, 2, 62, 22}));
    EXPECT_TRUE(LayOutSpeedBarButtons(nullptr, 30, 30).empty());
}

TEST(SpeedBarLayout, HitsOnlyInsideAButtonWithExclusiveRightAndBottomEdges) {
    const std::vector<BarRect> rects = LayOutSpeedBarButtons(kSpeedBarButtons, 30, 30);
    struct Case {
        int x, y, expected;
    };
    const std::vector<Case> cases = {
        {10, 2, 0},  {39, 31, 0},  {40, 10, -1},  // the gap between the first two buttons
        {41, 10, -1}, {42, 10, 1}, {9, 10, -1},   {10, 1, -1},  {10, 32, -1}, {10, 35, -1},
        {231, 10, 6}, {232, 10, -1}, {239, 10, -1}, {240, 10, 7}, {269, 31, 7}, {270, 10, -1},
        {-5, 10, -1}, {65535, 10, -1},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(SpeedBarButtonAt(rects, test.x, test.y), test.expected)
            << "(" << test.x << ", " << test.y << ")";
    }
}

TEST(SpeedBarLayout, CentresPicturesButNeverOutsideTheButton) {
    const BarRect button{10, 2, 40, 32};
    EXPECT_EQ(CentredPicture(button, 20, 18), (BarRect{15, 8, 35, 26}));
    EXPECT_EQ(CentredPicture(button, 21, 17), (BarRect{14, 8, 35, 25}));
    // Held down: the rectangle loses 2 pixels at the left and top, the picture moves by 1.
    EXPECT_EQ(CentredPicture(BarRect{12, 4, 40, 32}, 20, 18), (BarRect{16, 9, 36, 27}));
    // Too large a picture starts at the button's corner.
    EXPECT_EQ(CentredPicture(button, 40, 40), (BarRect{10, 2, 50, 42}));
}

}  // namespace
