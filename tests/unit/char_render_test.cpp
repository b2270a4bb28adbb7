// Tests of the boxed character text: small grids with hand-made layout lines → expected lines.
#include "grid/char_render.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "grid/data_row_run.h"
#include "grid/sort_filter.h"
#include "grid/sum_line_render.h"
#include "grid/sum_lines.h"
#include "render/control_bytes.h"
#include "text_grid_builder.h"

namespace {

std::string ListText(const ItemList& list) {
    return std::string(reinterpret_cast<const char*>(list.Data()), static_cast<std::size_t>(list.Size()));
}

// Every layout line of the grid rendered in order, split into text lines.
std::vector<std::string> RenderAll(const GridModel& grid, int width, int indent) {
    ItemList out(1024, 1024);
    for (int i = 0; i < grid.LineCount(); ++i) {
        EXPECT_TRUE(RenderLayoutLine(grid, grid.Line(i), out, width, indent)) << "line " << i;
    }
    return SplitCrLfLines(ListText(out));
}

TEST(CharRenderComputeWidths, WidestTitleWordOrFullCellOfVisibleColumns) {
    TextGrid table({{"Име и фамилия"}, {"Град"}, {"Скрита"}, {"Празна"}}, /*row_numbers=*/true);
    std::vector<LayoutLine> lines = {KindLine(LineKind::Titles), KindLine(LineKind::ColumnNumbers)};
    for (std::uint32_t row = 0; row < 120; ++row) {
        table.SetRow(static_cast<int>(row), {row == 5 ? "Иван Петров Иванов" : "Ан", "Русе", "много дълъг текст", ""});
        lines.push_back(RowLine(row, row + 1));
    }
    TextGridCells()[{500, 12}] = "текст на ред, който не е в таблицата";
    lines.push_back(KindLine(LineKind::Header, 0, 1, 500));  // not a data row: not measured
    table.SetLines(lines);
    table.grid.MutableColumn(3)->flags &= ~ColumnFlags::Visible;
    table.grid.MutableColumn(3)->character_width = 99;  // left over from before
    table.grid.MutableColumn(3)->character_width_used = 99;

    ComputeCharWidths(table.grid);

    const struct {
        int column;
        int width;
    } expected[] = {
        {0, 3},   // "No" with rows 1 .. 120
        {1, 18},  // the whole longest cell, not its longest word
        {2, 4},   // title and cells equally wide
        {3, 0},   // hidden: 0
        {4, 6},   // only the title's word
    };
    for (const auto& e : expected) {
        EXPECT_EQ(table.grid.Column(e.column)->character_width, e.width) << "column " << e.column;
        EXPECT_EQ(table.grid.Column(e.column)->character_width_used, e.width) << "column " << e.column;
    }
    EXPECT_EQ(TextPageWidth(table.grid), 1 + (3 + 3) + (18 + 3) + (4 + 3) + (6 + 3));

    // A source that reads a column at a time gives the same widths.
    table.grid.SetCellTextSource(&TextGridCell, nullptr, &TextGridColumn);
    table.grid.MutableColumn(1)->character_width_used = 0;
    ComputeCharWidths(table.grid);
    EXPECT_EQ(TextPageWidth(table.grid), 1 + (3 + 3) + (18 + 3) + (4 + 3) + (6 + 3));
    EXPECT_EQ(table.grid.Column(1)->character_width, 18);
}

// Cells made up from the row key, a column at a time: "x" repeated key % 7 times, and in store
// column 12 the rows 1000 and 150000 longer ones (15 and 23 bytes).
void MadeUpColumn(void*, int column_identifier, const std::uint32_t* row_keys, int count, char* texts,
                  std::uint8_t* lengths) {
    for (int k = 0; k < count; ++k) {
        const std::uint32_t key = row_keys[k];
        int length = static_cast<int>(key % 7);
        if (column_identifier == 12 && key == 1000) length = 15;
        if (column_identifier == 12 && key == 150000) length = 23;
        lengths[k] = static_cast<std::uint8_t>(length);
        if (texts != nullptr) std::memset(texts + static_cast<std::size_t>(k) * kCellTextStride, 'x', length);
    }
}
int MadeUpCell(void*, int row_key, int column_identifier, char* buffer, int) {
    const std::uint32_t key = static_cast<std::uint32_t>(row_key);
    std::uint8_t length = 0;
    char texts[kCellTextStride];
    MadeUpColumn(nullptr, column_identifier, &key, 1, texts, &length);
    std::memcpy(buffer, texts, length);
    buffer[length] = '\0';
    return length;
}

TEST(CharRenderComputeWidths, ABigTableReadOnTwoThreadsGivesTheWidestCellOfEitherHalf) {
    TextGrid table({{"A"}, {"B"}}, /*row_numbers=*/true);
    std::vector<LayoutLine> lines = {KindLine(LineKind::Titles)};
    for (std::uint32_t row = 0; row < 300000; ++row) lines.push_back(RowLine(row, row + 1));
    table.SetLines(lines);
    const struct {
        const char* name;
        CellColumnFunction column_function;
        int widths[3];
    } cases[] = {
        {"column reads", &MadeUpColumn, {6, 6, 23}},
        {"cell by cell", nullptr, {6, 6, 23}},
    };
    for (const auto& c : cases) {
        table.grid.SetCellTextSource(&MadeUpCell, nullptr, c.column_function);
        ComputeCharWidths(table.grid);
        for (int column = 0; column < 3; ++column) {
            EXPECT_EQ(table.grid.Column(column)->character_width_used, c.widths[column]) << c.name << " " << column;
        }
    }
    // Without the row of 23 bytes the longest is the first half's.
    lines.erase(lines.begin() + 1 + 150000);
    table.SetLines(lines);
    table.grid.SetCellTextSource(&MadeUpCell, nullptr, &MadeUpColumn);
    ComputeCharWidths(table.grid);
    EXPECT_EQ(table.grid.Column(2)->character_width_used, 15);
}

TEST(CharRenderComputeWidths, LongestWordOfAWrappedTitle) {
    TextGrid table({{"  Пощенски   код  "}});
    ComputeCharWidths(table.grid);
    EXPECT_EQ(table.grid.Column(1)->character_width_used, 8);
}

TEST(CharRenderRuleLines, PlusSignsAtEveryBorder) {
    TextGrid table({{"a"}, {"b"}, {"hidden", kAlignLeft, false}});
    table.SetWidths({3, 2});
    const struct {
        int width;
        int indent;
        bool rule;
        const char* expected;
    } cases[] = {
        {12, 0, true, "+-----+----+\r\n"},
        {12, 0, false, "|     |    |\r\n"},
        {12, 3, true, "   +-----+----+\r\n"},
        {12, -2, true, "+-----+----+\r\n"},    // a negative indent counts as 0
        {8, 0, true, "+-----+-\r\n"},          // borders beyond the width are left out
        {0, 2, true, "  \r\n"},
    };
    for (const auto& c : cases) {
        ItemList out(16, 16);
        ASSERT_TRUE(c.rule ? AppendRuleLine(table.grid, out, c.width, c.indent)
                           : AppendEmptyCellLine(table.grid, out, c.width, c.indent));
        EXPECT_EQ(ListText(out), c.expected) << "width " << c.width << " indent " << c.indent;
    }
}

// A grid, its layout lines, the width and indent it is rendered with, and the lines expected.
struct RenderCase {
    const char* name;
    std::function<void(TextGrid&)> build;
    int width;
    int indent;
    std::vector<std::string> expected;
};

// The same lines with the data rows made as the writers of whole tables make them: in runs of
// at most `run` rows (DataRowRun) from column reads, every other line by itself.
std::vector<std::string> RenderInRuns(GridModel& grid, int width, int indent, int run = DataRowRun::kMostLines) {
    grid.SetCellTextSource(&TextGridCell, nullptr, &TextGridColumn);
    DataRowRun rows(grid, width, indent);
    EXPECT_TRUE(rows.Ready());
    std::string text;
    for (int i = 0; i < grid.LineCount();) {
        std::vector<LayoutLine> lines;
        std::size_t bytes = 0;
        for (; i < grid.LineCount() && static_cast<int>(lines.size()) < run && grid.Line(i).kind == LineKind::DataRow;
             ++i) {
            lines.push_back(grid.Line(i));
            bytes += rows.Bytes(lines.back());
        }
        if (lines.empty()) {
            ItemList out(1024, 1024);
            EXPECT_TRUE(RenderLayoutLine(grid, grid.Line(i++), out, width, indent));
            text += ListText(out);
            continue;
        }
        std::string made(bytes, '?');
        rows.Render(lines.data(), static_cast<int>(lines.size()), made.data());
        text += made;
    }
    return SplitCrLfLines(text);
}

void RunRenderCases(const std::vector<TextColumn>& columns, const std::vector<RenderCase>& cases) {
    for (const RenderCase& c : cases) {
        TextGrid table(columns);
        c.build(table);
        EXPECT_EQ(RenderAll(table.grid, c.width, c.indent), c.expected) << c.name;
        EXPECT_EQ(RenderInRuns(table.grid, c.width, c.indent), c.expected) << c.name << ", in runs";
    }
}

TEST(CharRenderDataRow, AlignsPadsAndCutsCells) {
    const std::vector<TextColumn> columns = {
        {"A", kAlignLeft}, {"B", kAlignRight}, {"C", kAlignCenter, true, ColumnFlags::TextFlow}};
    auto rows = [](TextGrid& table) {
        table.SetWidths({4, 4, 5});
        table.SetRow(0, {"ab", "7", "x"});
        table.SetRow(1, {"abcdefg", "123456", "xyz"});
        table.SetRow(2, {"", "", "a b c d e"});
        table.SetRow(3, {"abcd", "12", "ab"});
    };
    RunRenderCases(columns, {
        {"rules above and below",
         [&](TextGrid& t) {
             rows(t);
             t.SetLines({RowLine(0, 1, LineFlags::RuleAbove | LineFlags::RuleBelow)});
         },
         23, 0,
         {"+------+------+-------+",
          "| ab   |    7 |   x   |",
          "+------+------+-------+"}},
        {"too long: cut to the column, pad 1, whatever the alignment",
         [&](TextGrid& t) {
             rows(t);
             t.SetLines({RowLine(1, 2)});
         },
         23, 0,
         {"| abcd | 1234 |  xyz  |"}},
        {"a wrapped column in a three-line row is cut, on one text line",
         [&](TextGrid& t) {
             rows(t);
             t.SetLines({RowLine(2, 3, LineFlags::RuleBelow, 3)});
         },
         23, 0,
         {"|      |      | a b c |",
          "+------+------+-------+"}},
        {"control bytes of a cell are blanks: the line stays whole and no printer command goes out",
         [&](TextGrid& t) {
             t.SetWidths({4, 4, 5});
             t.SetRow(4, {std::string("a\nb\0c", 5), "\x1B@\x0C", "\tx\ry\x1F"});
             t.SetLines({RowLine(4, 5)});
         },
         23, 0,
         {"| a b  |   @  |  x y  |"}},
        {"exactly as wide, and centring rounds down",
         [&](TextGrid& t) {
             rows(t);
             t.SetLines({RowLine(3, 4)});
         },
         23, 0,
         {"| abcd |   12 |  ab   |"}},
        {"other column widths in a table as wide: the borders move with them",
         [&](TextGrid& t) {
             rows(t);
             t.SetWidths({5, 4, 4});
             t.SetLines({RowLine(0, 1, LineFlags::RuleAbove | LineFlags::RuleBelow)});
         },
         23, 0,
         {"+-------+------+------+",
          "| ab    |    7 |  x   |",
          "+-------+------+------+"}},
        {"indented",
         [&](TextGrid& t) {
             rows(t);
             t.SetLines({RowLine(0, 1, LineFlags::RuleBelow), RowLine(3, 2, LineFlags::RuleBelow)});
         },
         23, 3,
         {"   | ab   |    7 |   x   |",
          "   +------+------+-------+",
          "   | abcd |   12 |  ab   |",
          "   +------+------+-------+"}},
    });
}

TEST(CharRenderDataRow, RowNumberColumnShowsTheOrdinalAndHiddenColumnsAreSkipped) {
    TextGrid table({{"Име"}, {"Скрита", kAlignLeft, false}, {"Сума", kAlignRight}}, /*row_numbers=*/true);
    table.SetRow(4, {"Бяло", "не", "3.50"});
    table.SetLines({RowLine(4, 12, LineFlags::RuleBelow)});
    ComputeCharWidths(table.grid);  // No 2, Име 4, Сума 4
    EXPECT_EQ(RenderAll(table.grid, TextPageWidth(table.grid), 0),
              (std::vector<std::string>{"| 12 | Бяло | 3.50 |", "+----+------+------+"}));
    EXPECT_EQ(RenderInRuns(table.grid, TextPageWidth(table.grid), 0),
              (std::vector<std::string>{"| 12 | Бяло | 3.50 |", "+----+------+------+"}));
}

TEST(CharRenderDataRowRuns, ControlBytesAreBlankAtEveryLengthAndPlaceAndNothingPastTheText) {
    // Each byte in turn at every place of texts of 0 to 20 bytes: only 0x00-0x1F become blanks.
    const struct {
        char byte;
        char written;
    } cases[] = {{'\0', ' '}, {'\n', ' '}, {'\x1B', ' '}, {'\x1F', ' '}, {' ', ' '}, {'!', '!'},
                 {'\x7F', '\x7F'}, {'\x80', '\x80'}, {'\xE0', '\xE0'}, {'\xFF', '\xFF'}};
    for (const auto& c : cases) {
        for (std::size_t length = 0; length <= 20; ++length) {
            for (std::size_t at = 0; at < std::max<std::size_t>(length, 1); ++at) {
                std::string text(length, 'a');
                std::string expected = "<" + text + ">";
                if (at < length) {
                    text[at] = c.byte;
                    expected[at + 1] = c.written;
                }
                std::string line = "<" + std::string(length, '?') + ">";
                CopyBlankingControlBytes(line.data() + 1, text.data(), length);
                EXPECT_EQ(line, expected) << int(static_cast<unsigned char>(c.byte)) << " at " << at << " of " << length;
            }
        }
    }
    // Every byte value, many control bytes in one word.
    std::string every(256, '\0');
    for (int i = 0; i < 256; ++i) every[static_cast<std::size_t>(i)] = static_cast<char>(i);
    std::string copied(256, '?');
    CopyBlankingControlBytes(copied.data(), every.data(), every.size());
    EXPECT_EQ(copied, std::string(32, ' ') + every.substr(32));
}

TEST(CharRenderDataRowRuns, ColumnReadsAcrossRunsOfMovedColumnsMatchTheRowsMadeOneByOne) {
    // Columns the layout file moved: the first shown column reads store column 13, the last 11.
    TextGrid table({{"Име"}, {"Скрита", kAlignLeft, false}, {"Сума", kAlignRight}}, /*row_numbers=*/true);
    std::swap(table.grid.MutableColumn(1)->source, table.grid.MutableColumn(3)->source);
    std::vector<LayoutLine> lines = {KindLine(LineKind::Titles)};
    for (int row = 0; row < 600; ++row) {
        table.SetRow(row, {std::to_string(row * 7) + ".5", "не", "ред " + std::to_string(row)});
        const std::uint8_t flags = row % 50 == 49 ? LineFlags::RuleBelow : 0;
        lines.push_back(RowLine(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(row + 1), flags));
        if (row % 50 == 49) lines.push_back(KindLine(LineKind::PageBreak));
    }
    // Control bytes and a cell longer than its column at the first row of the second run.
    table.SetRow(255, {"1\r\n2", "", std::string("ред\x0C\x1B" "E") + std::string(300, 'x')});
    table.SetLines(lines);
    table.SetWidths({3, 7, 7});
    const int width = TextPageWidth(table.grid);
    const std::vector<std::string> one_by_one = RenderAll(table.grid, width, 2);
    ASSERT_EQ(one_by_one.size(), 3u + 600u + 12u * 2u);
    EXPECT_EQ(one_by_one[3], "  |   1 | ред 0   |     0.5 |");
    EXPECT_EQ(one_by_one[3 + 255 + 10], "  | 256 | ред  Ex |    1  2 |");
    EXPECT_EQ(one_by_one[one_by_one.size() - 2], "  +-----+---------+---------+");  // then the page break
    for (int run : {1, 7, 255, DataRowRun::kMostLines}) {
        EXPECT_EQ(RenderInRuns(table.grid, width, 2, run), one_by_one) << "runs of " << run;
    }
    // Without texts every cell is empty, as row by row.
    table.grid.SetCellTextSource(nullptr, nullptr);
    DataRowRun no_source(table.grid, width, 0);
    const LayoutLine row = RowLine(3, 4, LineFlags::RuleAbove);
    std::string made(no_source.Bytes(row), '?');
    no_source.Render(&row, 1, made.data());
    EXPECT_EQ(SplitCrLfLines(made), (std::vector<std::string>{"+-----+---------+---------+", "|   4 |         |         |"}));
    // A table line longer than a run keeps is left to the rows one by one.
    EXPECT_FALSE(DataRowRun(table.grid, 1 << 17, 0).Ready());
    EXPECT_TRUE(DataRowRun(table.grid, 60000, kLongestIndent).Ready());
}

TEST(CharRenderTitles, WrapsAndCentresEachTitleOverTheLineHeight) {
    const std::vector<TextColumn> columns = {{"Пощенски код"}, {"Име", kAlignRight}};
    RunRenderCases(columns, {
        {"two words one per line, each centred; a short title in the first line",
         [](TextGrid& t) {
             t.SetWidths({8, 5});
             t.SetLines({KindLine(LineKind::Titles, 0, 2)});
         },
         20, 0,
         {"+----------+-------+",
          "| Пощенски |  Име  |",
          "|   код    |       |",
          "+----------+-------+"}},
        {"one text line: what does not fit is dropped",
         [](TextGrid& t) {
             t.SetWidths({8, 5});
             t.SetLines({KindLine(LineKind::Titles, 0, 1)});
         },
         20, 2,
         {"  +----------+-------+",
          "  | Пощенски |  Име  |",
          "  +----------+-------+"}},
        {"wide enough for both words on one line",
         [](TextGrid& t) {
             t.SetWidths({12, 3});
             t.SetLines({KindLine(LineKind::Titles, 0, 2)});
         },
         22, 0,
         {"+--------------+-----+",
          "| Пощенски код | Име |",
          "|              |     |",
          "+--------------+-----+"}},
    });
}

TEST(CharRenderTitles, WordsFillEachLineAndBlanksAreSkipped) {
    const std::vector<TextColumn> columns = {{"  ab cd\tef  "}, {"a b c"}, {"абвгдежз"}};
    RunRenderCases(columns, {
        {"greedy lines of whole words; a word wider than its column is cut",
         [](TextGrid& t) {
             t.SetWidths({5, 1, 4});
             t.SetLines({KindLine(LineKind::Titles, 0, 2)});
         },
         20, 0,
         {"+-------+---+------+",
          "| ab cd | a | абвг |",
          "|  ef   | b |      |",
          "+-------+---+------+"}},
    });
}

TEST(CharRenderColumnNumbers, CentredNumbersOfTheVisibleColumns) {
    RunRenderCases({{"a"}, {"hidden", kAlignLeft, false}, {"b"}, {"c"}}, {
        {"with a rule above",
         [](TextGrid& t) {
             t.SetWidths({1, 3, 2});
             t.SetLines({KindLine(LineKind::ColumnNumbers, LineFlags::RuleAbove | LineFlags::RuleBelow)});
         },
         16, 0,
         {"+---+-----+----+",
          "| 1 |  2  | 3  |",
          "+---+-----+----+"}},
        {"without RuleAbove only the rule below",
         [](TextGrid& t) {
             t.SetWidths({1, 3, 2});
             t.SetLines({KindLine(LineKind::ColumnNumbers)});
         },
         16, 1,
         {" | 1 |  2  | 3  |",
          " +---+-----+----+"}},
    });
    std::vector<TextColumn> ten(10, TextColumn{"x"});
    RunRenderCases(ten, {
        {"a number wider than its column is cut",
         [](TextGrid& t) {
             t.SetWidths(std::vector<int>(10, 1));
             t.SetLines({KindLine(LineKind::ColumnNumbers)});
         },
         41, 0,
         {"| 1 | 2 | 3 | 4 | 5 | 6 | 7 | 8 | 9 | 1 |",
          "+---+---+---+---+---+---+---+---+---+---+"}},
    });
}

TEST(CharRenderHeaderText, LeftPartAfterTheIndentRightPartBeforeTheBorder) {
    const struct {
        const char* name;
        const char* text;
        int width;
        int indent;
        std::vector<std::string> expected;
    } cases[] = {
        {"word TAB word", "Left\tRight", 20, 0, {"  Left       Right"}},
        {"indented", "Left\tRight", 20, 3, {"     Left       Right"}},
        {"lines, an empty line, no TAB, too long",
         "Left 1\tRight 1\r\n\r\nNo tab here\r\nLong left part here\tRight part",
         20, 0,
         {"  Left 1   Right 1", "", "  No tab here", "  Long left part here Right part"}},
        {"a lone CR ends a line too; a final CR LF leaves an empty line", "Един\rДва\tтри\r\n", 16, 0,
         {"  Един", "  Два      три", ""}},
        {"only the first TAB splits; a later one is a blank", "a\tb\tc", 10, 0, {"  a  b c"}},
        {"a lone LF, form feed or ESC is a blank", "Left\x0C\tRi\nght\x1B", 20, 0, {"  Left     Ri ght "}},
        {"an empty right part still pads to the border", "Отляво\t", 12, 0, {"  Отляво  "}},
        {"empty text: nothing", "", 20, 0, {}},
        {"width 0: nothing", "Left\tRight", 0, 0, {}},
    };
    for (const auto& c : cases) {
        ItemList out(64, 64);
        EXPECT_TRUE(RenderHeaderText(c.text, std::strlen(c.text), out, c.width, c.indent));
        EXPECT_EQ(SplitCrLfLines(ListText(out)), c.expected) << c.name;
    }
}

TEST(CharRenderHeaderText, HeaderAndFooterLinesTakeTheGridTexts) {
    TextGrid table({{"Име"}});
    table.grid.SetHeaderText("Справка\tстр.");
    table.grid.SetFooterText("Изготвил:");
    table.SetLines({KindLine(LineKind::Header), KindLine(LineKind::Footer)});
    EXPECT_EQ(RenderAll(table.grid, 20, 1),
              (std::vector<std::string>{"   Справка     стр.", "   Изготвил:"}));
}

TEST(CharRenderPageNumber, EveryPosition) {
    const struct {
        std::uint8_t position;
        int width;
        const char* expected;
    } cases[] = {
        {PageNumberPosition::TopLeft, 20, "  7."},
        {PageNumberPosition::BottomLeft, 20, "  7."},
        {PageNumberPosition::TopCenter, 20, "       - 7 -"},
        {PageNumberPosition::BottomCenter, 21, "        - 7 -"},
        {PageNumberPosition::TopRight, 20, "                7."},
        {PageNumberPosition::BottomRight, 20, "                7."},
        {PageNumberPosition::None, 10, "      7."},
        {PageNumberPosition::TopCenter, 3, "- 7 -"},  // narrower than the text: no spaces
        {PageNumberPosition::TopRight, 3, "7."},
    };
    for (const auto& c : cases) {
        // Through the grid: the number is the line's key, the position the table style's, and
        // the indent given is not used.
        TextGrid table({{"a"}});
        table.SetLines({KindLine(LineKind::PageNumber, 0, 1, 7)});
        table.SetPageNumberPosition(c.position);
        EXPECT_EQ(RenderAll(table.grid, c.width, 4), (std::vector<std::string>{c.expected}))
            << "position " << int(c.position) << " width " << c.width;
    }
}

TEST(CharRenderPageNumber, PageOfPagesStandsWhereThePlainNumberStands) {
    const struct {
        std::uint8_t position;
        const char* expected;
    } cases[] = {
        {PageNumberPosition::TopLeft, "  стр. 2 от 15\r\n"},
        {PageNumberPosition::BottomCenter, "        стр. 2 от 15\r\n"},
        {PageNumberPosition::TopRight, "              стр. 2 от 15\r\n"},
    };
    for (const auto& c : cases) {
        ItemList out(64, 64);
        EXPECT_TRUE(RenderPageNumber(2, c.position, out, 28, PageNumberStyle::PageOfPages, 15));
        EXPECT_EQ(ListText(out), c.expected) << int(c.position);
    }
}

TEST(CharRenderLayoutLine, OtherKindsAreEmptyLines) {
    TextGrid table({{"a"}});
    table.SetLines({KindLine(LineKind::Blank), KindLine(LineKind::DateLine), KindLine(LineKind::PageBreak),
                    KindLine(77)});
    table.SetWidths({1});
    EXPECT_EQ(RenderAll(table.grid, 5, 3), (std::vector<std::string>{"", "", "", ""}));
}

TEST(CharRenderLayoutLine, AWholeIndentedPage) {
    TextGrid table({{"Град"}, {"Жители", kAlignRight}}, /*row_numbers=*/true);
    table.grid.SetHeaderText("Градове\tстр. 1");
    table.grid.SetFooterText("Общо: 2");
    table.SetRow(0, {"София", "1280000"});
    table.SetRow(1, {"Бяло", "40"});
    table.SetLines({KindLine(LineKind::PageNumber, 0, 1, 1), KindLine(LineKind::Blank),
                    KindLine(LineKind::Header), KindLine(LineKind::Titles, 0, 1),
                    KindLine(LineKind::ColumnNumbers, LineFlags::RuleBelow),
                    RowLine(1, 1, LineFlags::RuleBelow), RowLine(0, 2, LineFlags::RuleBelow),
                    KindLine(LineKind::Footer), KindLine(LineKind::DateLine)});
    ComputeCharWidths(table.grid);  // No 2, Град 5, Жители 7
    const int width = TextPageWidth(table.grid);
    ASSERT_EQ(width, 24);
    EXPECT_EQ(RenderAll(table.grid, width, 2), (std::vector<std::string>{
                                                    "                    1.",
                                                    "",
                                                    "    Градове       стр. 1",
                                                    "  +----+-------+---------+",
                                                    "  | No | Град  | Жители  |",
                                                    "  +----+-------+---------+",
                                                    "  | 1  |   2   |    3    |",
                                                    "  +----+-------+---------+",
                                                    "  |  1 | Бяло  |      40 |",
                                                    "  +----+-------+---------+",
                                                    "  |  2 | София | 1280000 |",
                                                    "  +----+-------+---------+",
                                                    "    Общо: 2",
                                                    "",
                                                }));
}

// A summed table laid out on one page (the grid has no devices, so every line is 0 high).
TEST(CharRenderSumLines, LabelAcrossTheCellsBeforeTheSumsWhichWidenTheirColumn) {
    TextGrid table({{"Град"}, {"Сума", kAlignRight, true, ColumnFlags::Sum}}, /*row_numbers=*/true);
    table.SetRow(0, {"София", "999,50"});
    table.SetRow(1, {"Бяло", "900"});
    table.SetRow(2, {"Русе", "abc"});
    PrintOptions options;
    options.sum_lines = SumPlacement::PageTotals;
    table.grid.SetPrintOptions(options);
    table.grid.SetRowCount(3);
    ComputeCharWidths(table.grid);
    EXPECT_EQ(table.grid.Column(2)->character_width_used, 6) << "the data alone";
    WidenCharWidthsToSums(table.grid);
    EXPECT_EQ(table.grid.Column(2)->character_width, 6) << "dBase field lengths stay the data's";
    const int width = TextPageWidth(table.grid);
    ASSERT_EQ(width, 25);
    EXPECT_EQ(RenderAll(table.grid, width, 1), (std::vector<std::string>{
                                                   " +----+-------+----------+",
                                                   " | No | Град  |   Сума   |",
                                                   " +----+-------+----------+",
                                                   " | 1  |   2   |    3     |",
                                                   " +----+-------+----------+",
                                                   " |  1 | София |   999,50 |",
                                                   " +----+-------+----------+",
                                                   " |  2 | Бяло  |      900 |",
                                                   " +----+-------+----------+",
                                                   " |  3 | Русе  |      abc |",
                                                   " +----+-------+----------+",
                                                   " | Общо за ст | 1 899,50 |",
                                                   " +----+-------+----------+",
                                                   " | Общо       | 1 899,50 |",
                                                   " +----+-------+----------+",
                                                   "   1 стойност не е число",
                                               }));
}

// A group's key labels its subtotal as a cell's text stands: cut at the span's border, its
// control bytes blanks, so that none reaches a printer as a command.
TEST(CharRenderSumLines, AGroupKeyIsCutToItsSpanWithItsControlBytesBlank) {
    TextGrid table({{"Град"}, {"Сума", kAlignRight, true, ColumnFlags::Sum}});
    table.SetRow(0, {"A\x1B@\x0C" "BCDEFGH", "1"});
    PrintOptions options;
    options.sum_lines = SumPlacement::GroupTotals | SumPlacement::NoEndTotal;
    table.grid.SetPrintOptions(options);
    table.grid.SetRowCount(1);
    SortRows(table.grid, SortRequest{1, SortDirection::Ascending, KeyType::Text});
    table.SetWidths({5, 3});
    ItemList out(256, 256);
    for (int i = 0; i < table.grid.LineCount(); ++i) {
        const LayoutLine line = table.grid.Line(i);
        if (line.kind == LineKind::GroupTotal) {
            ASSERT_TRUE(RenderLayoutLine(table.grid, line, out, 15, 2));
        }
    }
    EXPECT_EQ(SplitCrLfLines(ListText(out)), (std::vector<std::string>{"  | A @ B |   1 |", "  +-------+-----+"}));
}

TEST(CharRenderSumLines, TheLabelSpanFollowsTheSummedColumns) {
    const struct {
        std::vector<std::uint32_t> summed;  // per visible column
        int first;
        int end;
        const char* line;  // an end total of 5 in every summed column
    } cases[] = {
        {{0, 0, ColumnFlags::Sum}, 0, 2, "| Общо      |   5 |"},
        {{ColumnFlags::Sum, 0, 0}, 1, 3, "|   5 | Общо      |"},
        {{ColumnFlags::Sum, 0, ColumnFlags::Sum}, 3, 3, "|   5 |     |   5 |"},
        {{0, ColumnFlags::Sum, 0}, 0, 1, "| Общ |   5 |     |"},
    };
    for (const auto& c : cases) {
        std::vector<TextColumn> columns;
        for (std::uint32_t flags : c.summed) columns.push_back({"", kAlignRight, true, flags});
        TextGrid table(columns);
        table.SetRow(0, {"5", "5", "5"});
        table.grid.SetRowCount(1);
        const int drawn[] = {1, 2, 3};
        const LabelSpan span = FindLabelSpan(table.grid, drawn, 3);
        EXPECT_EQ(span.first, c.first) << c.line;
        EXPECT_EQ(span.end, c.end) << c.line;
        table.SetWidths({3, 3, 3});
        ItemList out(256, 256);
        ASSERT_TRUE(RenderLayoutLine(table.grid, table.grid.Line(table.grid.LineCount() - 1), out, 19, 0));
        EXPECT_EQ(SplitCrLfLines(ListText(out)), (std::vector<std::string>{c.line, "+-----+-----+-----+"}));
    }
}

TEST(CharRenderBounds, AnyIndentOrWidthStaysBoundedAndNeverOverflows) {
    TextGrid table({{"a"}});
    table.SetWidths({1});
    table.SetRow(0, {"x"});
    const std::string longest(kLongestIndent, ' ');
    const struct {
        int indent;
        std::string spaces;
    } cases[] = {{INT32_MAX, longest}, {1000, longest}, {999, longest}, {-5, ""}, {INT32_MIN, ""}};
    for (const auto& c : cases) {
        ItemList out(64, 64);
        ASSERT_TRUE(RenderDataRow(table.grid, RowLine(0, 1, LineFlags::RuleBelow), out, 5, c.indent));
        ASSERT_TRUE(RenderHeaderText("L\tR", 3, out, 5, c.indent));
        EXPECT_EQ(SplitCrLfLines(ListText(out)),
                  (std::vector<std::string>{c.spaces + "| x |", c.spaces + "+---+", c.spaces + "  L R"}))
            << c.indent;
    }
    // A line longer than a list can hold is refused, not wrapped into a short one.
    ItemList out(64, 64);
    EXPECT_FALSE(AppendRuleLine(table.grid, out, INT32_MAX, INT32_MAX));
    EXPECT_EQ(out.Size(), 0);
    for (int width : {INT32_MIN, -1}) {
        ItemList page(64, 64);
        EXPECT_TRUE(RenderPageNumber(INT32_MIN, PageNumberPosition::BottomRight, page, width));
        EXPECT_TRUE(RenderPageNumber(INT32_MAX, PageNumberPosition::TopCenter, page, width));
        EXPECT_EQ(ListText(page), "-2147483648.\r\n- 2147483647 -\r\n") << width;
    }
}

// Growth fails once the list holds `g_growth_limit` bytes.
std::size_t g_growth_limit = 0;
void* LimitedReallocate(void* block, std::size_t bytes) {
    return bytes > g_growth_limit ? nullptr : std::realloc(block, bytes);
}

TEST(CharRenderFailure, StopsWhereTheBufferStopsGrowing) {
    TextGrid table({{"a"}, {"b"}});
    table.SetWidths({3, 2});
    table.SetRow(0, {"xyz", "uv"});
    g_growth_limit = 16;
    {
        ItemList out(16, 16, &LimitedReallocate);
        // The rule (14 bytes) fits, the row does not and is not started.
        EXPECT_FALSE(RenderDataRow(table.grid, RowLine(0, 1, LineFlags::RuleAbove), out, 12, 0));
        EXPECT_EQ(ListText(out), "+-----+----+\r\n");
    }
    {
        ItemList out(16, 16, &LimitedReallocate);
        // The left part and the gap fit, the right part does not: the line is still ended.
        const char text[] = "Left\tRight";
        EXPECT_FALSE(RenderHeaderText(text, std::strlen(text), out, 20, 0));
        EXPECT_EQ(ListText(out), "  Left       \r\n");
    }
}

}  // namespace
