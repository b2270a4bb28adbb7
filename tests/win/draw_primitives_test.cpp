// Tests of the rules, the page-break dots and the page-width mark, read back pixel by pixel.
#include "render/draw_primitives_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "draw_test_support.h"

namespace {

using namespace draw_test;

// What one column of pixels should look like over rows [from, to).
struct ColumnRun {
    int x;
    int from;
    int to;
    COLORREF colour;
};

struct RuleCase {
    int line_type;
    std::vector<ColumnRun> runs;
};

TEST(DrawVerticalRule, DrawsSingleThickAndDoubleRules) {
    // On gray, so that the white middle of a double rule shows. Rule at x = 10, rows 5..24.
    const RuleCase cases[] = {
        {1, {{9, 0, 40, kGray}, {10, 0, 5, kGray}, {10, 5, 25, kBlack}, {10, 25, 40, kGray},
             {11, 0, 40, kGray}}},
        {2, {{10, 5, 25, kBlack}, {11, 0, 5, kGray}, {11, 5, 25, kBlack}, {11, 25, 40, kGray},
             {12, 0, 40, kGray}}},
        {3, {{9, 0, 40, kGray}, {10, 5, 25, kBlack}, {10, 25, 40, kGray}, {11, 0, 4, kGray},
             {11, 4, 25, kWhite}, {11, 25, 40, kGray}, {12, 0, 5, kGray}, {12, 5, 25, kBlack},
             {12, 25, 40, kGray}, {13, 0, 40, kGray}}},
    };
    for (const RuleCase& c : cases) {
        DrawSurface surface(30, 40, kGray);
        ASSERT_TRUE(surface.ok());
        const HGDIOBJ pen = GetCurrentObject(surface.dc(), OBJ_PEN);
        DrawVerticalRule(surface.dc(), 10, 5, 25, c.line_type);
        EXPECT_EQ(GetCurrentObject(surface.dc(), OBJ_PEN), pen) << c.line_type;
        for (const ColumnRun& run : c.runs) {
            EXPECT_EQ(surface.CountOf(RECT{run.x, run.from, run.x + 1, run.to}, run.colour),
                      run.to - run.from)
                << "line type " << c.line_type << ", x " << run.x << ", rows " << run.from << "-"
                << run.to;
        }
    }
}

TEST(DrawVerticalRule, UsesTheSelectedPenForTheDarkLines) {
    DrawSurface surface(30, 40, kGray);
    const HPEN red = CreatePen(PS_SOLID, 1, kRed);
    const HGDIOBJ previous = SelectObject(surface.dc(), red);
    DrawVerticalRule(surface.dc(), 10, 5, 25, 3);
    EXPECT_EQ(GetCurrentObject(surface.dc(), OBJ_PEN), red);
    SelectObject(surface.dc(), previous);
    DeleteObject(red);
    EXPECT_EQ(surface.CountOf(RECT{10, 5, 11, 25}, kRed), 20);
    EXPECT_EQ(surface.CountOf(RECT{11, 4, 12, 25}, kWhite), 21);
    EXPECT_EQ(surface.CountOf(RECT{12, 5, 13, 25}, kRed), 20);
}

TEST(DrawDottedLine, RepeatsWhiteBlackWhiteFromTheLeft) {
    struct Case {
        int left;
        int right;
        std::string pattern;  // pixels from x = 0 on row 7: g gray, w white, b black
    };
    const Case cases[] = {
        {5, 14, "gggggwbwwbwwbwgg"},
        {5, 12, "gggggwbwwbwwbwgg"},  // a started triple is finished past `right`
        {5, 11, "gggggwbwwbwggggg"},
        {5, 5, "gggggggggggggggg"},
    };
    for (const Case& c : cases) {
        DrawSurface surface(16, 10, kGray);
        DrawDottedLine(surface.dc(), c.left, c.right, 7);
        std::string row;
        for (int x = 0; x < 16; ++x) {
            const COLORREF pixel = surface.Pixel(x, 7);
            row += pixel == kWhite ? 'w' : pixel == kBlack ? 'b' : pixel == kGray ? 'g' : '?';
        }
        EXPECT_EQ(row, c.pattern) << c.left << "-" << c.right;
        EXPECT_EQ(surface.CountOf(RECT{0, 0, 16, 7}, kGray), 16 * 7);
        EXPECT_EQ(surface.CountOf(RECT{0, 8, 16, 10}, kGray), 16 * 2);
    }
}

TEST(DrawPageWidthMark, DrawsARedLineThatLaterPaintingLeavesAlone) {
    DrawSurface surface(40, 40, kWhite);
    const HGDIOBJ pen = GetCurrentObject(surface.dc(), OBJ_PEN);
    DrawPageWidthMark(surface.dc(), 20, 5, 30);
    EXPECT_EQ(GetCurrentObject(surface.dc(), OBJ_PEN), pen);
    EXPECT_TRUE(SameRect(surface.BoundsOfColour(kRed), RECT{20, 5, 21, 30}))
        << Describe(surface.BoundsOfColour(kRed));

    // Cells painted afterwards cover everything but the mark.
    surface.Fill(RECT{0, 0, 40, 40}, kBlue);
    EXPECT_EQ(surface.CountOf(RECT{20, 5, 21, 30}, kRed), 25);
    EXPECT_EQ(surface.CountOf(RECT{0, 0, 40, 40}, kBlue), 40 * 40 - 25);
    SelectClipRgn(surface.dc(), nullptr);
}

}  // namespace
