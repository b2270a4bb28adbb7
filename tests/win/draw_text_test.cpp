// Tests of text drawing on a memory surface with Wine's real fonts: fonts, alignment, wrapping.
#include "render/text_draw_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "draw_test_support.h"

namespace {

using namespace draw_test;

TEST(DrawTextFont, FillsOnlyFaceHeightStyleAndCharacterSet) {
    DrawSurface surface(10, 10);
    ASSERT_TRUE(surface.ok());
    const int dpi = GetDeviceCaps(surface.dc(), LOGPIXELSY);
    struct Case {
        std::int32_t size;
        std::uint32_t style;
        std::uint32_t char_set;
    };
    const Case cases[] = {
        {100, 0, 1}, {80, kFontBold, 204}, {75, kFontItalic | kFontUnderline, 1},
        {120, kFontBold | kFontItalic | kFontUnderline | kFontStrikeOut, 0x1CC},
    };
    for (const Case& c : cases) {
        FontSpec table_font;
        std::strcpy(table_font.face_name, "Arial");
        table_font.size = c.size;
        table_font.style = c.style;
        table_font.char_set = c.char_set;
        const LOGFONTA font = MakeFont(surface.dc(), table_font);

        LOGFONTA expected;
        std::memset(&expected, 0, sizeof expected);
        expected.lfHeight = -MulDiv(c.size, dpi, 720);
        expected.lfWeight = (c.style & kFontBold) ? 700 : 0;
        expected.lfItalic = (c.style & kFontItalic) ? 1 : 0;
        expected.lfUnderline = (c.style & kFontUnderline) ? 1 : 0;
        expected.lfStrikeOut = (c.style & kFontStrikeOut) ? 1 : 0;
        expected.lfCharSet = static_cast<BYTE>(c.char_set & 0xFF);
        std::strcpy(expected.lfFaceName, "Arial");
        EXPECT_EQ(std::memcmp(&font, &expected, sizeof font), 0) << "size " << c.size;
    }
}

TEST(DrawTextFont, HeightFollowsTheContextResolution) {
    DrawSurface surface(10, 10);
    ASSERT_EQ(GetDeviceCaps(surface.dc(), LOGPIXELSY), 96);
    FontSpec table_font;
    EXPECT_EQ(MakeFont(surface.dc(), table_font).lfHeight, -13);  // 10 points at 96: 13.33
    table_font.size = 80;
    EXPECT_EQ(MakeFont(surface.dc(), table_font).lfHeight, -11);  // 8 points at 96: 10.67
}

TEST(DrawTextFont, GivesTheProgramsDefaultFontOnTheDevice) {
    DrawSurface surface(10, 10);
    FontSpec table_font;
    table_font.size = 80;
    ScopedFont font(surface.dc(), table_font);
    ASSERT_TRUE(font.ok());
    char face[LF_FACESIZE] = {};
    GetTextFaceA(surface.dc(), sizeof face, face);
    EXPECT_STREQ(face, "MS Sans Serif");
    SIZE size{};
    GetTextExtentPoint32A(surface.dc(), "Таблица", 7, &size);
    EXPECT_EQ(size.cx, 43);
    EXPECT_EQ(size.cy, 13);
}

TEST(DrawTextFont, SelectsTheFontBackAfterUse) {
    DrawSurface surface(10, 10);
    const HGDIOBJ before = GetCurrentObject(surface.dc(), OBJ_FONT);
    {
        ScopedFont font(surface.dc(), FontSpec{});
        ASSERT_TRUE(font.ok());
        EXPECT_NE(GetCurrentObject(surface.dc(), OBJ_FONT), before);
    }
    EXPECT_EQ(GetCurrentObject(surface.dc(), OBJ_FONT), before);
}

// Text drawn in black on an opaque white text box, fills in blue, the rest of the surface green:
// the white-or-black pixels are exactly the text boxes, so their positions can be read back.
class DrawTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(surface_.ok());
        FontSpec table_font;
        table_font.size = 80;
        font_ = std::make_unique<ScopedFont>(surface_.dc(), table_font);
        ASSERT_TRUE(font_->ok());
        SetBkMode(surface_.dc(), OPAQUE);
        SetBkColor(surface_.dc(), kWhite);
        SetTextColor(surface_.dc(), kBlack);
        brush_ = CreateSolidBrush(kBlue);
        line_height_ = Extent("ABC").cy;
        ASSERT_GT(line_height_, 0);
    }
    void TearDown() override {
        font_.reset();
        DeleteObject(brush_);
    }

    SIZE Extent(const char* text, std::size_t count) const {
        SIZE size{};
        GetTextExtentPoint32A(surface_.dc(), text, static_cast<int>(count), &size);
        return size;
    }
    SIZE Extent(const char* text) const { return Extent(text, std::strlen(text)); }

    // Bounds of text-box pixels within the rows [top, bottom).
    RECT TextBoxIn(int top, int bottom) const {
        RECT bounds{surface_.width(), bottom, 0, top};
        for (int y = top; y < bottom; ++y) {
            for (int x = 0; x < surface_.width(); ++x) {
                const COLORREF pixel = surface_.Pixel(x, y);
                if (pixel != kWhite && pixel != kBlack) continue;
                bounds.left = std::min<LONG>(bounds.left, x);
                bounds.top = std::min<LONG>(bounds.top, y);
                bounds.right = std::max<LONG>(bounds.right, x + 1);
                bounds.bottom = y + 1;
            }
        }
        if (bounds.right == 0) return RECT{0, 0, 0, 0};
        return bounds;
    }
    RECT AllText() const { return TextBoxIn(0, surface_.height()); }

    // Every pixel of `cell` outside `boxes` is the fill colour and everything outside `cell`
    // and the boxes is untouched.
    void ExpectFilledAround(const RECT& cell, std::initializer_list<RECT> boxes,
                            const std::string& what) const {
        int box_area_in_cell = 0;
        int box_area_outside = 0;
        for (const RECT& box : boxes) {
            RECT inside{};
            IntersectRect(&inside, &box, &cell);
            box_area_in_cell += Area(inside);
            box_area_outside += Area(box) - Area(inside);
        }
        EXPECT_EQ(surface_.CountOf(cell, kBlue), Area(cell) - box_area_in_cell) << what;
        const RECT all{0, 0, surface_.width(), surface_.height()};
        EXPECT_EQ(surface_.CountOf(all, kGreen), Area(all) - Area(cell) - box_area_outside) << what;
    }

    DrawSurface surface_{240, 100, kGreen};
    std::unique_ptr<ScopedFont> font_;
    HBRUSH brush_ = nullptr;
    int line_height_ = 0;
};

TEST_F(DrawTextTest, AlignsAFittingLineAndFillsAroundIt) {
    const RECT cell{20, 10, 140, 40};
    const char text[] = "Таблица";
    const int width = Extent(text).cx;
    struct Case {
        int alignment;
        int expected_x;
    };
    const Case cases[] = {
        {0, 24},
        {1, 140 - 4 - width},
        {2, 20 + (120 - width) / 2},
    };
    for (const Case& c : cases) {
        surface_.Fill(RECT{0, 0, 240, 100}, kGreen);
        DrawAlignedLine(surface_.dc(), text, 7, cell, c.alignment, 4, 3, brush_);
        const RECT expected{c.expected_x, 13, c.expected_x + width, 13 + line_height_};
        EXPECT_TRUE(SameRect(AllText(), expected))
            << "alignment " << c.alignment << ": " << Describe(AllText());
        ExpectFilledAround(cell, {expected}, "alignment " + std::to_string(c.alignment));
    }
}

TEST_F(DrawTextTest, CutsALongLineSoOnlyItsLastCharacterCrossesTheEdge) {
    const RECT cell{20, 10, 140, 40};
    const char text[] = "Справка за продажбите по месеци и области";
    const std::size_t length = std::strlen(text);
    // The most characters whose all but the last fit in the 116 pixels after the padding.
    std::size_t shown = 1;
    while (shown < length && Extent(text, shown).cx <= 116) ++shown;
    ASSERT_LT(shown, length);
    ASSERT_GT(Extent(text, shown).cx, 116);

    DrawAlignedLine(surface_.dc(), text, length, cell, 0, 4, 3, brush_);
    const RECT expected{24, 13, 24 + Extent(text, shown).cx, 13 + line_height_};
    EXPECT_TRUE(SameRect(AllText(), expected)) << Describe(AllText()) << " expected "
                                               << Describe(expected);
    EXPECT_GT(expected.right, cell.right);
    ExpectFilledAround(cell, {expected}, "cut line");
}

TEST_F(DrawTextTest, PutsARightAlignedLineThatFitsOnlyWithoutPaddingFlushRight) {
    const char text[] = "Таблица";
    const int width = Extent(text).cx;
    const RECT cell{20, 10, 20 + width + 2, 40};
    for (int alignment : {1, 2}) {
        surface_.Fill(RECT{0, 0, 240, 100}, kGreen);
        DrawAlignedLine(surface_.dc(), text, 7, cell, alignment, 4, 0, brush_);
        const RECT expected{cell.right - width, 10, cell.right, 10 + line_height_};
        EXPECT_TRUE(SameRect(AllText(), expected)) << alignment << ": " << Describe(AllText());
    }
}

TEST_F(DrawTextTest, FillsAnEmptyCellWholly) {
    const RECT cell{20, 10, 140, 40};
    DrawAlignedLine(surface_.dc(), "", 0, cell, 0, 4, 3, brush_);
    ExpectFilledAround(cell, {}, "empty text");
}

TEST_F(DrawTextTest, WrapsCellTextLineByLine) {
    const char text[] = "Таблица Таблица";
    const int word = Extent("Таблица").cx;
    const int wrap = word + 5;  // the second word does not fit beside the first
    struct Case {
        int alignment;
        int expected_x;
    };
    const RECT cell{20, 10, 20 + 3 + wrap + 2, 80};
    const int cell_width = cell.right - cell.left;
    const Case cases[] = {
        {0, 23},
        {1, cell.left + cell_width - 3 - word},
        {2, cell.left + (cell_width - word) / 2},
    };
    for (const Case& c : cases) {
        surface_.Fill(RECT{0, 0, 240, 100}, kGreen);
        DrawWrappedText(surface_.dc(), text, std::strlen(text), cell, 3, 2, 4, c.alignment, brush_);
        const RECT first{c.expected_x, 14, c.expected_x + word, 14 + line_height_};
        const RECT second{c.expected_x, first.bottom, c.expected_x + word,
                          first.bottom + line_height_};
        EXPECT_TRUE(SameRect(TextBoxIn(0, first.bottom), first))
            << c.alignment << ": " << Describe(TextBoxIn(0, first.bottom));
        EXPECT_TRUE(SameRect(TextBoxIn(first.bottom, 100), second))
            << c.alignment << ": " << Describe(TextBoxIn(first.bottom, 100));
        ExpectFilledAround(cell, {first, second}, "alignment " + std::to_string(c.alignment));
    }
}

TEST_F(DrawTextTest, StartsNoWrappedLineAtOrBelowTheBottom) {
    const char text[] = "Таблица Таблица";
    const int word = Extent("Таблица").cx;
    const RECT cell{20, 10, 20 + word + 10, 14 + line_height_};  // room for one line only
    DrawWrappedText(surface_.dc(), text, std::strlen(text), cell, 3, 2, 4, 0, brush_);
    const RECT first{23, 14, 23 + word, 14 + line_height_};
    EXPECT_TRUE(SameRect(AllText(), first)) << Describe(AllText());
    ExpectFilledAround(cell, {first}, "one line");
}

TEST_F(DrawTextTest, DrawsEveryTitleLineCentredEvenBelowTheBottom) {
    const char text[] = "Таблица Таблица";
    const int word = Extent("Таблица").cx;
    const RECT cell{20, 10, 20 + word + 20, 12};  // shorter than one line
    DrawCenteredWrappedText(surface_.dc(), text, std::strlen(text), cell, 6, 2, brush_);
    const int x = cell.left + (word + 20 - word) / 2;
    const RECT first{x, 12, x + word, 12 + line_height_};
    const RECT second{x, first.bottom, x + word, first.bottom + line_height_};
    EXPECT_TRUE(SameRect(TextBoxIn(0, first.bottom), first)) << Describe(TextBoxIn(0, first.bottom));
    EXPECT_TRUE(SameRect(TextBoxIn(first.bottom, 100), second))
        << Describe(TextBoxIn(first.bottom, 100));
}

TEST_F(DrawTextTest, SplitsHeaderLinesAtTheTab) {
    const char text[] = "Лява страна\tДясна страна\r\n\r\n Трети ред";
    const RECT rect{10, 5, 230, 95};
    DrawHeaderText(surface_.dc(), text, std::strlen(text), rect, 6, 2, brush_);
    const int h = line_height_;
    const int left_width = Extent("Лява страна").cx;
    const int right_width = Extent("Дясна страна").cx;
    const RECT left{16, 7, 16 + left_width, 7 + h};
    const RECT right{224 - right_width, 7, 224, 7 + h};
    const RECT third{16, 7 + 2 * h, 16 + Extent("Трети ред").cx, 7 + 3 * h};
    EXPECT_TRUE(SameRect(TextBoxIn(7, 7 + h), RECT{left.left, 7, right.right, 7 + h}))
        << Describe(TextBoxIn(7, 7 + h));
    EXPECT_EQ(surface_.CountOf(RECT{left.right, 7, right.left, 7 + h}, kBlue),
              (right.left - left.right) * h);
    EXPECT_EQ(surface_.CountOf(RECT{10, 7 + h, 230, 7 + 2 * h}, kBlue), 220 * h);  // empty line
    EXPECT_TRUE(SameRect(TextBoxIn(7 + 2 * h, 100), third)) << Describe(TextBoxIn(7 + 2 * h, 100));
    ExpectFilledAround(rect, {left, right, third}, "header");
}

}  // namespace
