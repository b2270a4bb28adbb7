// Tests of the export writers: golden files, tables read back by independent readers (Python's
// csv module and dbfread), dBase offsets, CSV quoting and the failure paths.
#include "print/export_writers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "export_sample.h"
#include "stopping_progress.h"
#include "base/byte_order.h"
#include "text_grid_builder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Records = std::vector<std::vector<std::string>>;

std::string SourceFolder() {
    const std::string file = __FILE__;
    return file.substr(0, file.rfind('/'));  // tests/unit
}

std::string GoldenPath(const char* name) { return SourceFolder() + "/../golden/export/" + name; }

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

Bytes Export(GridModel& grid, int format, int code_table, ExportOutcome* outcome = nullptr) {
    MemoryByteSink sink;
    const ExportOutcome result = ExportTable(grid, &sink, format, code_table, kSampleExportDate);
    if (outcome != nullptr) *outcome = result;
    EXPECT_TRUE(result.ok);
    EXPECT_FALSE(result.write_failed);
    return sink.Bytes();
}

TEST(ExportGoldenFiles, TheSampleTableByteForByte) {
    for (const ExportGolden& golden : ExportGoldens()) {
        auto table = MakeExportSample();
        const Bytes expected = ReadFileBytes(GoldenPath(golden.file));
        ASSERT_FALSE(expected.empty()) << golden.file;
        EXPECT_EQ(Text(Export(table->grid, golden.format, golden.code_table)), Text(expected)) << golden.file;
    }
}

// --- Read back by independent readers -------------------------------------------------------

std::string Escape(const std::string& field) {
    std::string escaped;
    for (char c : field) {
        switch (c) {
            case '\\': escaped += "\\\\"; break;
            case '\r': escaped += "\\r"; break;
            case '\n': escaped += "\\n"; break;
            case '\t': escaped += "\\t"; break;
            case '\x1f': escaped += "\\x1f"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

// Runs tests/e2e/export_reader.py on `path`; the first element is the encoding line it reports.
Records ReadBack(const char* format, const char* encoding, const std::string& path) {
    const std::string command = "/usr/bin/python3 '" + SourceFolder() + "/../e2e/export_reader.py' " + format + " " +
                                encoding + " '" + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pclose(pipe);
    EXPECT_EQ(status, 0) << output;
    Records records;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(start, end - start);
        std::vector<std::string> fields;
        std::size_t field_start = 0;
        for (;;) {
            const std::size_t separator = line.find('\x1f', field_start);
            fields.push_back(line.substr(field_start, separator - field_start));
            if (separator == std::string::npos) break;
            field_start = separator + 1;
        }
        records.push_back(fields);
        start = end + 1;
    }
    return records;
}

Records EscapedRecords(const std::string& first_line, const Records& records) {
    Records escaped = {{first_line}};
    for (const auto& record : records) {
        std::vector<std::string> fields;
        for (const std::string& field : record) fields.push_back(Escape(field));
        escaped.push_back(fields);
    }
    return escaped;
}

std::string WriteTempFile(const std::string& name, const Bytes& bytes) {
    const std::string path = ::testing::TempDir() + "lintaro_export_" + name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

// The sample as a reader should see it, in UTF-8: titles, then the rows in the view's order.
const std::vector<std::string> kSampleTitles = {u8"No", u8"Име", u8"Град", u8"Сума"};
const Records kSampleRows = {
    {u8"1", u8"Петър \"Пешо\"", u8"Бяло", u8"1000"},
    {u8"2", u8"Иван Петров", u8"София", u8"12.50"},
    {u8"3", u8"Мария", u8"Пловдив; център", u8"7"},
};

TEST(ExportReadBack, EveryFormatAndCodeTableGivesTheTableBack) {
    const std::vector<std::string> numbers = {"1", "2", "3", "4"};
    const Records table = [&] {
        Records all = {kSampleTitles};
        all.insert(all.end(), kSampleRows.begin(), kSampleRows.end());
        return all;
    }();
    const Records boxed = {kSampleTitles, numbers, kSampleRows[0], kSampleRows[1], numbers, kSampleRows[2]};
    Records dbase = {{"FIELD001", "FIELD002", "FIELD003", "FIELD005"}};
    dbase.insert(dbase.end(), kSampleRows.begin(), kSampleRows.end());

    const struct {
        int format;
        int code_table;
        const char* reader_format;
        const char* encoding;  // what the reader is told
        const char* reported;  // what it used
        const Records& expected;
    } cases[] = {
        {kExportPlainText, kExportWindowsCodeTable, "txt", "cp1251", "cp1251", boxed},
        {kExportPlainText, kExportDosCodeTable, "txt", "dos", "dos", boxed},
        {kExportTabSeparated, kExportWindowsCodeTable, "tsv", "cp1251", "cp1251", table},
        {kExportTabSeparated, kExportDosCodeTable, "tsv", "dos", "dos", table},
        {kExportCsv, kExportWindowsCodeTable, "csv", "cp1251", "cp1251", table},
        {kExportCsv, kExportDosCodeTable, "csv", "dos", "dos", table},
        // The language driver byte alone tells dbfread the Windows code page.
        {kExportDbase, kExportWindowsCodeTable, "dbf", "auto", "cp1251", dbase},
        {kExportDbase, kExportDosCodeTable, "dbf", "dos", "dos", dbase},
    };
    for (const auto& c : cases) {
        auto sample = MakeExportSample();
        const std::string path = WriteTempFile(std::to_string(c.format) + "_" + std::to_string(c.code_table),
                                               Export(sample->grid, c.format, c.code_table));
        EXPECT_EQ(ReadBack(c.reader_format, c.encoding, path),
                  EscapedRecords(std::string("encoding:") + c.reported, c.expected))
            << c.reader_format << " " << c.encoding;
        std::remove(path.c_str());
    }
}

TEST(ExportReadBack, CsvFieldsThatNeedQuotesComeBackWhole) {
    // Each row: the cp1251 text given to the grid and the UTF-8 text the reader must return.
    const std::vector<std::pair<std::string, std::string>> cells = {
        {"a;b", u8"a;b"},
        {"\"", u8"\""},
        {"say \"да\"", u8"say \"да\""},
        {"line 1\r\nline 2", u8"line 1\r\nline 2"},
        {"only\rCR", u8"only\rCR"},
        {"only\nLF", u8"only\nLF"},
        {"  spaces kept  ", u8"  spaces kept  "},
        {"", u8""},
        {"\"\";;\"", u8"\"\";;\""},
        {std::string(255, 'x'), std::string(255, 'x')},
    };
    TextGrid table({{"Текст"}, {"Номер"}});
    std::vector<LayoutLine> lines;
    Records expected = {{u8"Текст", u8"Номер"}};
    for (std::size_t i = 0; i < cells.size(); ++i) {
        table.SetRow(static_cast<int>(i), {cells[i].first, std::to_string(i)});
        lines.push_back(RowLine(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(i + 1)));
        expected.push_back({cells[i].second, std::to_string(i)});
    }
    table.SetLines(lines);
    const std::string path = WriteTempFile("quoted.csv", Export(table.grid, kExportCsv, kExportWindowsCodeTable));
    EXPECT_EQ(ReadBack("csv", "cp1251", path), EscapedRecords("encoding:cp1251", expected));
    std::remove(path.c_str());
}

TEST(ExportReadBack, DosCsvIsQuotedOnTheBytesWrittenAndControlBytesNeverSplitARecord) {
    // The DOS table has no typographic quotes: „ “ ” « » are written as '"', so a field that
    // holds them is quoted (or its quotes doubled) as its written bytes need.
    const std::vector<std::pair<std::string, std::string>> cells = {
        {"ЕТ „Иван; син“", u8"ЕТ \"Иван; син\""},
        {"„Бяло“ АД", u8"\"Бяло\" АД"},
        {"«Рила»", u8"\"Рила\""},
        {"ESC\x1B@ FF\x0C TAB\t", u8"ESC @ FF  TAB "},
        {"ред 1\nред 2", u8"ред 1\nред 2"},
    };
    for (const char* format : {"csv", "tsv"}) {
        TextGrid table({{"Фирма"}, {"Номер"}});
        std::vector<LayoutLine> lines;
        Records expected = {{u8"Фирма", u8"Номер"}};
        for (std::size_t i = 0; i < cells.size(); ++i) {
            table.SetRow(static_cast<int>(i), {cells[i].first, std::to_string(i)});
            lines.push_back(RowLine(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(i + 1)));
            // In a tab-separated file the line break of a cell is a blank.
            std::string text = cells[i].second;
            if (format == std::string("tsv")) std::replace(text.begin(), text.end(), '\n', ' ');
            expected.push_back({text, std::to_string(i)});
        }
        table.SetLines(lines);
        const int writer = format == std::string("csv") ? kExportCsv : kExportTabSeparated;
        const std::string path = WriteTempFile(std::string("dos.") + format, Export(table.grid, writer, kExportDosCodeTable));
        EXPECT_EQ(ReadBack(format, "dos", path), EscapedRecords("encoding:dos", expected)) << format;
        std::remove(path.c_str());
    }
}

// --- CSV and tab-separated bytes ---------------------------------------------------------------

TEST(ExportCsv, QuotesOnlyTheFieldsThatNeedIt) {
    const struct {
        std::string cell;
        std::string written;
    } cases[] = {
        {"plain", "plain;"},
        {"", ";"},
        {"with space", "with space;"},
        {"a;b", "\"a;b\";"},
        {"5\" disk", "\"5\"\" disk\";"},
        {"\"\"", "\"\"\"\"\"\";"},
        {"a\r\nb", "\"a\r\nb\";"},
        {"a\nb", "\"a\nb\";"},
        {"a\rb", "\"a\rb\";"},
        {"tab\there", "tab here;"},  // no control byte but CR and LF goes out
        {"esc\x1B@ ff\x0C nul" + std::string(1, '\0'), "esc @ ff  nul ;"},
        {"Град", "Град;"},
    };
    for (const auto& c : cases) {
        TextGrid table({{"T"}});
        table.SetRow(0, {c.cell});
        table.SetLines({RowLine(0, 1)});
        EXPECT_EQ(Text(Export(table.grid, kExportCsv, kExportWindowsCodeTable)), "T;\r\n" + c.written + "\r\n")
            << c.cell;
    }
}

TEST(ExportCsv, TitlesLineOfTwoColumnsAndDosConversion) {
    TextGrid table({{"Име"}, {"Град"}});
    table.SetRow(0, {"Бяло", "a;Я"});
    table.SetLines({RowLine(0, 1)});
    EXPECT_EQ(Text(Export(table.grid, kExportCsv, kExportWindowsCodeTable)), "Име;Град;\r\nБяло;\"a;Я\";\r\n");
    EXPECT_EQ(Text(Export(table.grid, kExportCsv, kExportDosCodeTable)),
              "\x88\xAC\xA5;\x83\xB0\xA0\xA4;\r\n\x81\xBF\xAB\xAE;\"a;\x9F\";\r\n");
}

TEST(ExportTabSeparated, TabsTitlesEmptyLineRows) {
    TextGrid table({{"a"}, {"b", kAlignLeft, false}, {"c"}, {"Дата на раждане"}});
    table.SetRow(0, {"1", "hidden", "x\ty", ""});
    table.SetRow(1, {"2", "", "line\r\nbreak", "z"});
    table.SetLines({KindLine(LineKind::Titles), RowLine(1, 1), KindLine(LineKind::PageBreak), RowLine(0, 2)});
    EXPECT_EQ(Text(Export(table.grid, kExportTabSeparated, kExportWindowsCodeTable)),
              "\t\t\t\r\n"
              "a\tc\tДата на раждане\r\n\r\n"
              "2\tline  break\tz\r\n"  // a cell's TAB or line break would split the record
              "1\tx y\t\r\n");
}

// Sum lines are for reading on paper: the data exports carry the rows alone.
TEST(ExportTabSeparated, SummedTablesExportTheirRowsOnlyAndDbaseFieldsKeepTheirLengths) {
    TextGrid table({{"Име"}, {"Сума", kAlignRight, true, ColumnFlags::Sum}});
    table.SetRow(0, {"Бяло", "1,5"});
    table.SetRow(1, {"Русе", "x"});
    PrintOptions options;
    options.sum_lines = SumPlacement::PageTotals | SumPlacement::BroughtForward;
    table.grid.SetPrintOptions(options);
    table.grid.SetRowCount(2);
    ASSERT_TRUE(IsSumLine(table.grid.Line(table.grid.LineCount() - 1).kind)) << "the layout has its sum lines";
    EXPECT_EQ(Text(Export(table.grid, kExportTabSeparated, kExportWindowsCodeTable)),
              "\t\t\r\nИме\tСума\r\n\r\nБяло\t1,5\r\nРусе\tx\r\n");
    EXPECT_EQ(Text(Export(table.grid, kExportCsv, kExportWindowsCodeTable)), "Име;Сума;\r\nБяло;1,5;\r\nРусе;x;\r\n");
    const Bytes dbase = Export(table.grid, kExportDbase, kExportWindowsCodeTable);
    EXPECT_EQ(ReadUint32(&dbase[4]), 2u) << "two records";
    EXPECT_EQ(dbase[32 + 32 + 16], 4) << "the sum's field is as long as its title, not its total";
    EXPECT_EQ(Text(Bytes(dbase.end() - 18, dbase.end())), " Бяло1,5  Русеx   ");
}

// --- dBase ------------------------------------------------------------------------------------

TEST(ExportDbase, HeaderDescriptorsAndRecordsAtTheirOffsets) {
    TextGrid table({{"Име"}, {"Град"}}, /*row_numbers=*/true);
    table.SetRow(0, {"Иван", "Русе"});
    table.SetRow(1, {"Мария-Магдалена", ""});
    table.SetLines({KindLine(LineKind::Titles), RowLine(0, 1), RowLine(1, 2)});
    table.grid.MutableColumn(1)->character_width_used = 40;  // recomputed before writing
    const Bytes bytes = Export(table.grid, kExportDbase, kExportWindowsCodeTable);

    // No 2 wide (its title), Име 15, Град 4: records of 1 + 21 bytes.
    ASSERT_EQ(bytes.size(), 129u + 2u * 22u);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[1], 124);
    EXPECT_EQ(bytes[2], 3);
    EXPECT_EQ(bytes[3], 9);
    EXPECT_EQ(ReadUint32(&bytes[4]), 2u);
    EXPECT_EQ(ReadUint16(&bytes[8]), 129);
    EXPECT_EQ(ReadUint16(&bytes[10]), 22);
    EXPECT_EQ(bytes[29], 0xC9);
    for (std::size_t i = 12; i < 32; ++i) {
        if (i != 29) {
            EXPECT_EQ(bytes[i], 0) << i;
        }
    }
    const struct {
        const char* name;
        int length;
    } fields[] = {{"FIELD001", 2}, {"FIELD002", 15}, {"FIELD003", 4}};
    for (std::size_t f = 0; f < 3; ++f) {
        const std::uint8_t* descriptor = &bytes[32 + 32 * f];
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(descriptor), 11), std::string(fields[f].name) + '\0' + '\0' + '\0');
        EXPECT_EQ(descriptor[11], 'C');
        EXPECT_EQ(descriptor[16], fields[f].length);
        for (std::size_t i = 12; i < 32; ++i) {
            if (i != 16) {
                EXPECT_EQ(descriptor[i], 0) << fields[f].name << " byte " << i;
            }
        }
        EXPECT_EQ(table.grid.Column(static_cast<int>(f))->character_width_used, fields[f].length);
    }
    EXPECT_EQ(bytes[128], 0x0D);
    EXPECT_EQ(Text(Bytes(bytes.begin() + 129, bytes.end())),
              " 1 Иван           Русе"
              " 2 Мария-Магдалена    ");
}

TEST(ExportDbase, FieldLengthsAndNumbers) {
    // A padded field, a column whose widest text is empty, hidden columns keeping their numbers,
    // and the DOS code table (no language driver).
    TextGrid table({{"Дълго"}, {""}, {"x", kAlignLeft, false}, {"Къс"}});
    table.SetRow(0, {"абвгд", "", "скрито", "Я"});
    table.SetLines({RowLine(0, 1)});
    for (int i = 0; i <= 4; ++i) table.grid.MutableColumn(i)->flags &= ~ColumnFlags::Visible;
    std::uint8_t visible[] = {0, 1, 1, 0, 1};
    table.grid.SetVisibility(visible, 5);
    // Widths come from ComputeCharWidths: 5, 0 (stored back as 1), 3.
    const Bytes bytes = Export(table.grid, kExportDbase, kExportDosCodeTable);
    ASSERT_EQ(bytes.size(), 33u + 3u * 32u + 10u);
    EXPECT_EQ(bytes[29], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[32]), 8), "FIELD002");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[64]), 8), "FIELD003");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[96]), 8), "FIELD005");
    EXPECT_EQ(bytes[32 + 16], 5);
    EXPECT_EQ(bytes[64 + 16], 1);
    EXPECT_EQ(bytes[96 + 16], 3);
    EXPECT_EQ(table.grid.Column(2)->character_width_used, 1);
    EXPECT_EQ(Text(Bytes(bytes.end() - 10, bytes.end())), " \xA0\xA1\xA2\xA3\xA4 \x9F  ");
}

TEST(ExportDbase, ARecordOrHeaderPast65535BytesIsRefusedBeforeAnyByte) {
    const struct {
        int columns;
        int cell_length;
        bool fits;
        int record_length;
    } cases[] = {
        {256, 255, true, 65281},   // 1 + 256 x 255
        {257, 255, false, 0},      // 65536: the 16-bit field would wrap to 0
        {260, 255, false, 0},
        {2046, 1, true, 2047},     // header 33 + 32 x 2046 = 65505
        {2047, 1, false, 0},       // header 65537
    };
    for (const auto& c : cases) {
        TextGrid table(std::vector<TextColumn>(static_cast<std::size_t>(c.columns), TextColumn{"T"}));
        table.SetRow(0, std::vector<std::string>(static_cast<std::size_t>(c.columns), std::string(c.cell_length, 'x')));
        table.SetLines({RowLine(0, 1)});
        EXPECT_EQ(DbaseRecordFits(table.grid), c.fits) << c.columns;
        MemoryByteSink sink;
        const ExportOutcome outcome = ExportDbase(table.grid, &sink, false, kSampleExportDate);
        EXPECT_EQ(outcome.ok, c.fits) << c.columns;
        EXPECT_EQ(outcome.too_wide, !c.fits) << c.columns;
        if (c.fits) {
            ASSERT_GT(sink.Bytes().size(), 12u);
            EXPECT_EQ(ReadUint16(sink.Bytes().data() + 10), c.record_length) << c.columns;
        } else {
            EXPECT_TRUE(sink.Bytes().empty()) << c.columns;
        }
    }
}

TEST(ExportDbase, ControlBytesOfACellAreBlanks) {
    TextGrid table({{"T"}});
    table.SetRow(0, {"a\nb\x1B\x0C"});
    table.SetLines({RowLine(0, 1)});
    const Bytes bytes = Export(table.grid, kExportDbase, kExportWindowsCodeTable);
    EXPECT_EQ(Text(Bytes(bytes.end() - 6, bytes.end())), " a b  ");
}

TEST(ExportDbase, NoVisibleColumnWritesNothing) {
    TextGrid table({{"a", kAlignLeft, false}});
    table.SetRow(0, {"x"});
    table.SetLines({RowLine(0, 1)});
    MemoryByteSink sink;
    const ExportOutcome outcome = ExportDbase(table.grid, &sink, false, kSampleExportDate);
    EXPECT_TRUE(outcome.ok);
    EXPECT_TRUE(sink.Bytes().empty());
}

// --- Failures -----------------------------------------------------------------------------------

// A file that takes `capacity` bytes and then no more (a full disk), written like MemoryByteSink.
class FullDiskSink : public MemoryByteSink {
public:
    explicit FullDiskSink(std::size_t capacity) : capacity_(capacity) {}
    std::size_t Write(const void* bytes, std::size_t count) override {
        const std::size_t room = capacity_ > written_ ? capacity_ - written_ : 0;
        const std::size_t taken = std::min(room, count);
        written_ += taken;
        return MemoryByteSink::Write(bytes, taken);
    }
    bool Seek(std::uint32_t offset) override {
        capacity_ += 4;  // patching the count takes no new room
        return MemoryByteSink::Seek(offset);
    }

private:
    std::size_t capacity_;
    std::size_t written_ = 0;
};

TEST(ExportFailures, AShortWriteEndsTheFileWhereTheLastWholeLineEnded) {
    auto sample = MakeExportSample();
    const Bytes csv = Export(sample->grid, kExportCsv, kExportWindowsCodeTable);
    const Bytes tsv = Export(sample->grid, kExportTabSeparated, kExportWindowsCodeTable);
    const Bytes txt = Export(sample->grid, kExportPlainText, kExportWindowsCodeTable);
    const Bytes dbf = Export(sample->grid, kExportDbase, kExportWindowsCodeTable);
    const std::size_t csv_titles = Text(csv).find("\r\n") + 2;
    const std::size_t csv_row1 = Text(csv).find("\r\n", csv_titles) + 2;
    const std::size_t tsv_tabs = Text(tsv).find("\r\n") + 2;
    const std::size_t tsv_head = Text(tsv).find("\r\n\r\n") + 4;
    const std::size_t tsv_row1 = Text(tsv).find("\r\n", tsv_head) + 2;
    const std::size_t txt_line1 = Text(txt).find("\r\n") + 2;
    const std::size_t dbf_record1 = 161 + 35;

    const struct {
        const char* name;
        int format;
        std::size_t capacity;
        bool ok;
        std::int64_t rows;
        std::size_t kept;  // bytes of the full file the truncated one keeps: its whole lines
    } cases[] = {
        {"csv titles", kExportCsv, csv_titles - 1, false, 0, 0},
        {"csv second row", kExportCsv, csv_row1 + 3, true, 1, csv_row1},
        {"tsv first line", kExportTabSeparated, 2, false, 0, 0},
        {"tsv titles", kExportTabSeparated, tsv_head - 1, false, 0, tsv_tabs},
        {"tsv second row", kExportTabSeparated, tsv_row1, true, 1, tsv_row1},
        {"txt second line", kExportPlainText, txt_line1 + 5, true, 0, txt_line1},
        {"dbf second record", kExportDbase, dbf_record1 + 10, true, 1, dbf_record1},
    };
    for (const auto& c : cases) {
        auto table = MakeExportSample();
        FullDiskSink sink(c.capacity);
        const ExportOutcome outcome = ExportTable(table->grid, &sink, c.format, 0, kSampleExportDate);
        EXPECT_EQ(outcome.ok, c.ok) << c.name;
        EXPECT_TRUE(outcome.write_failed) << c.name;
        EXPECT_EQ(outcome.rows, c.rows) << c.name;
        const Bytes& full = c.format == kExportCsv ? csv : c.format == kExportTabSeparated ? tsv
                            : c.format == kExportPlainText ? txt : dbf;
        Bytes expected(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(c.kept));
        if (c.format == kExportDbase) WriteUint32(&expected[4], 1);  // the records really written
        EXPECT_EQ(Text(sink.Bytes()), Text(expected)) << c.name;
    }
}

// --- Writing in blocks ---------------------------------------------------------------------------

// A file that notes the size of every write it is given.
class WriteLoggingSink : public MemoryByteSink {
public:
    std::size_t Write(const void* bytes, std::size_t count) override {
        writes.push_back(count);
        return MemoryByteSink::Write(bytes, count);
    }
    std::vector<std::size_t> writes;
};

// Rows of about 60 bytes in every format: 12,000 of them fill several blocks.
std::unique_ptr<TextGrid> ManyRows(int rows) {
    auto table = std::make_unique<TextGrid>(std::vector<TextColumn>{{"Име"}, {"Град"}, {"Сума", kAlignRight}},
                                            /*row_numbers=*/true);
    std::vector<LayoutLine> lines = {KindLine(LineKind::Titles)};
    for (int row = 0; row < rows; ++row) {
        table->SetRow(row, {"Иван Петров " + std::to_string(row % 997), row % 3 ? "София" : "Пловдив; център",
                            std::to_string(row * 7 % 100000) + ".50"});
        lines.push_back(RowLine(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(row + 1),
                                LineFlags::RuleBelow));
    }
    table->SetLines(lines);
    return table;
}

// 3000 rows of one column "r<n>", one per line, no page lines.
std::unique_ptr<TextGrid> MakeLongTable() {
    auto table = std::make_unique<TextGrid>(std::vector<TextColumn>{{"Ред"}});
    std::vector<LayoutLine> lines;
    for (int row = 0; row < 3000; ++row) {
        table->SetRow(row, {"r" + std::to_string(row)});
        lines.push_back(RowLine(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(row + 1)));
    }
    table->SetLines(lines);
    return table;
}

TEST(ExportBlocks, LargeTablesGoOutInFewWholeLineWritesOfTheSameBytes) {
    const int formats[] = {kExportPlainText, kExportTabSeparated, kExportCsv, kExportDbase};
    auto table = ManyRows(12000);
    for (int format : formats) {
        WriteLoggingSink sink;
        const ExportOutcome outcome = ExportTable(table->grid, &sink, format, 0, kSampleExportDate);
        EXPECT_TRUE(outcome.ok && !outcome.write_failed) << format;
        // Rows made on other threads, batch by batch, come out the same, as few writes.
        for (int threads : {2, 3}) {
            WriteLoggingSink made_apart;
            const ExportOutcome apart = ExportTable(table->grid, &made_apart, format, 0, kSampleExportDate, nullptr, threads);
            EXPECT_TRUE(apart.ok && !apart.write_failed) << format;
            EXPECT_EQ(apart.rows, 12000) << format;
            EXPECT_TRUE(made_apart.Bytes() == sink.Bytes()) << format << " on " << threads << " threads";
            EXPECT_LT(made_apart.writes.size(), 30u) << format;
        }
        EXPECT_EQ(outcome.rows, 12000) << format;
        const std::string text = Text(sink.Bytes());
        // Far fewer writes than lines: the rows alone are 12,000 lines.
        EXPECT_LT(sink.writes.size(), 30u) << format << ": " << text.size() << " bytes";
        // Every write but the dBase count ends a line (a record of 1 + 5 + 15 + 15 + 8 bytes).
        std::size_t end = 0;
        for (std::size_t i = 0; i + 1 < sink.writes.size(); ++i) {
            end += sink.writes[i];
            if (format == kExportDbase) {
                EXPECT_EQ((end - 161) % 44, 0u) << "write " << i;
            } else {
                EXPECT_EQ(text.substr(end - 2, 2), "\r\n") << format << " write " << i;
            }
        }
        if (format == kExportDbase) {
            EXPECT_EQ(sink.writes.back(), 4u);  // the record count
        }
    }
    // Boxed text made from column reads on other threads, in either code table, is the text
    // made row by row.
    for (int code_table : {kExportWindowsCodeTable, kExportDosCodeTable}) {
        const std::string by_rows = Text(Export(table->grid, kExportPlainText, code_table));
        table->grid.SetCellTextSource(&TextGridCell, nullptr, &TextGridColumn);
        MemoryByteSink sink;
        const ExportOutcome outcome = ExportTable(table->grid, &sink, kExportPlainText, code_table, kSampleExportDate,
                                                  nullptr, 2);
        EXPECT_EQ(outcome.rows, 12000);
        EXPECT_TRUE(Text(sink.Bytes()) == by_rows) << code_table;
        table->grid.SetCellTextSource(&TextGridCell, nullptr);
    }
    const std::string csv = Text(Export(table->grid, kExportCsv, kExportWindowsCodeTable));
    const std::string last_rows = "11999;Иван Петров 34;София;83986.50;\r\n"
                                  "12000;Иван Петров 35;София;83993.50;\r\n";
    ASSERT_GT(csv.size(), last_rows.size());
    EXPECT_EQ(csv.substr(csv.size() - last_rows.size()), last_rows);

    // Then boxed text of tables of other widths one after another, each on fresh threads that all
    // start with rules of the last width: every thread draws its own.
    auto narrower = ManyRows(9000);
    const std::string wide_text = Text(Export(table->grid, kExportPlainText, kExportWindowsCodeTable));
    const std::string narrow_text = Text(Export(narrower->grid, kExportPlainText, kExportWindowsCodeTable));
    const auto first_rule = [](const std::string& text) {
        const std::size_t at = text.find("\r\n+-") + 2;
        return text.substr(at, text.find("\r\n", at) - at);
    };
    ASSERT_EQ(first_rule(wide_text), "+-------+-----------------+-----------------+----------+");
    ASSERT_EQ(first_rule(narrow_text), "+------+-----------------+-----------------+----------+");
    for (int round = 0; round < 12; ++round) {
        for (const auto& [grid, expected] : {std::pair{&table->grid, &wide_text}, {&narrower->grid, &narrow_text}}) {
            MemoryByteSink sink;
            EXPECT_EQ(ExportTable(*grid, &sink, kExportPlainText, 0, kSampleExportDate, nullptr, 2).rows,
                      grid == &table->grid ? 12000 : 9000);
            ASSERT_TRUE(Text(sink.Bytes()) == *expected) << "round " << round;
        }
    }
}

// What a ManyRows export keeps on a disk of `size` bytes: its whole lines (for boxed text,
// the whole text lines of each layout line), and how many of them are rows.
struct KeptPart {
    std::size_t bytes;
    std::int64_t rows;
};

KeptPart KeptWithin(int format, const std::string& text, std::size_t size) {
    if (format == kExportDbase) {
        if (size < 161) return {0, 0};
        const std::int64_t rows = static_cast<std::int64_t>((size - 161) / 44);
        return {161 + static_cast<std::size_t>(rows) * 44, rows};
    }
    std::vector<std::size_t> ends;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos && at + 2 <= size; at = text.find("\r\n", at + 2)) {
        ends.push_back(at + 2);
    }
    const std::int64_t lines = static_cast<std::int64_t>(ends.size());
    // Before the rows: a rule, the titles and a rule, then each row a line and its rule (one
    // layout line); the line of TABs, then the titles and an empty line (one write); the titles.
    if (format == kExportPlainText) {
        if (lines < 3) return {0, 0};
        const std::int64_t rows = (lines - 3) / 2;
        return {ends[static_cast<std::size_t>(2 + 2 * rows)], rows};
    }
    if (format == kExportTabSeparated) {
        if (lines < 3) return {lines > 0 ? ends[0] : 0, 0};
        return {ends.back(), lines - 3};
    }
    if (lines < 1) return {0, 0};
    return {ends.back(), lines - 1};
}

TEST(ExportBlocks, ATableWithoutRowsWritesItsOpeningLinesOnly) {
    TextGrid table({{"Име"}, {"Град"}});
    table.SetLines({});
    EXPECT_EQ(Text(Export(table.grid, kExportCsv, kExportWindowsCodeTable)), "Име;Град;\r\n");
    EXPECT_EQ(Text(Export(table.grid, kExportTabSeparated, kExportWindowsCodeTable)), "\t\t\r\nИме\tГрад\r\n\r\n");
    EXPECT_EQ(Text(Export(table.grid, kExportPlainText, kExportWindowsCodeTable)), "");
    const Bytes dbf = Export(table.grid, kExportDbase, kExportWindowsCodeTable);
    ASSERT_EQ(dbf.size(), 97u);  // 32 + 2 x 32 + 1: no record
    EXPECT_EQ(ReadUint32(&dbf[4]), 0u);
    EXPECT_EQ(dbf[96], 0x0D);
}

TEST(ExportBlocks, AFullDiskAtOrNearABlockBoundaryKeepsWholeLinesAndCountsThem) {
    constexpr std::size_t kBlock = 256 * 1024;
    const int formats[] = {kExportPlainText, kExportTabSeparated, kExportCsv, kExportDbase};
    auto table = ManyRows(12000);
    for (int format : formats) {
        const std::string whole = Text(Export(table->grid, format, kExportWindowsCodeTable));
        ASSERT_GT(whole.size(), kBlock + 10000);
        const std::size_t line_end = whole.find("\r\n", kBlock + 5000) + 2;
        for (const auto& [capacity, threads] : {std::pair{kBlock, 1}, {kBlock + 1, 1}, {line_end - 1, 1},
                                                {whole.size() - 1, 1}, {kBlock, 2}, {line_end - 1, 2},
                                                {whole.size() / 2, 3}, {whole.size() - 1, 2}}) {
            FullDiskSink sink(capacity);
            const ExportOutcome outcome =
                ExportTable(table->grid, &sink, format, 0, kSampleExportDate, nullptr, threads);
            EXPECT_TRUE(outcome.ok) << format << " at " << capacity;
            EXPECT_TRUE(outcome.write_failed) << format << " at " << capacity;
            const KeptPart kept = KeptWithin(format, whole, capacity);
            std::string expected = whole.substr(0, kept.bytes);
            if (format == kExportDbase) {
                WriteUint32(reinterpret_cast<std::uint8_t*>(&expected[4]), static_cast<std::uint32_t>(kept.rows));
            }
            EXPECT_EQ(outcome.rows, kept.rows) << format << " at " << capacity;
            EXPECT_TRUE(Text(sink.Bytes()) == expected)
                << format << " at " << capacity << ": " << sink.Bytes().size() << " bytes, " << expected.size() << " expected";
        }
    }
}

TEST(ExportProgress, EveryWriterIsToldTheRowsAndStopsAtTheBlockWhereItIsAsked) {
    for (int format : {kExportPlainText, kExportTabSeparated, kExportCsv, kExportDbase}) {
        auto table = MakeLongTable();
        StoppingProgress followed;
        MemoryByteSink whole;
        const ExportOutcome all = ExportTable(table->grid, &whole, format, 0, kSampleExportDate, &followed);
        EXPECT_FALSE(all.cancelled) << format;
        EXPECT_EQ(all.rows, 3000) << format;
        const std::vector<std::pair<std::int64_t, std::int64_t>> asked = {{0, 3000}, {1024, 3000}, {2048, 3000}};
        EXPECT_EQ(followed.calls, asked) << format;

        // Stopped at the second block: exactly the first 1024 rows, whole, and no more.
        auto again = MakeLongTable();
        StoppingProgress stopping(2);
        MemoryByteSink part;
        const ExportOutcome cut = ExportTable(again->grid, &part, format, 0, kSampleExportDate, &stopping);
        EXPECT_TRUE(cut.cancelled) << format;
        EXPECT_FALSE(cut.write_failed) << format;
        EXPECT_EQ(cut.rows, 1024) << format;
        const std::string text = Text(part.Bytes());
        EXPECT_NE(text.find("r1023"), std::string::npos) << format;
        EXPECT_EQ(text.find("r1024"), std::string::npos) << format;
        if (format == kExportDbase) {
            EXPECT_EQ(ReadUint32(part.Bytes().data() + 4), 1024u);
        }
    }
}

TEST(ExportProgress, RowsMadeOnOtherThreadsStopBetweenBatchesUnlessAColumnShowsSums) {
    for (int format : {kExportPlainText, kExportTabSeparated, kExportCsv, kExportDbase}) {
        auto table = ManyRows(12000);
        const std::string whole = Text(Export(table->grid, format, kExportWindowsCodeTable));
        // Asked before every batch: from 0 rows on, the rows taken so far, never past them all.
        StoppingProgress followed;
        MemoryByteSink all;
        EXPECT_EQ(ExportTable(table->grid, &all, format, 0, kSampleExportDate, &followed, 2).rows, 12000);
        ASSERT_GE(followed.calls.size(), 2u) << format;
        EXPECT_EQ(followed.calls.front(), (std::pair<std::int64_t, std::int64_t>{0, 12000})) << format;
        for (std::size_t i = 1; i < followed.calls.size(); ++i) {
            EXPECT_GT(followed.calls[i].first, followed.calls[i - 1].first) << format;
            EXPECT_LT(followed.calls[i].first, 12000) << format;
        }
        // Stopped before the second batch: the rows of the first, whole, and the count of them.
        StoppingProgress stopping(2);
        MemoryByteSink part;
        const ExportOutcome cut = ExportTable(table->grid, &part, format, 0, kSampleExportDate, &stopping, 2);
        EXPECT_TRUE(cut.cancelled && !cut.write_failed) << format;
        EXPECT_EQ(cut.rows, followed.calls[1].first) << format;
        const KeptPart kept = KeptWithin(format, whole, part.Bytes().size());
        EXPECT_EQ(kept.bytes, part.Bytes().size()) << format;
        EXPECT_EQ(kept.rows, cut.rows) << format;
        std::string expected = whole.substr(0, kept.bytes);
        if (format == kExportDbase) {
            WriteUint32(reinterpret_cast<std::uint8_t*>(&expected[4]), static_cast<std::uint32_t>(kept.rows));
        }
        EXPECT_TRUE(Text(part.Bytes()) == expected) << format;

        // A column that shows sums keeps the rows on the calling thread: asked every 1024 rows.
        EXPECT_TRUE(ExportRowsMadeApart(table->grid, 2));
        EXPECT_FALSE(ExportRowsMadeApart(table->grid, 1));
        table->grid.MutableColumn(3)->flags |= ColumnFlags::Sum;
        EXPECT_FALSE(ExportRowsMadeApart(table->grid, 2));
        StoppingProgress in_order;
        MemoryByteSink summed;
        EXPECT_EQ(ExportTable(table->grid, &summed, format, 0, kSampleExportDate, &in_order, 2).rows, 12000);
        ASSERT_EQ(in_order.calls.size(), 12u) << format;
        EXPECT_EQ(in_order.calls[11].first, 11 * 1024) << format;
        // A hidden column's sums are not shown.
        table->grid.MutableColumn(3)->flags &= ~ColumnFlags::Visible;
        EXPECT_TRUE(ExportRowsMadeApart(table->grid, 2));
    }
}

// The sample cells, except that fetching row 7000 runs out of memory.
int CellsUntilRow7000(void* context, int row_key, int column_identifier, char* buffer, int buffer_size) {
    if (row_key == 7000) throw std::bad_alloc();
    return TextGridCell(context, row_key, column_identifier, buffer, buffer_size);
}

TEST(ExportBlocks, MemoryRunningOutOnAnotherThreadEndsTheExportAfterTheRowsBefore) {
    // (Boxed text and dBase read every cell for their widths first, on the calling thread.)
    for (int format : {kExportTabSeparated, kExportCsv}) {
        auto table = ManyRows(12000);
        const std::string whole = Text(Export(table->grid, format, kExportWindowsCodeTable));
        table->grid.SetCellTextSource(&CellsUntilRow7000, nullptr);
        MemoryByteSink part;
        const ExportOutcome cut = ExportTable(table->grid, &part, format, 0, kSampleExportDate, nullptr, 2);
        EXPECT_TRUE(cut.write_failed) << format;
        EXPECT_EQ(cut.rows, 7000) << format;
        const KeptPart kept = KeptWithin(format, whole, part.Bytes().size());
        EXPECT_EQ(kept.rows, 7000) << format;
        EXPECT_EQ(kept.bytes, part.Bytes().size()) << format;
        std::string expected = whole.substr(0, kept.bytes);
        EXPECT_TRUE(Text(part.Bytes()) == expected) << format;
    }
}

TEST(ExportBlocks, ALineLongerThanABlockIsWrittenWholeOrNotAtAll) {
    // 1,100 columns of 255 bytes: every boxed line is 1 + 1,100 x 258 + 2 = 283,803 bytes.
    constexpr std::size_t kLine = 283803;
    std::vector<TextColumn> columns(1100, TextColumn{"T"});
    TextGrid table(columns);
    table.SetRow(0, std::vector<std::string>(1100, std::string(255, 'x')));
    table.SetLines({KindLine(LineKind::Titles), RowLine(0, 1, LineFlags::RuleBelow)});
    WriteLoggingSink sink;
    const ExportOutcome outcome = ExportPlainText(table.grid, &sink, false);
    EXPECT_TRUE(outcome.ok && !outcome.write_failed);
    EXPECT_EQ(outcome.rows, 1);
    ASSERT_EQ(sink.Bytes().size(), 5 * kLine);
    // Each write is made of whole lines: the block grows for a line rather than cut it.
    for (std::size_t size : sink.writes) EXPECT_EQ(size % kLine, 0u) << size;
    const std::string text = Text(sink.Bytes());
    EXPECT_EQ(text.substr(3 * kLine, 8), "| xxxxxx");
    EXPECT_EQ(text.substr(4 * kLine - 8, 8), "xxxx |\r\n");

    // The titles are three lines of one layout line, the row two: a disk that fills inside
    // one keeps the layout lines before it.
    const struct {
        std::size_t capacity;
        std::size_t kept;
    } cases[] = {{kLine - 1, 0}, {kLine + 1000, 0}, {3 * kLine, 3 * kLine}, {5 * kLine - 1, 3 * kLine}};
    for (const auto& c : cases) {
        FullDiskSink full(c.capacity);
        const ExportOutcome cut = ExportPlainText(table.grid, &full, false);
        EXPECT_TRUE(cut.write_failed) << c.capacity;
        EXPECT_EQ(cut.rows, 0) << c.capacity;
        EXPECT_TRUE(Text(full.Bytes()) == text.substr(0, c.kept)) << c.capacity << ": " << full.Bytes().size();
    }
}

TEST(ExportFailures, NoFileNoExport) {
    for (int format = 0; format < 5; ++format) {
        auto table = MakeExportSample();
        const ExportOutcome outcome = ExportTable(table->grid, nullptr, format, 0, kSampleExportDate);
        EXPECT_FALSE(outcome.ok) << format;
    }
}

TEST(ExportTable, UnknownFormatsArePlainTextAndEveryNonZeroCodeTableIsDos) {
    auto table = MakeExportSample();
    const Bytes plain_dos = ReadFileBytes(GoldenPath("sample-dos.txt"));
    EXPECT_EQ(Text(Export(table->grid, 9, 7)), Text(plain_dos));
    EXPECT_EQ(Text(Export(table->grid, -1, -1)), Text(plain_dos));
}

}  // namespace
