// The PDF writer: pages and column groups as the printer prints them, text a PDF reader finds,
// the page's paper, the failures it reports; and the fonts it draws and measures with.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "convert/convert_arguments.h"
#include "convert/convert_run.h"
#include "convert/table_load.h"
#include "grid/column_groups.h"
#include "grid/sum_widths.h"
#include "print/cairo_fonts_cairo.h"
#include "print/dot_matrix.h"
#include "print/table_pdf_cairo.h"
#include "render/code_page_1251.h"

namespace {

// A data file loaded as lintaro-convert loads it: laid out for the test printer "PDF" (A4,
// 300 dpi) with the fonts measured as Wine measures them.
std::unique_ptr<LoadedTable> OpenTable(const std::string& bytes) {
    auto table = std::make_unique<LoadedTable>();
    std::size_t at = 0;
    const ReadBlockFunction read = [&](char* buffer, std::size_t capacity) -> std::ptrdiff_t {
        const std::size_t count = std::min(capacity, bytes.size() - at);
        bytes.copy(buffer, count, at);
        at += count;
        return static_cast<std::ptrdiff_t>(count);
    };
    if (LoadTableForConversion(read, "table.rdf", nullptr, TableUse::Pages, *table) != TableLoadResult::Loaded) {
        return nullptr;
    }
    return table;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

std::string SourceFolder() {
    const std::string file = __FILE__;
    return file.substr(0, file.rfind('/'));  // tests/unit
}

// A table of `rows` rows whose names are too wide for one sheet beside the other columns.
std::string WideTable(int rows) {
    std::string text =
        "WindowTitle: Wide\r\nPrinter: Default\r\nPage: Width 210.00, Height 297.00, Left 15.00, Top 10.00, "
        "Right 10.00, Bottom 10.00\r\nFont: Arial, 10\r\nTitles:\r\nName\tCity\tNote\r\nTypes:\r\nText\tText\tText\r\n"
        "Data:\r\n";
    const std::string wide(30, 'W');
    for (int row = 1; row <= rows; ++row) {
        text += "Name" + std::to_string(row) + " " + wide + "\tCity" + std::to_string(row) + "\tNote " + wide + "\r\n";
    }
    return text;
}

// The PDF's pages as a PDF reader sees their text (pdftotext), form feed between pages.
std::vector<std::string> PdfPageTexts(const std::vector<std::uint8_t>& pdf) {
    char name[] = "/tmp/lintaro-pdf-test-XXXXXX";
    const int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    std::FILE* file = fdopen(fd, "wb");
    std::fwrite(pdf.data(), 1, pdf.size(), file);
    std::fclose(file);
    const std::string text_path = std::string(name) + ".txt";
    const std::string command = "pdftotext -layout " + std::string(name) + " " + text_path;
    EXPECT_EQ(std::system(command.c_str()), 0);
    const std::string text = ReadFile(text_path);
    std::remove(name);
    std::remove(text_path.c_str());
    std::vector<std::string> pages;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\f', start)) != std::string::npos; start = end + 1) {
        pages.push_back(text.substr(start, end - start));
    }
    return pages;
}

// The right end of the rightmost word on the PDF's pages, in points (pdftotext -bbox).
double RightmostWordEnd(const std::vector<std::uint8_t>& pdf) {
    char name[] = "/tmp/lintaro-pdf-test-XXXXXX";
    const int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, pdf.data(), pdf.size()), static_cast<ssize_t>(pdf.size()));
    close(fd);
    const std::string html = std::string(name) + ".html";
    EXPECT_EQ(std::system(("pdftotext -bbox " + std::string(name) + " " + html).c_str()), 0);
    const std::string boxes = ReadFile(html);
    std::remove(name);
    std::remove(html.c_str());
    double right = 0;
    const std::regex word(R"re(<word [^>]*xMax="([0-9.]+)")re");
    for (std::sregex_iterator it(boxes.begin(), boxes.end(), word), end; it != end; ++it) {
        right = std::max(right, std::stod((*it)[1]));
    }
    return right;
}

// What `command` (a poppler tool, "{}" standing for the PDF's path) writes for the PDF.
std::string PdfToolOutput(const std::vector<std::uint8_t>& pdf, std::string command) {
    char name[] = "/tmp/lintaro-pdf-test-XXXXXX";
    const int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, pdf.data(), pdf.size()), static_cast<ssize_t>(pdf.size()));
    close(fd);
    const std::string out = std::string(name) + ".out";
    command.replace(command.find("{}"), 2, name);
    EXPECT_EQ(std::system((command + " > " + out).c_str()), 0);
    const std::string text = ReadFile(out);
    std::remove(name);
    std::remove(out.c_str());
    return text;
}

// (xMin, xMax) in points of every occurrence of `word` (pdftotext -bbox).
std::vector<std::pair<double, double>> WordSpans(const std::vector<std::uint8_t>& pdf, const std::string& word) {
    const std::string boxes = PdfToolOutput(pdf, "pdftotext -bbox {} -");
    std::vector<std::pair<double, double>> spans;
    const std::regex box(R"re(<word xMin="([0-9.]+)" yMin="[0-9.]+" xMax="([0-9.]+)" yMax="[0-9.]+">([^<]*)</word>)re");
    for (std::sregex_iterator it(boxes.begin(), boxes.end(), box), end; it != end; ++it) {
        if ((*it)[3] == word) spans.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
    }
    return spans;
}

// The row numbers that begin the lines of a page's text.
std::vector<int> RowNumbers(const std::string& page) {
    std::vector<int> rows;
    // A number, perhaps another, then a word: column numbers are numbers only.
    const std::regex row(R"(^\s*(\d+)\s+(\d+\s+)?[^\d\s])");
    std::istringstream lines(page);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_search(line, match, row)) rows.push_back(std::stoi(match[1]));
    }
    return rows;
}

int LayoutPageCount(const GridModel& grid) { return CountLayoutPages(grid); }

}  // namespace

// Fontconfig keeps its caches until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

TEST(TablePdf, TheSalesSampleHasEveryRowOnceWithItsHeaderFooterAndPageNumbers) {
    auto table = OpenTable(ReadFile(SourceFolder() + "/../samples/sales-bg.rdf"));
    ASSERT_NE(table, nullptr);
    MemoryByteSink pdf;
    std::string error;
    ASSERT_TRUE(WriteTablePdf(*table->grid, table->settings, 1, 0, pdf, error, TablePdfExtras{nullptr, "09.12.2026, 10:30"}))
        << error;
    const std::vector<std::string> pages = PdfPageTexts(pdf.Bytes());
    const int groups = static_cast<int>(DivideIntoColumnGroups(*table->grid).size());
    ASSERT_EQ(static_cast<int>(pages.size()), LayoutPageCount(*table->grid) * groups);
    ASSERT_GE(pages.size(), 2u);
    std::vector<int> rows;
    for (std::size_t i = 0; i < pages.size(); i += static_cast<std::size_t>(groups)) {
        const std::vector<int> on_page = RowNumbers(pages[i]);
        EXPECT_FALSE(on_page.empty()) << "page " << i / groups + 1;
        rows.insert(rows.end(), on_page.begin(), on_page.end());
    }
    for (std::size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(rows[i], static_cast<int>(i) + 1);
    EXPECT_NE(pages[0].find(std::string(u8"Продажби по региони")), std::string::npos) << pages[0];
    EXPECT_NE(pages[0].find(std::string(u8"Мария Стефанов Петрова")), std::string::npos);
    EXPECT_NE(pages.back().find(std::string(u8"Изготвил:")), std::string::npos);
}

TEST(TablePdf, AWideTablePrintsEachPageInTwoColumnGroupsOnSheetsOfItsPaper) {
    auto table = OpenTable(WideTable(200));
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(DivideIntoColumnGroups(*table->grid).size(), 2u);
    const int layout_pages = LayoutPageCount(*table->grid);
    ASSERT_GE(layout_pages, 3);
    MemoryByteSink pdf;
    std::string error;
    ASSERT_TRUE(WriteTablePdf(*table->grid, table->settings, 2, 3, pdf, error)) << error;
    const std::vector<std::string> pages = PdfPageTexts(pdf.Bytes());
    ASSERT_EQ(pages.size(), 4u);
    // Page 2, first group: the names; second group: the notes, the names not repeated.
    EXPECT_NE(pages[0].find("Name"), std::string::npos);
    EXPECT_EQ(pages[0].find("Note "), std::string::npos);
    EXPECT_NE(pages[1].find("Note "), std::string::npos);
    EXPECT_EQ(pages[1].find("Name1"), std::string::npos);
    // A4 in points, as the settings' paper (209.89 mm x 297.01 mm) is.
    const std::string bytes(pdf.Bytes().begin(), pdf.Bytes().end());
    EXPECT_NE(bytes.find("/MediaBox [ 0 0 594.9"), std::string::npos);
}

TEST(TablePdf, KeyColumnsRepeatOnEveryGroupAndAFittedTableShrinksOntoOneSheetWidth) {
    auto table = OpenTable(WideTable(200));
    ASSERT_NE(table, nullptr);
    GridModel& grid = *table->grid;
    PrintOptions options;
    options.key_columns = 1;  // the row numbers (the names are too wide to repeat)
    options.page_number_style = PageNumberStyle::PageOfPages;
    grid.SetPrintOptions(options);
    const int pages = LayoutPageCount(grid);
    MemoryByteSink keyed;
    std::string error;
    ASSERT_TRUE(WriteTablePdf(grid, table->settings, 1, 1, keyed, error)) << error;
    const std::vector<std::string> sheets = PdfPageTexts(keyed.Bytes());
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[1].find("City1"), std::string::npos);
    EXPECT_NE(sheets[1].find("Note "), std::string::npos);
    EXPECT_FALSE(RowNumbers(sheets[0]).empty());
    EXPECT_EQ(RowNumbers(sheets[1]), RowNumbers(sheets[0]));

    options = PrintOptions{};
    options.fit_to_width = 1;
    grid.SetPrintOptions(options);
    ASSERT_EQ(DivideIntoColumnGroups(grid).size(), 1u);
    EXPECT_LT(LayoutPageCount(grid), pages);
    MemoryByteSink fitted;
    ASSERT_TRUE(WriteTablePdf(grid, table->settings, 1, 1, fitted, error)) << error;
    const std::vector<std::string> sheet = PdfPageTexts(fitted.Bytes());
    ASSERT_EQ(sheet.size(), 1u);
    EXPECT_NE(sheet[0].find("Name1 WWW"), std::string::npos);
    EXPECT_NE(sheet[0].find("City1"), std::string::npos);
    EXPECT_NE(sheet[0].find("Note WWW"), std::string::npos);
    // Every word within the right margin: A4 less 10 mm is 566.9 points.
    const double right = RightmostWordEnd(fitted.Bytes());
    EXPECT_GT(right, 400.0);
    EXPECT_LE(right, 567.0);
}

TEST(TablePdf, SumLinesPrintBoldWithTheLabelOverTheColumnsBeforeAndEachSumUnderItsColumn) {
    auto table = OpenTable(
        "Font: Arial, 10\r\nTitles:\r\nName\tAmount\r\nTypes:\r\nText\tNumber\r\nData:\r\n"
        "Row1\t10.50\r\nRow2\t-3.25\r\nRow3\tn/a\r\n");
    ASSERT_NE(table, nullptr);
    GridModel& grid = *table->grid;
    MemoryByteSink plain;
    std::string error;
    ASSERT_TRUE(WriteTablePdf(grid, table->settings, 1, 1, plain, error)) << error;
    EXPECT_EQ(PdfToolOutput(plain.Bytes(), "pdffonts {}").find("Bold"), std::string::npos) << "nothing bold yet";

    GridColumnInfo amount;
    grid.GetColumnInfo(2, amount);
    amount.flags |= ColumnFlags::Sum;
    ASSERT_TRUE(grid.SetColumnInfo(2, amount));
    MemoryByteSink summed;
    ASSERT_TRUE(WriteTablePdf(grid, table->settings, 1, 1, summed, error)) << error;
    const std::vector<std::string> pages = PdfPageTexts(summed.Bytes());
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NE(pages[0].find(std::string(u8"1 стойност не е число")), std::string::npos) << pages[0];
    EXPECT_NE(PdfToolOutput(summed.Bytes(), "pdffonts {}").find("Bold"), std::string::npos);
    // The label starts in the row numbers' cell, left of the names; the sum ends where the
    // amounts above it end.
    const auto label = WordSpans(summed.Bytes(), std::string(u8"Общо"));
    const auto name = WordSpans(summed.Bytes(), "Row1");
    const auto sum = WordSpans(summed.Bytes(), "7.25");
    const auto above = WordSpans(summed.Bytes(), "10.50");
    ASSERT_EQ(label.size(), 1u);
    ASSERT_EQ(name.size(), 1u);
    ASSERT_EQ(sum.size(), 1u);
    ASSERT_EQ(above.size(), 1u);
    EXPECT_LT(label[0].first, name[0].first - 10);
    EXPECT_NEAR(sum[0].second, above[0].second, 0.5);

    // Too narrow for its sum, the column shows "#" marks, never digits cut off; widened to its
    // sums it shows the sum again, and a second time nothing changes.
    grid.MutableColumn(2)->print_width = 40;
    MemoryByteSink narrow;
    ASSERT_TRUE(WriteTablePdf(grid, table->settings, 1, 1, narrow, error)) << error;
    const std::string narrow_page = PdfPageTexts(narrow.Bytes()).at(0);
    EXPECT_TRUE(std::regex_search(narrow_page, std::regex(std::string(u8"Общо") + R"(\s+#+\n)"))) << narrow_page;
    EXPECT_TRUE(WidenSummedColumnsToTheirSums(grid));
    EXPECT_GT(grid.Column(2)->print_width, 40);
    EXPECT_FALSE(WidenSummedColumnsToTheirSums(grid));
    MemoryByteSink widened;
    ASSERT_TRUE(WriteTablePdf(grid, table->settings, 1, 1, widened, error)) << error;
    EXPECT_EQ(WordSpans(widened.Bytes(), "7.25").size(), 1u);
}

TEST(TablePdf, ALandscapeHeadTurnsTheSheet) {
    std::string data = WideTable(5);
    data.insert(data.find("Font:"), "Orientation: Landscape\r\n");
    auto table = OpenTable(data);
    ASSERT_NE(table, nullptr);
    MemoryByteSink pdf;
    std::string error;
    ASSERT_TRUE(WriteTablePdf(*table->grid, table->settings, 1, 1, pdf, error)) << error;
    const std::string bytes(pdf.Bytes().begin(), pdf.Bytes().end());
    // 297.01 mm across, 209.89 mm down; the wide table fits across in one group.
    EXPECT_NE(bytes.find("/MediaBox [ 0 0 841.9"), std::string::npos);
    EXPECT_EQ(PdfPageTexts(pdf.Bytes()).size(), 1u);
}

TEST(TablePdf, RefusesDotMatrixSettingsAndRangesWithoutAPage) {
    auto table = OpenTable(WideTable(10));
    ASSERT_NE(table, nullptr);
    struct Case {
        int first;
        int last;
        bool dot_matrix;
    };
    for (const Case c : {Case{1, 1, true}, Case{5, 9, false}, Case{2, 1, false}}) {
        PrintSettings settings = table->settings;
        if (c.dot_matrix) settings = DotMatrixPrintSettings();
        MemoryByteSink pdf;
        std::string error;
        EXPECT_FALSE(WriteTablePdf(*table->grid, settings, c.first, c.last, pdf, error)) << c.first;
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(pdf.Bytes().empty()) << "nothing written for " << c.first << ".." << c.last;
    }
}

TEST(TablePdf, FontsStandForTheirWindowsFacesAtTheirCharacterHeight) {
    struct Case {
        const char* face;
        const char* family;
    };
    for (const Case c : {Case{"Arial", "Liberation Sans"}, Case{"MS Sans Serif", "Liberation Sans"},
                         Case{"Times New Roman", "Liberation Serif"}, Case{"Courier New", "Liberation Mono"}}) {
        FontSpec font{};
        std::snprintf(font.face_name, sizeof font.face_name, "%s", c.face);
        cairo_font_face_t* face = CreateTableFontFace(font, false);
        EXPECT_STREQ(cairo_toy_font_face_get_family(face), c.family) << c.face;
        cairo_font_face_destroy(face);
    }
    FontSpec ten_points{};
    EXPECT_EQ(TableFontEmPixels(ten_points, 300), 42);
    EXPECT_EQ(TableFontEmPixels(ten_points, 96), 13);
}

TEST(CodePage1251, BytesBecomeTheirUnicodeCharacters) {
    EXPECT_EQ(UnicodeOf1251('A'), U'A');
    EXPECT_EQ(UnicodeOf1251(0xC0), U'А');
    EXPECT_EQ(UnicodeOf1251(0xFF), U'я');
    EXPECT_EQ(UnicodeOf1251(0xB9), U'№');
    EXPECT_EQ(UnicodeOf1251(0x98), U'\uFFFD');
    EXPECT_EQ(Utf8Of1251("\xC0\t\xB9", 3), std::string(u8"А №"));
}

TEST(ConvertArguments, PagesOfAPdfAreARangeCountedFromOne) {
    struct Case {
        const char* range;
        bool accepted;
        int first;
        int last;
    };
    const Case cases[] = {
        {"1-100", true, 1, 100}, {"3", true, 3, 3},     {"2-", true, 2, 0},   {"5-5", true, 5, 5},
        {"0-3", false, 0, 0},    {"4-2", false, 0, 0},  {"-3", false, 0, 0},  {"", false, 0, 0},
        {"1-x", false, 0, 0},    {"9999999999", false, 0, 0}, {"1--2", false, 0, 0},
    };
    for (const Case& c : cases) {
        ConvertArguments arguments;
        std::string error;
        const bool parsed = ParseConvertArguments({"t.rdf", "--to", "pdf", "--pages", c.range}, arguments, error);
        EXPECT_EQ(parsed, c.accepted) << c.range;
        if (!c.accepted) {
            EXPECT_NE(error.find("--pages"), std::string::npos) << c.range;
            continue;
        }
        EXPECT_EQ(arguments.first_page, c.first) << c.range;
        EXPECT_EQ(arguments.last_page, c.last) << c.range;
    }
    ConvertArguments all;
    std::string error;
    ASSERT_TRUE(ParseConvertArguments({"t.rdf", "--to", "pdf"}, all, error)) << error;
    EXPECT_EQ(all.first_page, 1);
    EXPECT_EQ(all.last_page, 0);
}

TEST(ConvertToPdf, WritesThePagesAskedForAndTellsWhyItCannot) {
    char folder[] = "/tmp/lintaro-convert-pdf-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string empty = std::string(folder) + "/empty.rdf";
    std::FILE* file = std::fopen(empty.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("WindowTitle: X\r\nTitles:\r\nA\tB\r\nTypes:\r\nText\tText\r\nData:\r\n", file);
    std::fclose(file);
    const std::string sales = SourceFolder() + "/../samples/sales-bg.rdf";
    const std::string out = std::string(folder) + "/out.pdf";
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;  // in the one line on standard error
        int sheets;           // of the PDF written
    };
    const Case cases[] = {
        {{sales, "--to", "pdf", "--pages", "2-3", "-o", out}, kConvertOk, "", 4},
        {{sales, "--to", "pdf", "--pages", "99", "-o", out}, kConvertBadArguments, "after the last page", 0},
        {{SourceFolder() + "/../samples/lpt-report.rdf", "--to", "pdf", "-o", out}, kConvertUnavailable,
         "dot-matrix", 0},
        {{empty, "--to", "pdf", "-o", out}, kConvertNoRowsKept, "no rows", 0},
    };
    for (const Case& c : cases) {
        std::remove(out.c_str());
        std::FILE* err = std::tmpfile();
        EXPECT_EQ(RunConversion(c.args, stdout, err, false), c.code) << c.args[4];
        std::rewind(err);
        char line[512] = {};
        const bool said = std::fgets(line, sizeof line, err) != nullptr;
        std::fclose(err);
        EXPECT_EQ(said, c.code != kConvertOk) << line;
        EXPECT_NE(std::string(line).find(c.message), std::string::npos) << line;
        const std::string bytes = ReadFile(out);
        if (c.sheets == 0) {
            EXPECT_TRUE(bytes.empty()) << "nothing written for " << c.args[4];
            continue;
        }
        EXPECT_EQ(PdfPageTexts(std::vector<std::uint8_t>(bytes.begin(), bytes.end())).size(),
                  static_cast<std::size_t>(c.sheets));
    }
    std::remove(out.c_str());
    std::remove(empty.c_str());
    rmdir(folder);
}

TEST(ConvertToPdf, APdfThatCannotBeDrawnOnStandardOutputFailsWithItsReason) {
    // A layout that hides every column leaves rows but no column group to draw.
    const std::string sales = SourceFolder() + "/../samples/sales-bg.rdf";
    auto table = OpenTable(ReadFile(sales));
    ASSERT_NE(table, nullptr);
    for (int i = 0; i < table->grid->ColumnCount(); ++i) table->grid->MutableColumn(i)->flags &= ~ColumnFlags::Visible;
    const std::vector<std::uint8_t> layout = table->grid->BuildLayoutFileImage();
    char name[] = "/tmp/lintaro-hidden-layout-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, layout.data(), layout.size()), static_cast<ssize_t>(layout.size()));
    close(fd);
    const std::string file = std::string(name) + ".pdf";
    for (const char* output : {"-", "", file.c_str()}) {
        std::vector<std::string> args{sales, "--to", "pdf", "--layout", name};
        if (output[0] != '\0') args.insert(args.end(), {"-o", output});
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        EXPECT_EQ(RunConversion(args, out, err, false), kConvertCannotWrite) << output;
        std::rewind(err);
        char line[512] = {};
        ASSERT_NE(std::fgets(line, sizeof line, err), nullptr) << "no reason given";
        EXPECT_NE(std::string(line).find("there is no page to write"), std::string::npos) << line;
        std::fclose(out);
        std::fclose(err);
    }
    EXPECT_TRUE(ReadFile(file).empty()) << "no PDF left behind";
    std::remove(name);
}
