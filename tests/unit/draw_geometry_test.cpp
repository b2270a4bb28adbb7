// Tests of where rules and pictures go: rule strokes, printer scaling and picture placement.
#include "render/draw_geometry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct RuleCase {
    int line_type;
    std::vector<RuleStroke> expected;
};

TEST(VerticalRuleStrokes, DrawsOneTwoOrThreeLines) {
    const RuleCase cases[] = {
        {kSingleLine, {{40, 10, 30, false}}},
        {kThickLine, {{40, 10, 30, false}, {41, 10, 30, false}}},
        {kDoubleLine, {{40, 10, 30, false}, {41, 9, 30, true}, {42, 10, 30, false}}},
        {0, {{40, 10, 30, false}, {41, 9, 30, true}, {42, 10, 30, false}}},  // any other: double
    };
    for (const RuleCase& c : cases) {
        const RuleStrokes rule = VerticalRuleStrokes(40, 10, 30, c.line_type);
        ASSERT_EQ(rule.count, static_cast<int>(c.expected.size())) << "line type " << c.line_type;
        for (int i = 0; i < rule.count; ++i) {
            EXPECT_EQ(rule.strokes[i].x, c.expected[i].x) << c.line_type << " stroke " << i;
            EXPECT_EQ(rule.strokes[i].top, c.expected[i].top) << c.line_type << " stroke " << i;
            EXPECT_EQ(rule.strokes[i].bottom, c.expected[i].bottom) << c.line_type << " stroke " << i;
            EXPECT_EQ(rule.strokes[i].white, c.expected[i].white) << c.line_type << " stroke " << i;
        }
    }
}

struct ScaleCase {
    PictureSize picture;
    PixelsPerInch printer;
    PixelsPerInch display;
    PictureSize expected;
};

TEST(ScalePictureForPrinter, KeepsThePhysicalSize) {
    const ScaleCase cases[] = {
        {{100, 50}, {300, 300}, {96, 96}, {313, 156}},   // 312.5 rounds up, 156.25 down
        {{100, 50}, {600, 600}, {96, 96}, {625, 313}},
        {{40, 36}, {96, 96}, {96, 96}, {40, 36}},
        {{100, 50}, {300, 600}, {120, 96}, {250, 313}},  // each axis by its own resolution
    };
    for (const ScaleCase& c : cases) {
        const PictureSize printed = ScalePictureForPrinter(c.picture, c.printer, c.display);
        EXPECT_EQ(printed.width, c.expected.width) << c.picture.width << " at " << c.printer.x;
        EXPECT_EQ(printed.height, c.expected.height) << c.picture.height << " at " << c.printer.y;
    }
}

struct PlaceCase {
    const char* name;
    int alignment;
    PictureSize picture;
    int expected_x;
    int expected_y;
};

TEST(PlacePicture, AlignsAndMovesTallPicturesUp) {
    // Cell 100 x 50 at (10, 20); padding 3, dy 2, font 13 high: 13 / 5 = 2 more pixels down.
    const PixelRect cell{10, 20, 110, 70};
    const PlaceCase cases[] = {
        {"left", kAlignLeft, {40, 20}, 13, 24},
        {"right", kAlignRight, {40, 20}, 67, 24},
        {"centre", kAlignCenter, {40, 20}, 40, 24},
        {"centre, odd room", kAlignCenter, {41, 20}, 39, 24},
        {"wider than the cell", kAlignRight, {120, 20}, 10, 24},
        {"wider, centred", kAlignCenter, {121, 20}, 10, 24},
        {"fits exactly", kAlignLeft, {40, 46}, 13, 24},
        {"overhangs by 2", kAlignLeft, {40, 48}, 13, 22},
        {"as tall as the cell", kAlignLeft, {40, 50}, 13, 20},
        {"taller than the cell", kAlignLeft, {40, 60}, 13, 20},
    };
    for (const PlaceCase& c : cases) {
        const PicturePosition at = PlacePicture(cell, 3, 2, c.alignment, 13, c.picture);
        EXPECT_EQ(at.x, c.expected_x) << c.name;
        EXPECT_EQ(at.y, c.expected_y) << c.name;
    }
}

TEST(PlacePicture, NeverMovesAPictureThatStartsAboveTheCellTop) {
    const PicturePosition at = PlacePicture({0, 20, 50, 40}, 0, -10, kAlignLeft, 10, {10, 30});
    EXPECT_EQ(at.y, 12);
}

}  // namespace
