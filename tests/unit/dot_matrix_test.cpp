// Tests of dot-matrix output in memory: control sequences, DOS Cyrillic, pages, the print run.
#include "print/dot_matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <string>
#include <vector>

#include "print/dos_cyrillic.h"
#include "stopping_progress.h"
#include "text_page_sample.h"

namespace {

// Keeps every write as its own chunk; from write number `fail_from` on (1-based), writes only
// `short_by` fewer bytes than asked (all of them when short_by is large).
class RecordingPort : public ByteSink {
public:
    std::size_t Write(const void* bytes, std::size_t count) override {
        ++writes;
        std::size_t taken = count;
        if (fail_from > 0 && writes >= fail_from) taken = count > short_by ? count - short_by : 0;
        chunks.emplace_back(static_cast<const char*>(bytes), taken);
        return taken;
    }
    bool Seek(std::uint32_t) override { return false; }

    std::string All() const {
        std::string all;
        for (const std::string& chunk : chunks) all += chunk;
        return all;
    }

    int writes = 0;
    int fail_from = 0;
    std::size_t short_by = static_cast<std::size_t>(-1);
    std::vector<std::string> chunks;
};

std::string Dos(std::string text) {
    ToDosCyrillic(text.data(), text.size());
    return text;
}

// The printers' sequences as their manuals list them: model, mode, begin, end.
struct SequenceCase {
    int model;
    int mode;
    std::string begin;
    std::string end;
};
const std::vector<SequenceCase> kListedSequences = {
    {1, 1, "\x12", ""},
    {1, 2, "\x1B\x3A", "\x12"},
    {1, 3, "\x0F", "\x12"},
    {2, 1, std::string("\x1B\x49\x00\x12", 4), ""},
    {2, 2, std::string("\x1B\x49\x00\x1B\x3A", 5), "\x12"},
    {2, 3, std::string("\x1B\x49\x00\x0F", 4), "\x12"},
    {2, 4, "\x1B\x49\x02\x12", std::string("\x1B\x49\x00", 3)},
    {2, 5, "\x1B\x49\x02\x1B\x3A", std::string("\x1B\x49\x00\x12", 4)},
    {3, 1, "\x1B\x50\x12", ""},
    {3, 2, "\x1B\x4D\x12", "\x1B\x50"},
    {3, 3, "\x1B\x50\x0F", "\x12"},
};

SequenceCase ExpectedSequences(int model, int mode) {
    for (const SequenceCase& c : kListedSequences) {
        if (c.model == model && c.mode == mode) return c;
    }
    return {model, mode, "", ""};
}

PrintSettings LptSettings(int model, int mode, int top_margin = 2, int left_margin = 3) {
    PrintSettings settings = DotMatrixPrintSettings();
    settings.dot_matrix_model = model;
    settings.dot_matrix_mode = mode;
    settings.top_margin = top_margin;
    settings.left_margin = left_margin;
    settings.bottom_margin = 5;  // never filled
    return settings;
}

// What one page of the sample sends: the margin, begin, the converted lines, end.
std::string ExpectedPage(int page, int model, int mode, int top_margin = 2) {
    std::string bytes;
    for (int i = 0; i < top_margin; ++i) bytes += "\r\n";
    bytes += ExpectedSequences(model, mode).begin;
    const auto pages = ThreePageTableText();
    for (const std::string& line : pages[static_cast<std::size_t>(page)]) bytes += Dos(line);
    return bytes + ExpectedSequences(model, mode).end;
}

TEST(DotMatrixDosCyrillic, LowersTheAlphabetAndLeavesEverythingElse) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"Бяло", "\x81\xBF\xAB\xAE"},
        {"АЯая", "\x80\x9F\xA0\xBF"},
        {"абвгдежзийклмнопрстуфхцчшщъьюя", "\xA0\xA1\xA2\xA3\xA4\xA5\xA6\xA7\xA8\xA9\xAA\xAB\xAC\xAD\xAE\xAF"
                                           "\xB0\xB1\xB2\xB3\xB4\xB5\xB6\xB7\xB8\xB9\xBA\xBC\xBE\xBF"},
        {"a;\t\r\n|+-09\x7F", "a;\t\r\n|+-09\x7F"},
        // "№", quotes and dashes, Ё, the no-break space: DOS characters or ASCII look-alikes.
        {"\xB9 \xAB\x84x\x93\xBB \x96\x97 \xA8\xB8 \xA0", "\xD5 \"\"x\"\" -- Ee \xFF"},
        {std::string("x\0y", 3), std::string("x\0y", 3)},
    };
    for (const auto& c : cases) {
        std::string bytes = c.in;
        ToDosCyrillic(bytes.data(), bytes.size());
        EXPECT_EQ(bytes, c.out) << c.in;
    }
    ToDosCyrillic(static_cast<char*>(nullptr), 5);  // nothing to convert, nothing touched
}

TEST(DotMatrixControlSequence, TheTableOfEveryModelAndMode) {
    for (int model = -1; model <= 6; ++model) {
        for (int mode = -1; mode <= 7; ++mode) {
            const SequenceCase expected = ExpectedSequences(model, mode);
            for (bool begin : {true, false}) {
                RecordingPort port;
                SendControlSequence(port, model, mode, begin);
                const std::string& bytes = begin ? expected.begin : expected.end;
                EXPECT_EQ(port.All(), bytes) << "model " << model << " mode " << mode << " begin " << begin;
                // One byte per write.
                EXPECT_EQ(port.chunks.size(), bytes.size());
                const std::uint8_t* counted = ControlSequence(model, mode, begin);
                ASSERT_NE(counted, nullptr);
                EXPECT_EQ(std::string(reinterpret_cast<const char*>(counted + 1), counted[0]), bytes);
            }
        }
    }
}

TEST(DotMatrixWriteTextPage, MarginBeginLinesEnd) {
    const struct {
        int model;
        int mode;
        int top_margin;
    } cases[] = {{3, 2, 2}, {0, 0, 2}, {2, 5, 0}, {1, 1, 1}, {3, 4, 3}};
    for (const auto& c : cases) {
        for (int page = 0; page < 3; ++page) {
            auto table = MakeThreePageTable();
            RecordingPort port;
            EXPECT_TRUE(WriteTextPage(table->grid, &port, page, true, LptSettings(c.model, c.mode, c.top_margin)));
            EXPECT_EQ(port.All(), ExpectedPage(page, c.model, c.mode, c.top_margin))
                << "model " << c.model << " mode " << c.mode << " page " << page;
        }
    }
}

TEST(DotMatrixWriteTextPage, EachLayoutLineIsOneWriteAndCyrillicGoesOutConverted) {
    auto table = MakeThreePageTable();
    RecordingPort port;
    ASSERT_TRUE(WriteTextPage(table->grid, &port, 0, true, LptSettings(3, 2, 1)));
    // "\r\n", three begin bytes, five lines, two end bytes.
    ASSERT_EQ(port.chunks.size(), 1u + 3u + 5u + 2u);
    EXPECT_EQ(port.chunks[4], "     \x83\xB0\xA0\xA4\xAE\xA2\xA5\r\n");  // "Градове"
    EXPECT_NE(port.chunks[8].find("\x81\xBF\xAB\xAE"), std::string::npos);   // "Бяло"
}

TEST(DotMatrixWriteTextPage, WithoutConversionTheTextStaysInCodePage1251) {
    auto table = MakeThreePageTable();
    RecordingPort port;
    ASSERT_TRUE(WriteTextPage(table->grid, &port, 1, false, LptSettings(0, 0, 0)));
    std::string expected;
    const auto pages = ThreePageTableText();
    for (const std::string& line : pages[1]) expected += line;
    EXPECT_EQ(port.All(), expected);
}

TEST(DotMatrixWriteTextPage, APageThatDoesNotExistSendsNothing) {
    for (int page : {-1, 3, 100}) {
        auto table = MakeThreePageTable();
        RecordingPort port;
        EXPECT_FALSE(WriteTextPage(table->grid, &port, page, true, LptSettings(3, 2)));
        EXPECT_TRUE(port.chunks.empty()) << "page " << page;
    }
    TextGrid empty({{"a"}});
    empty.SetLines({});
    RecordingPort port;
    EXPECT_FALSE(WriteTextPage(empty.grid, &port, 0, true, LptSettings(3, 2)));
    EXPECT_TRUE(port.chunks.empty());
    auto table = MakeThreePageTable();
    EXPECT_FALSE(WriteTextPage(table->grid, nullptr, 0, true, LptSettings(3, 2)));
}

TEST(DotMatrixWriteTextPage, AFailedWriteEndsTheLinesButTheEndSequenceIsSent) {
    const struct {
        std::size_t short_by;
        const char* name;
    } cases[] = {{static_cast<std::size_t>(-1), "failed"}, {1, "short"}};
    for (const auto& c : cases) {
        auto table = MakeThreePageTable();
        RecordingPort port;
        port.fail_from = 1 + 3 + 2;  // the margin, the begin sequence, one line, then the failure
        port.short_by = c.short_by;
        EXPECT_TRUE(WriteTextPage(table->grid, &port, 0, true, LptSettings(3, 2, 1)));
        // The failing line was the last line tried; the end sequence followed (it fails too).
        ASSERT_EQ(port.writes, 1 + 3 + 2 + 2) << c.name;
        EXPECT_EQ(port.chunks[5].size(), c.short_by == 1 ? Dos(ThreePageTableText()[0][1]).size() - 1 : 0u);
    }
}

std::string CrLf(int count) {
    std::string lines;
    for (int i = 0; i < count; ++i) lines += "\r\n";
    return lines;
}

TEST(DotMatrixWriteTextPage, ContinuousPaperFillsEachPageToThePapersLength) {
    const struct {
        const char* name;
        int page;
        int feed;
        int height;
        int fill;  // CR LF pairs after the end sequence
    } cases[] = {
        {"page 1: 2 margin + 10 text lines on 60", 0, 1, 60, 48},
        {"page 2: 2 + 7", 1, 1, 60, 51},
        {"page 3: 2 + 9", 2, 1, 60, 49},
        {"longer paper", 0, 1, 72, 60},
        {"a page longer than the paper gets nothing", 0, 1, 5, 0},
        {"single sheets are not filled", 0, 0, 60, 0},
        {"no length beyond the longest page", 0, 1, INT32_MAX, 999 - 12},
    };
    for (const auto& c : cases) {
        auto table = MakeThreePageTable();
        RecordingPort port;
        PrintSettings settings = LptSettings(3, 2);
        settings.paper_feed = c.feed;
        settings.paper_height = c.height;
        EXPECT_TRUE(WriteTextPage(table->grid, &port, c.page, true, settings));
        EXPECT_EQ(port.All(), ExpectedPage(c.page, 3, 2) + CrLf(c.fill)) << c.name;
    }
}

TEST(DotMatrixWriteTextPage, MarginsOfAnySizeGiveABoundedPage) {
    const struct {
        int top;
        int left;
        std::size_t top_lines;  // CR LF pairs before the page's first line
        std::size_t indent;     // of the column numbers' rule
        long lines;             // filled to 999 lines unless longer already
    } cases[] = {
        {INT32_MAX, INT32_MAX, 999, 999, 1006},
        {2147483, 21474836, 999, 999, 1006},
        {-3, -5, 0, 0, 999},
        {INT32_MIN, INT32_MIN, 0, 0, 999},
    };
    for (const auto& c : cases) {
        auto table = MakeThreePageTable();
        RecordingPort port;
        PrintSettings settings = LptSettings(0, 0, c.top, c.left);
        settings.paper_feed = 1;
        settings.paper_height = INT32_MAX;
        EXPECT_TRUE(WriteTextPage(table->grid, &port, 1, true, settings));
        const std::string page = port.All();
        EXPECT_EQ(page.find_first_not_of("\r\n"), c.top_lines * 2) << c.top;
        EXPECT_NE(page.find("\n" + std::string(c.indent, ' ') + "+----+"), std::string::npos) << c.left;
        EXPECT_EQ(std::count(page.begin(), page.end(), '\n'), c.lines) << c.top;
    }
}

TEST(DotMatrixWriteTextPage, NoByteOfACellReachesThePrinterAsACommand) {
    TextGrid table({{"Текст"}});
    table.SetRow(0, {"\x1B" "E bold\x0C\x0E\x12\x0F" "end\n"});
    table.SetLines({RowLine(0, 1)});
    RecordingPort port;
    EXPECT_TRUE(WriteTextPage(table.grid, &port, 0, true, LptSettings(0, 0, 0, 0)));
    EXPECT_EQ(port.All(), "|  E bold    end  |\r\n");
}

TEST(DotMatrixTextFitsPaper, TheLeftMarginAndTheTableWithinTheCharactersLessTheRightMargin) {
    const struct {
        int width;
        int left;
        int right;
        bool fits;
    } cases[] = {
        {80, 3, 0, true},   {26, 2, 0, true},   {26, 3, 0, false}, {30, 3, 4, false},
        {31, 3, 4, true},   {96, INT32_MAX, 0, false},            {24, -5, 0, true},
        {24, 0, INT32_MIN, true}, {INT32_MIN, 0, 0, false},        {INT32_MAX, 0, INT32_MAX, false},
    };
    for (const auto& c : cases) {
        auto table = MakeThreePageTable();  // 24 characters wide
        PrintSettings settings = LptSettings(0, 0, 0, c.left);
        settings.paper_width = c.width;
        settings.right_margin = c.right;
        EXPECT_EQ(TextFitsPaper(table->grid, settings), c.fits) << c.width << " " << c.left << " " << c.right;
    }
}

// The sums go to LPT1 whole: the summed column is as wide as its longest sum, on the page and
// in the question whether the table fits the paper.
TEST(DotMatrixWriteTextPage, SumLinesGoOutWithTheirColumnWidenedToTheTotal) {
    TextGrid table({{"Град"}, {"Сума", kAlignRight, true, ColumnFlags::Sum}});
    table.SetRow(0, {"Русе", "999"});
    table.SetRow(1, {"Бяло", "9 999"});
    table.grid.SetRowCount(2);
    RecordingPort port;
    ASSERT_TRUE(WriteTextPage(table.grid, &port, 0, false, LptSettings(0, 0, 0, 0)));
    EXPECT_EQ(port.All(),
              "+------+--------+\r\n"
              "| Град |  Сума  |\r\n"
              "+------+--------+\r\n"
              "|  1   |   2    |\r\n"
              "+------+--------+\r\n"
              "| Русе |    999 |\r\n"
              "+------+--------+\r\n"
              "| Бяло |  9 999 |\r\n"
              "+------+--------+\r\n"
              "| Общо | 10 998 |\r\n"
              "+------+--------+\r\n");
    PrintSettings settings = LptSettings(0, 0, 0, 0);
    settings.paper_width = 17;
    EXPECT_TRUE(TextFitsPaper(table.grid, settings));
    settings.paper_width = 16;
    EXPECT_FALSE(TextFitsPaper(table.grid, settings)) << "the widened column counts";
}

TEST(DotMatrixFindPageLines, PagesAreSeparatedByPageBreaks) {
    auto table = MakeThreePageTable();
    EXPECT_EQ(CountLayoutPages(table->grid), 3);
    const struct {
        int page;
        bool found;
        int first;
        int end;
    } cases[] = {{0, true, 0, 5}, {1, true, 6, 10}, {2, true, 11, 17}, {3, false, 0, 0}, {-1, false, 0, 0}};
    for (const auto& c : cases) {
        int first = -5;
        int end = -5;
        EXPECT_EQ(FindPageLines(table->grid, c.page, first, end), c.found) << c.page;
        if (c.found) {
            EXPECT_EQ(first, c.first) << c.page;
            EXPECT_EQ(end, c.end) << c.page;
        }
    }
    TextGrid empty({{"a"}});
    EXPECT_EQ(CountLayoutPages(empty.grid), 0);
}

// Answers the sheet prompts from a script: true for OK.
class ScriptedPrompt : public SheetPrompt {
public:
    explicit ScriptedPrompt(std::vector<bool> answers) : answers_(std::move(answers)) {}
    bool AskForNewSheet() override {
        const bool answer = asked < answers_.size() ? answers_[asked] : true;
        ++asked;
        return answer;
    }
    std::size_t asked = 0;

private:
    std::vector<bool> answers_;
};

TEST(DotMatrixPrintTextPages, PromptsBeforeEveryChosenPage) {
    const struct {
        const char* name;
        TextPageChoice choice;
        std::vector<bool> answers;
        std::size_t prompts;
        std::vector<int> pages;  // 1-based pages expected on the port
        bool cancelled;
    } cases[] = {
        {"all three", {1, 3, 0}, {}, 3, {1, 2, 3}, false},
        {"even pages of 1 to 3: one prompt, page 2", {1, 3, 2}, {}, 1, {2}, false},
        {"odd pages", {1, 3, 1}, {}, 2, {1, 3}, false},
        {"cancel at the second prompt stops", {1, 3, 0}, {true, false}, 2, {1}, true},
        {"cancel at the first prompt sends nothing", {1, 3, 0}, {false}, 1, {}, true},
        {"pages without a page are not asked for", {0, 4, 0}, {}, 3, {1, 2, 3}, false},
        {"odd pages past the end: only the real ones", {3, 9, 1}, {}, 1, {3}, false},
        {"from after to: nothing at all", {3, 2, 0}, {}, 0, {}, false},
        {"the widest range there is: the three pages", {INT32_MIN, INT32_MAX, 0}, {}, 3, {1, 2, 3}, false},
    };
    // Pages made on other threads are asked for and sent just as those made one by one, and
    // so are rows made from a source that reads a column at a time.
    for (const int threads : {1, 3, -3}) {
        for (const auto& c : cases) {
            auto table = MakeThreePageTable();
            if (threads < 0) table->grid.SetCellTextSource(&TextGridCell, nullptr, &TextGridColumn);
            RecordingPort port;
            ScriptedPrompt prompt(c.answers);
            const TextPrintRun run =
                PrintTextPages(table->grid, port, c.choice, LptSettings(3, 2), prompt, nullptr, std::abs(threads));
            std::string expected;
            for (int page : c.pages) expected += ExpectedPage(page - 1, 3, 2);
            EXPECT_EQ(port.All(), expected) << c.name << ", threads " << threads;
            EXPECT_EQ(prompt.asked, c.prompts) << c.name << ", threads " << threads;
            EXPECT_EQ(run.prompts, static_cast<int>(c.prompts)) << c.name << ", threads " << threads;
            EXPECT_EQ(run.pages_sent, static_cast<int>(c.pages.size())) << c.name << ", threads " << threads;
            EXPECT_EQ(run.cancelled, c.cancelled) << c.name << ", threads " << threads;
        }
    }
}

TEST(DotMatrixPrintTextPages, AProgressIsToldThePagesSentAndMayStopBeforeTheNext) {
    const struct {
        const char* name;
        TextPageChoice choice;
        int stop_at_call;
        std::vector<int> pages;
        std::vector<std::pair<std::int64_t, std::int64_t>> calls;
        bool cancelled;
    } cases[] = {
        {"told between pages, never after the last", {1, 3, 0}, 0, {1, 2, 3}, {{1, 3}, {2, 3}}, false},
        {"stop after the first page", {1, 3, 0}, 1, {1}, {{1, 3}}, true},
        {"stop before the last page", {1, 3, 0}, 2, {1, 2}, {{1, 3}, {2, 3}}, true},
        {"the odd pages count two", {1, 3, 1}, 0, {1, 3}, {{1, 2}}, false},
        {"one page: nothing to tell", {2, 2, 0}, 1, {2}, {}, false},
    };
    for (const int threads : {1, 2}) {
        for (const auto& c : cases) {
            auto table = MakeThreePageTable();
            RecordingPort port;
            ScriptedPrompt prompt({});
            StoppingProgress progress(c.stop_at_call);
            const TextPrintRun run =
                PrintTextPages(table->grid, port, c.choice, LptSettings(3, 2), prompt, &progress, threads);
            std::string expected;
            for (int page : c.pages) expected += ExpectedPage(page - 1, 3, 2);
            EXPECT_EQ(port.All(), expected) << c.name << ", threads " << threads;
            EXPECT_EQ(progress.calls, c.calls) << c.name << ", threads " << threads;
            EXPECT_EQ(run.cancelled, c.cancelled) << c.name << ", threads " << threads;
            EXPECT_EQ(prompt.asked, c.pages.size()) << c.name << ", threads " << threads;
        }
    }
}

TEST(DotMatrixPrintTextPages, AHugeLastPageStopsAtTheLastRealPage) {
    // Counting on to page 2147483647 took 20 s here; walking three pages takes no time at all.
    auto table = MakeThreePageTable();
    RecordingPort port;
    ScriptedPrompt prompt({});
    const auto start = std::chrono::steady_clock::now();
    PrintTextPages(table->grid, port, {2, INT32_MAX, 0}, LptSettings(3, 2), prompt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(prompt.asked, 2u);
}

TEST(DotMatrixPrintTextPages, AlwaysConvertsWhateverTheDosFlagSays) {
    auto table = MakeThreePageTable();
    RecordingPort port;
    ScriptedPrompt prompt({});
    PrintSettings settings = LptSettings(0, 0, 0);
    settings.flags &= ~kDosCyrillicFlag;
    settings.paper_feed = 1;
    PrintTextPages(table->grid, port, {1, 1, 0}, settings, prompt);
    EXPECT_EQ(prompt.asked, 1u);
    EXPECT_EQ(port.All(), ExpectedPage(0, 0, 0, 0) + CrLf(50));  // continuous paper: 10 lines + 50
}

int g_cell_fetches = 0;
int CountedCell(void*, int row_key, int column_identifier, char* buffer, int buffer_size) {
    ++g_cell_fetches;
    return TextGridCell(nullptr, row_key, column_identifier, buffer, buffer_size);
}

TEST(DotMatrixPrintTextPages, ARunReadsTheTableForItsWidthsOnceNotOncePerPage) {
    auto table = MakeThreePageTable();
    table->grid.SetCellTextSource(&CountedCell, nullptr);
    RecordingPort port;
    ScriptedPrompt prompt({});
    g_cell_fetches = 0;
    PrintTextPages(table->grid, port, {1, 3, 0}, LptSettings(3, 2), prompt);
    // 4 rows of 2 cells: 8 for the widths, 8 to print them (page by page it was 32).
    EXPECT_EQ(g_cell_fetches, 16);
    EXPECT_EQ(port.All(), ExpectedPage(0, 3, 2) + ExpectedPage(1, 3, 2) + ExpectedPage(2, 3, 2));
}

}  // namespace
