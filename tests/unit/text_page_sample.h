// A three-page table with its pages as text, shared by the native and the Wine-side LPT1 tests.
#ifndef LINTARO_TESTS_UNIT_TEXT_PAGE_SAMPLE_H
#define LINTARO_TESTS_UNIT_TEXT_PAGE_SAMPLE_H

#include <memory>
#include <string>
#include <vector>

#include "text_grid_builder.h"

// Row numbers, "Град" and "Жители" (right-aligned); a header on page 1, page numbers on pages 2
// and 3, the footer and a date line on page 3. Character widths: 2, 5 and 7; 24 in all.
inline std::unique_ptr<TextGrid> MakeThreePageTable() {
    auto table = std::make_unique<TextGrid>(std::vector<TextColumn>{{"Град"}, {"Жители", kAlignRight}},
                                            /*row_numbers=*/true);
    table->grid.SetHeaderText("Градове");
    table->grid.SetFooterText("Край");
    table->SetRow(0, {"София", "1280000"});
    table->SetRow(1, {"Бяло", "40"});
    table->SetRow(2, {"Русе", "150000"});
    table->SetRow(3, {"Шумен", "80000"});
    const std::uint8_t numbers_between = LineFlags::RuleAbove | LineFlags::RuleBelow;
    table->SetLines({
        KindLine(LineKind::Header), KindLine(LineKind::Titles), KindLine(LineKind::ColumnNumbers, LineFlags::RuleBelow),
        RowLine(0, 1, LineFlags::RuleBelow), RowLine(1, 2, LineFlags::RuleBelow),
        KindLine(LineKind::PageBreak),
        KindLine(LineKind::PageNumber, 0, 1, 2), KindLine(LineKind::Blank),
        KindLine(LineKind::ColumnNumbers, numbers_between), RowLine(2, 3, LineFlags::RuleBelow),
        KindLine(LineKind::PageBreak),
        KindLine(LineKind::PageNumber, 0, 1, 3), KindLine(LineKind::Blank),
        KindLine(LineKind::ColumnNumbers, numbers_between), RowLine(3, 4, LineFlags::RuleBelow),
        KindLine(LineKind::Footer), KindLine(LineKind::DateLine),
    });
    return table;
}

// The text of each page with a left margin of 3 characters, one element per layout line (a
// line that renders as several text lines holds them all), before any conversion.
inline std::vector<std::vector<std::string>> ThreePageTableText() {
    const std::string rule = "   +----+-------+---------+\r\n";
    const std::string numbers = "   | 1  |   2   |    3    |\r\n";
    return {
        {
            "     Градове\r\n",
            rule + "   | No | Град  | Жители  |\r\n" + rule,
            numbers + rule,
            "   |  1 | София | 1280000 |\r\n" + rule,
            "   |  2 | Бяло  |      40 |\r\n" + rule,
        },
        {
            "                    2.\r\n",
            "\r\n",
            rule + numbers + rule,
            "   |  3 | Русе  |  150000 |\r\n" + rule,
        },
        {
            "                    3.\r\n",
            "\r\n",
            rule + numbers + rule,
            "   |  4 | Шумен |   80000 |\r\n" + rule,
            "     Край\r\n",
            "\r\n",
        },
    };
}

#endif
