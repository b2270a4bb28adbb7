// Tests of the text rules against a fake meter: breaks, counts, abbreviation, alignment, layouts.
#include "render/text_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_text_meter.h"

namespace {

// ASCII bytes 1 pixel wide, Cyrillic 2, lines 10 high: widths can be read off the strings.
const FakeTextMeter kMeter;

struct BreakCase {
    const char* text;
    int width;
    std::size_t expected;
};

TEST(FindLineBreak, BreaksAtBlanksAndAfterHyphens) {
    const BreakCase cases[] = {
        {"", 5, 0},
        {"   ", 1, 3},                 // blanks only: all of it
        {"abcdef", 1, 6},              // one word is never broken
        {"abc-def", 2, 7},             // not even at its hyphen
        {"  abcdef", 1, 8},
        {"xy abc-def", 7, 7},          // "xy abc-" fits, "def" starts the next line
        {"xy abc-def", 10, 10},
        {"xy abc-def", 6, 3},          // break at the blank, blank included
        {"xy abc-def", 2, 3},          // first word as wide as the line: alone
        {"abcd efg", 4, 5},
        {"abcd efg", 5, 5},
        {"abcd efg", 8, 8},            // a tie fits
        {"abcd efg", 7, 5},
        {"ab cd ef", 5, 6},
        {"ab cd   ef", 5, 8},          // all blanks after the break belong to the line
        {"ab cd  ", 5, 7},             // trailing blanks end the text
        {"  xy abc", 5, 5},            // leading blanks count in the measured width
        {"ab cd-ef-gh", 8, 6},
        {"ab cd-ef-gh", 9, 9},
        {"ab -cd", 4, 4},              // a segment can be a lone hyphen
        {"ab\tcd\r\nef", 5, 7},        // TAB, CR and LF are blanks
        {"аб вг", 8, 3},               // Cyrillic is word text, twice as wide here
        {"аб вг", 9, 5},
        {"аб\xA0вг", 1, 5},            // 0xA0 is not a blank
    };
    for (const BreakCase& c : cases) {
        EXPECT_EQ(FindLineBreak(kMeter, c.text, std::strlen(c.text), c.width), c.expected)
            << '"' << c.text << "\" width " << c.width;
    }
}

TEST(FindLineBreak, NextLineStartsWithTheWordAfterTheBreak) {
    const char text[] = "xy abc-def";
    const std::size_t first = FindLineBreak(kMeter, text, std::strlen(text), 7);
    EXPECT_EQ(std::string(text + first), "def");
}

struct WrappedCountCase {
    const char* text;
    int width;
    int expected;
};

TEST(CountWrappedLines, CountsLinesOfTheWrappedText) {
    const WrappedCountCase cases[] = {
        {"", 5, 1},
        {"    ", 5, 1},
        {"abcdefgh", 1, 1},
        {"ab cd ef", 5, 2},
        {"ab cd ef", 100, 1},
        {"xy abc-def", 7, 2},
        {"a b c d", 1, 4},
        {"  a b  ", 1, 2},
        {"аб вг де", 5, 3},
    };
    for (const WrappedCountCase& c : cases) {
        EXPECT_EQ(CountWrappedLines(kMeter, c.text, std::strlen(c.text), c.width), c.expected)
            << '"' << c.text << "\" width " << c.width;
    }
}

struct TextLinesCase {
    std::string text;
    int expected;
};

TEST(CountTextLines, CountsCarriageReturnsAsHardLines) {
    const TextLinesCase cases[] = {
        {"", 1},
        {"abc", 1},
        {"a\r\nb\rc", 3},
        {"\r\n\r\n", 3},
        {"a\nb", 1},  // a lone LF is no line end
        {"\r\r", 3},
        {"a\r\n\nb", 2},
        {std::string(254, '\r'), 255},
        {std::string(300, '\r'), 255},  // kept in a byte: stops rather than wraps round
    };
    for (const TextLinesCase& c : cases) {
        EXPECT_EQ(CountTextLines(c.text.data(), c.text.size()), c.expected) << c.text.size();
    }
    EXPECT_EQ(CountTextLines(nullptr, 5), 1);
}

struct WordCase {
    const char* text;
    int widest;
    std::size_t longest;
};

TEST(WordMeasures, FindTheWidestAndLongestWords) {
    const WordCase cases[] = {
        {"", 0, 0},
        {" \t\r\n ", 0, 0},
        {"ab  abcd\tx", 4, 4},
        {"Иван Петров", 12, 6},
        {"abcde Ивн", 6, 5},  // the widest word is not the longest
        {"  end", 3, 3},
    };
    for (const WordCase& c : cases) {
        EXPECT_EQ(WidestWordWidth(kMeter, c.text, std::strlen(c.text)), c.widest) << c.text;
        EXPECT_EQ(LongestWordLength(c.text, std::strlen(c.text)), c.longest) << c.text;
    }
}

TEST(LogicalFontHeight, ConvertsTenthsOfAPointRoundingLikeMulDiv) {
    EXPECT_EQ(LogicalFontHeight(100, 96), -13);
    EXPECT_EQ(LogicalFontHeight(100, 300), -42);
    EXPECT_EQ(LogicalFontHeight(80, 96), -11);
    EXPECT_EQ(LogicalFontHeight(75, 96), -10);
    EXPECT_EQ(LogicalFontHeight(90, 120), -15);
}

struct AbbreviationCase {
    const char* text;
    int width;
    const char* expected;
};

// Runs AbbreviateName on a copy in a buffer of `capacity` bytes followed by guard bytes.
std::string Abbreviate(const TextMeter* meter, const char* text, int width, std::size_t capacity) {
    const std::size_t length = std::strlen(text);
    std::vector<char> buffer(capacity + 8, '#');
    std::memcpy(buffer.data(), text, length + 1);
    const std::size_t result = AbbreviateName(meter, width, buffer.data(), length, capacity);
    for (std::size_t i = capacity; i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], '#') << "wrote past the buffer for " << text;
    }
    EXPECT_EQ(buffer[result], '\0') << text;
    return std::string(buffer.data(), result);
}

TEST(AbbreviateName, ShortensStepByStepUntilTheNameFits) {
    const AbbreviationCase cases[] = {
        // Three words: each form is taken only when the one before is too wide.
        {"Ivan Petrov Ivanov", 18, "Ivan Petrov Ivanov"},
        {"Ivan Petrov Ivanov", 14, "Ivan P. Ivanov"},
        {"Ivan Petrov Ivanov", 12, "Ivan Ivanov"},
        {"Ivan Petrov Ivanov", 11, "Ivan Ivanov"},
        {"Ivan Petrov Ivanov", 10, "I. Ivanov"},
        {"Ivan Petrov Ivanov", 8, "Ivanov"},
        {"Konstantin Petrov Ivanov", 17, "Konstantin Ivanov"},
        {"Konstantin Petrov Ivanov", 12, "K. P. Ivanov"},
        {"Konstantin Petrov Ivanov", 9, "K. Ivanov"},
        {"Konstantin Petrov Ivanov", 5, "Ivanov"},
        {"Ivan Petrov Ivanov Jr", 12, "I. Ivanov Jr"},  // the rest keeps all further words
        {"Ivan-Petrov Ivanov", 14, "Ivan-P. Ivanov"},    // W1's own separators are kept
        // Cyrillic letters are 2 pixels here: 34, 25, 21, 20, 16, 12 for the forms.
        {"Иван Петров Иванов", 34, "Иван Петров Иванов"},
        {"Иван Петров Иванов", 25, "Иван П. Иванов"},
        {"Иван Петров Иванов", 21, "Иван Иванов"},
        {"Иван Петров Иванов", 20, "И. П. Иванов"},
        {"Иван Петров Иванов", 16, "И. Иванов"},
        {"Иван Петров Иванов", 15, "Иванов"},
        // Two words.
        {"Ivan Petrov", 11, "Ivan Petrov"},
        {"Ivan Petrov", 9, "I. Petrov"},
        {"Ivan Petrov", 8, "Petrov"},
        {"Ivan Petrov. ", 9, "I. Petrov"},  // trailing separators: still two words
        {"Ivan 2 Petrov", 9, "I. Petrov"},  // digits separate words
        {"Иван Петров", 16, "И. Петров"},
        {"Ив Петров", 1, "Ив Петров"},      // first word and separator shorter than 4 bytes
        {"Iv  Petrov", 1, "Petrov"},         // exactly 4: abbreviated
        // Left alone.
        {"Ivanov", 1, "Ivanov"},
        {"12.03.1998", 1, "12.03.1998"},
        {"  12:30", 1, "  12:30"},           // no letter at all: not even the blanks go
        {"", 1, ""},
        // Leading non-letters are dropped first, even when the name fits.
        {"  Ivan Petrov", 100, "Ivan Petrov"},
        {"\"Ivan Petrov\"", 5, "Petrov"},
    };
    for (const AbbreviationCase& c : cases) {
        EXPECT_EQ(Abbreviate(&kMeter, c.text, c.width, 64), c.expected)
            << '"' << c.text << "\" width " << c.width;
    }
}

TEST(AbbreviateName, WithoutAMeterChangesNothing) {
    EXPECT_EQ(Abbreviate(nullptr, "  Ivan Petrov Ivanov", 1, 64), "  Ivan Petrov Ivanov");
}

TEST(AbbreviateName, PassesOverFormsLongerThanTheBuffer) {
    // "Ivan P Ivanov" (13 bytes) grows to "Ivan P. Ivanov" (14), then "I. P. Ivanov" (12).
    EXPECT_EQ(Abbreviate(&kMeter, "Ivan P Ivanov", 12, 15), "Ivan Ivanov");
    EXPECT_EQ(Abbreviate(&kMeter, "Ivan P Ivanov", 12, 14), "I. P. Ivanov");
    // "A B Ivanov" (10) grows to "A B. Ivanov" (11) and "A. B. Ivanov" (12).
    EXPECT_EQ(Abbreviate(&kMeter, "A B Ivanov", 9, 12), "A Ivanov");
    EXPECT_EQ(Abbreviate(&kMeter, "A B Ivanov", 9, 11), "A. Ivanov");
}

struct AlignedCase {
    const char* text;
    int alignment;
    int padding;
    int expected_x;
    std::size_t expected_count;
};

TEST(PlaceAlignedLine, AlignsAndTruncatesAtTheRightEdge) {
    const PixelRect cell{10, 0, 30, 20};  // 20 pixels wide
    const std::string n17(17, 'a');
    const std::string n18(18, 'a');
    const std::string n19(19, 'a');
    const std::string n25(25, 'a');
    const AlignedCase cases[] = {
        {"abc", kAlignLeft, 2, 12, 3},
        {"abc", kAlignRight, 2, 25, 3},
        {"abc", kAlignCenter, 2, 18, 3},
        {"", kAlignRight, 2, 28, 0},
        {n17.c_str(), kAlignRight, 2, 11, 17},   // fits with its padding: strictly inside
        {n18.c_str(), kAlignLeft, 2, 12, 18},    // ends exactly at the edge
        {n18.c_str(), kAlignRight, 2, 12, 18},   // fits only without padding: flush right
        {n18.c_str(), kAlignCenter, 2, 12, 18},
        {n19.c_str(), kAlignLeft, 2, 12, 19},    // last character crosses the edge
        {n19.c_str(), kAlignRight, 2, 11, 19},
        {n25.c_str(), kAlignLeft, 2, 12, 19},
        {n25.c_str(), kAlignRight, 2, 10, 20},
        {n25.c_str(), kAlignCenter, 2, 10, 20},
        {"abc", kAlignLeft, -5, 10, 3},          // never left of the cell
        {"abc", 7, 2, 12, 3},                    // unknown codes align left
    };
    for (const AlignedCase& c : cases) {
        const AlignedLine line = PlaceAlignedLine(kMeter, c.text, std::strlen(c.text), cell,
                                                  c.alignment, c.padding);
        EXPECT_EQ(line.x, c.expected_x) << std::strlen(c.text) << " bytes, alignment " << c.alignment;
        EXPECT_EQ(line.count, c.expected_count) << std::strlen(c.text) << " bytes, alignment "
                                                << c.alignment;
    }
}

TEST(PlaceAlignedLine, JudgesTheLastCharacterByItsOwnWidth) {
    const PixelRect cell{0, 0, 10, 20};
    const AlignedCase cases[] = {
        {"abcdefgЖ", kAlignLeft, 2, 2, 8},     // 9 wide: the wide last letter may cross
        {"abcdefghЖ", kAlignLeft, 2, 2, 9},    // 10 wide: still may
        {"abcdefghiЖ", kAlignLeft, 2, 2, 9},   // 11 wide: the Ж goes, then "i" may cross
        {"Ж", kAlignLeft, 20, 20, 1},          // one character is always kept
    };
    for (const AlignedCase& c : cases) {
        const AlignedLine line =
            PlaceAlignedLine(kMeter, c.text, std::strlen(c.text), cell, c.alignment, c.padding);
        EXPECT_EQ(line.x, c.expected_x) << c.text;
        EXPECT_EQ(line.count, c.expected_count) << c.text;
    }
}

bool SameRect(const PixelRect& a, const PixelRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const PixelRect& r) {
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + "}";
}

struct BandsCase {
    PixelRect box;
    std::vector<PixelRect> expected;
};

TEST(BandsAroundBox, LeavesEveryPartOfTheAreaOutsideTheBox) {
    const PixelRect area{0, 0, 10, 10};
    const BandsCase cases[] = {
        {{2, 3, 6, 5}, {{0, 0, 10, 3}, {0, 3, 2, 5}, {6, 3, 10, 5}, {0, 5, 10, 10}}},
        {{0, 0, 4, 10}, {{4, 0, 10, 10}}},
        {{5, 2, 20, 4}, {{0, 0, 10, 2}, {0, 2, 5, 4}, {0, 4, 10, 10}}},  // crosses the right edge
        {{0, 8, 10, 18}, {{0, 0, 10, 8}}},
        {{3, 3, 3, 13}, {{0, 0, 10, 10}}},    // no text: the whole area
        {{3, 12, 6, 22}, {{0, 0, 10, 10}}},   // below the area
        {{0, 0, 10, 10}, {}},
    };
    for (const BandsCase& c : cases) {
        const FillBands bands = BandsAroundBox(area, c.box);
        ASSERT_EQ(bands.count, static_cast<int>(c.expected.size())) << Describe(c.box);
        for (int i = 0; i < bands.count; ++i) {
            EXPECT_TRUE(SameRect(bands.bands[i], c.expected[i]))
                << Describe(c.box) << " band " << i << " is " << Describe(bands.bands[i]);
        }
    }
}

struct Piece {
    std::string text;  // empty for a fill
    PixelRect box;
    int dx;
};

template <typename Layout>
std::vector<Piece> Walk(Layout layout, const char* text) {
    std::vector<Piece> pieces;
    TextPiece piece{};
    while (layout.Next(piece)) {
        pieces.push_back(Piece{std::string(text + piece.start, piece.count), piece.box, piece.dx});
        if (pieces.size() > 100) break;  // a layout that never ends
    }
    return pieces;
}

void ExpectPieces(const std::vector<Piece>& actual, const std::vector<Piece>& expected,
                  const std::string& what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].text, expected[i].text) << what << " piece " << i;
        EXPECT_TRUE(SameRect(actual[i].box, expected[i].box))
            << what << " piece " << i << " box " << Describe(actual[i].box);
        EXPECT_EQ(actual[i].dx, expected[i].dx) << what << " piece " << i;
    }
}

struct WrappedCase {
    const char* name;
    const char* text;
    PixelRect rect;
    int dy;
    int alignment;
    std::vector<Piece> expected;
};

TEST(WrappedTextLayout, LaysOutCellLinesOneBelowTheOther) {
    // Padding 1 on each side: the text wraps at 8 pixels; lines are 10 high.
    const WrappedCase cases[] = {
        {"left", "ab cd ef gh", {0, 0, 10, 35}, 2, kAlignLeft,
         {{"", {0, 0, 10, 2}, 0}, {"ab cd ef", {0, 2, 10, 12}, 1}, {"gh", {0, 12, 10, 22}, 1},
          {"", {0, 22, 10, 35}, 0}}},
        {"right", "ab cd ef gh", {0, 0, 10, 35}, 2, kAlignRight,
         {{"", {0, 0, 10, 2}, 0}, {"ab cd ef", {0, 2, 10, 12}, 1}, {"gh", {0, 12, 10, 22}, 7},
          {"", {0, 22, 10, 35}, 0}}},
        {"centre", "ab cd ef gh", {0, 0, 10, 35}, 0, kAlignCenter,
         {{"ab cd ef", {0, 0, 10, 10}, 1}, {"gh", {0, 10, 10, 20}, 4}, {"", {0, 20, 10, 35}, 0}}},
        {"too wide", "abcdefghijkl", {0, 0, 10, 10}, 0, kAlignRight,
         {{"abcdefghijkl", {0, 0, 10, 10}, 0}}},  // offset never negative
        // CR and LF are blanks like any other here: they do not end a wrapped line.
        {"blanks", "  ab\r\n\r\ncd ", {0, 0, 10, 30}, 0, kAlignLeft,
         {{"ab\r\n\r\ncd", {0, 0, 10, 10}, 1}, {"", {0, 10, 10, 30}, 0}}},
        {"blanks between lines", "  abcd  \t efgh", {0, 0, 10, 30}, 0, kAlignLeft,
         {{"abcd", {0, 0, 10, 10}, 1}, {"efgh", {0, 10, 10, 20}, 1}, {"", {0, 20, 10, 30}, 0}}},
        {"last line overhangs", "ab cd ef gh", {0, 0, 10, 20}, 2, kAlignLeft,
         {{"", {0, 0, 10, 2}, 0}, {"ab cd ef", {0, 2, 10, 12}, 1}, {"gh", {0, 12, 10, 22}, 1}}},
        {"no line at the bottom", "ab cd ef gh", {0, 0, 10, 12}, 2, kAlignLeft,
         {{"", {0, 0, 10, 2}, 0}, {"ab cd ef", {0, 2, 10, 12}, 1}}},
        {"empty", "", {0, 0, 10, 12}, 0, kAlignLeft, {{"", {0, 0, 10, 12}, 0}}},
        {"blank", "   ", {0, 0, 10, 12}, 3, kAlignLeft,
         {{"", {0, 0, 10, 3}, 0}, {"", {0, 3, 10, 12}, 0}}},
    };
    for (const WrappedCase& c : cases) {
        ExpectPieces(Walk(WrappedTextLayout::ForCell(kMeter, c.text, std::strlen(c.text), c.rect,
                                                     1, 1, c.dy, c.alignment),
                          c.text),
                     c.expected, c.name);
    }
}

TEST(WrappedTextLayout, UsesTheLeftPaddingOnBothSidesOfARightAlignedLine) {
    const char text[] = "ab";
    ExpectPieces(Walk(WrappedTextLayout::ForCell(kMeter, text, 2, {0, 0, 20, 10}, 3, 6, 0,
                                                 kAlignRight),
                      text),
                 {{"ab", {0, 0, 20, 10}, 15}}, "right padding ignored");
}

TEST(WrappedTextLayout, BreaksCellLinesWhereAnotherDeviceBreaksThem) {
    // The screen alone would break "ab cd ef" | "gh"; the paper, 3 pixels a byte and 15 wide,
    // breaks "ab cd" | "ef gh", and the screen shows those lines measured in its own pixels.
    const FakeTextMeter paper(3, 3, 30);
    const char text[] = "ab cd ef gh";
    ExpectPieces(Walk(WrappedTextLayout::ForCellBrokenAs(kMeter, text, std::strlen(text), {0, 0, 10, 35}, 1, 1,
                                                         0, kAlignRight, LineBreakRule{&paper, 15}),
                      text),
                 {{"ab cd", {0, 0, 10, 10}, 4}, {"ef gh", {0, 10, 10, 20}, 4}, {"", {0, 20, 10, 35}, 0}},
                 "paper's breaks");
    ExpectPieces(Walk(WrappedTextLayout::ForCellBrokenAs(kMeter, text, std::strlen(text), {0, 0, 10, 35}, 1, 1,
                                                         0, kAlignLeft, LineBreakRule{nullptr, 15}),
                      text),
                 {{"ab cd ef", {0, 0, 10, 10}, 1}, {"gh", {0, 10, 10, 20}, 1}, {"", {0, 20, 10, 35}, 0}},
                 "no other device: its own breaks");
}

TEST(WrappedTextLayout, LaysOutEveryTitleLineCentred) {
    // Wraps at 10 - 2 = 8 pixels; the bottom does not stop the lines.
    const WrappedCase cases[] = {
        {"two lines", "ab cd ef gh", {0, 0, 10, 35}, 1, kAlignLeft,
         {{"", {0, 0, 10, 1}, 0}, {"ab cd ef", {0, 1, 10, 11}, 3}, {"gh", {0, 11, 10, 21}, 4},
          {"", {0, 21, 10, 35}, 0}}},
        {"below the bottom", "ab cd ef gh", {0, 0, 10, 5}, 0, kAlignLeft,
         {{"ab cd ef", {0, 0, 10, 10}, 3}, {"gh", {0, 10, 10, 20}, 4}}},
        {"just centred", "abcdef", {0, 0, 10, 10}, 0, kAlignLeft, {{"abcdef", {0, 0, 10, 10}, 2}}},
        {"too wide to centre", "abcdefg", {0, 0, 10, 10}, 0, kAlignLeft,
         {{"abcdefg", {0, 0, 10, 10}, 3}}},
    };
    for (const WrappedCase& c : cases) {
        ExpectPieces(
            Walk(WrappedTextLayout::ForTitle(kMeter, c.text, std::strlen(c.text), c.rect, 2, c.dy),
                 c.text),
            c.expected, c.name);
    }
}

struct HeaderCase {
    const char* name;
    const char* text;
    int padding;
    int dy;
    std::vector<Piece> expected;
};

TEST(HeaderTextLayout, DrawsHardLinesSplitAtTheTab) {
    const PixelRect rect{0, 0, 50, 40};
    const HeaderCase cases[] = {
        {"tab, empty line, spaces", "Left\tRight\r\n\r\n  Middle", 2, 0,
         {{"Left", {0, 0, 6, 10}, 2}, {"Right", {6, 0, 50, 10}, 37}, {"", {0, 10, 50, 20}, 0},
          {"Middle", {0, 20, 50, 30}, 2}, {"", {0, 30, 50, 40}, 0}}},
        {"top band", "Top", 2, 5,
         {{"", {0, 0, 50, 5}, 0}, {"Top", {0, 5, 50, 15}, 2}, {"", {0, 15, 50, 40}, 0}}},
        {"negative padding", "a\tb", -3, 0,
         {{"a", {0, 0, 1, 10}, 0}, {"b", {1, 0, 50, 10}, 48}, {"", {0, 10, 50, 40}, 0}}},
        {"lone CR and LF", "a\rb\nc\r\n", 0, 0,
         {{"a", {0, 0, 50, 10}, 0}, {"b\nc", {0, 10, 50, 20}, 0}, {"", {0, 20, 50, 40}, 0}}},
        {"right part too wide", "\t" "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz", 2, 0,
         {{"", {0, 0, 2, 10}, 2},
          {"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz", {2, 0, 50, 10}, 0},
          {"", {0, 10, 50, 40}, 0}}},
        {"empty", "", 2, 0, {{"", {0, 0, 50, 40}, 0}}},
        {"only a tab-free blank line", " \r\n", 2, 0,
         {{"", {0, 0, 50, 10}, 0}, {"", {0, 10, 50, 40}, 0}}},
    };
    for (const HeaderCase& c : cases) {
        ExpectPieces(
            Walk(HeaderTextLayout(kMeter, c.text, std::strlen(c.text), rect, c.padding, c.dy),
                 c.text),
            c.expected, c.name);
    }
}

}  // namespace
