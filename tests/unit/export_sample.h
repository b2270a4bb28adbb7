// The small table the export tests write, read back and compare with the golden files.
#ifndef LINTARO_TESTS_UNIT_EXPORT_SAMPLE_H
#define LINTARO_TESTS_UNIT_EXPORT_SAMPLE_H

#include <memory>
#include <string>
#include <vector>

#include "print/export_writers.h"
#include "text_grid_builder.h"

// Row numbers, "Име", "Град", a hidden "Скрита" and "Сума" (right-aligned). The view shows
// store rows 2, 0, 1 in that order (as after sorting), over two pages. A quote, a ";" and a
// word of the DOS conversion example ("Бяло") are among the cells.
inline std::unique_ptr<TextGrid> MakeExportSample() {
    auto table = std::make_unique<TextGrid>(
        std::vector<TextColumn>{{"Име"}, {"Град"}, {"Скрита", kAlignLeft, false}, {"Сума", kAlignRight}},
        /*row_numbers=*/true);
    table->grid.SetHeaderText("Справка\tстр. 1");
    table->grid.SetFooterText("Край");
    table->SetRow(0, {"Иван Петров", "София", "а", "12.50"});
    table->SetRow(1, {"Мария", "Пловдив; център", "б", "7"});
    table->SetRow(2, {"Петър \"Пешо\"", "Бяло", "в", "1000"});
    table->SetLines({
        KindLine(LineKind::Header), KindLine(LineKind::Titles), KindLine(LineKind::ColumnNumbers, LineFlags::RuleBelow),
        RowLine(2, 1, LineFlags::RuleBelow), RowLine(0, 2, LineFlags::RuleBelow),
        KindLine(LineKind::PageBreak),
        KindLine(LineKind::PageNumber, 0, 1, 2), KindLine(LineKind::Blank),
        KindLine(LineKind::ColumnNumbers, LineFlags::RuleAbove | LineFlags::RuleBelow),
        RowLine(1, 3, LineFlags::RuleBelow), KindLine(LineKind::Footer), KindLine(LineKind::DateLine),
    });
    return table;
}

// The date the golden dBase files carry.
constexpr ExportDate kSampleExportDate{2024, 3, 9};

// The golden files of the sample, by format and code table, under tests/golden/export.
struct ExportGolden {
    int format;
    int code_table;
    const char* file;
};
inline const std::vector<ExportGolden>& ExportGoldens() {
    static const std::vector<ExportGolden> goldens = {
        {kExportPlainText, kExportWindowsCodeTable, "sample.txt"},
        {kExportPlainText, kExportDosCodeTable, "sample-dos.txt"},
        {kExportTabSeparated, kExportWindowsCodeTable, "sample.tsv"},
        {kExportTabSeparated, kExportDosCodeTable, "sample-dos.tsv"},
        {kExportCsv, kExportWindowsCodeTable, "sample.csv"},
        {kExportCsv, kExportDosCodeTable, "sample-dos.csv"},
        {kExportDbase, kExportWindowsCodeTable, "sample.dbf"},
        {kExportDbase, kExportDosCodeTable, "sample-dos.dbf"},
    };
    return goldens;
}

#endif
