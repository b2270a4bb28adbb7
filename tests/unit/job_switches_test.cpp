// The sort and filter switch values and the Windows command line split.
#include "formats/job_switches.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;

struct SortCase {
    Args args;
    bool ok;
    std::size_t taken;  // values consumed
    int position;
    const char* title;
    int direction;
    int type;
};

class SortValues : public testing::TestWithParam<SortCase> {};

TEST_P(SortValues, ReadAsTheGrammarSays) {
    const SortCase& c = GetParam();
    std::size_t next = 0;
    SortSwitch sort;
    std::string error;
    ASSERT_EQ(ParseSortValues(c.args, next, "/sort", sort, error), c.ok) << error;
    if (!c.ok) {
        EXPECT_EQ(error.rfind("/sort ", 0), 0u) << error;
        return;
    }
    EXPECT_EQ(next, c.taken);
    EXPECT_EQ(sort.column.position, c.position);
    EXPECT_EQ(sort.column.title, c.title);
    EXPECT_EQ(sort.direction, c.direction);
    EXPECT_EQ(sort.data_type, c.type);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SortValues,
    testing::Values(SortCase{{"2"}, true, 1, 2, "", 1, 0},
                    SortCase{{"2", "desc", "number", "/print"}, true, 3, 2, "", 2, 1},
                    SortCase{{"Град", "AMOUNT", "Desc"}, true, 3, 0, "Град", 2, 3},
                    SortCase{{"=2024", "alpha"}, true, 2, 0, "2024", 1, 2},
                    SortCase{{"Дата", "date", "C:\\t.rdf"}, true, 2, 0, "Дата", 1, 4},
                    // A title that looks like a keyword is still the column: it comes first.
                    SortCase{{"desc", "desc"}, true, 2, 0, "desc", 2, 0},
                    SortCase{{}, false, 0, 0, "", 0, 0},
                    SortCase{{""}, false, 0, 0, "", 0, 0},
                    SortCase{{"0"}, false, 0, 0, "", 0, 0},
                    SortCase{{"="}, false, 0, 0, "", 0, 0},
                    SortCase{{"99999999999"}, false, 0, 0, "", 0, 0},
                    SortCase{{"1", "asc", "desc"}, false, 0, 0, "", 0, 0},
                    SortCase{{"1", "text", "number"}, false, 0, 0, "", 0, 0}));

struct FilterCase {
    Args args;
    bool ok;
    std::size_t taken;
    std::string from;
    std::string to;
    int type;
};

class FilterValues : public testing::TestWithParam<FilterCase> {};

TEST_P(FilterValues, ReadAsTheGrammarSays) {
    const FilterCase& c = GetParam();
    std::size_t next = 0;
    FilterSwitch filter;
    std::string error;
    ASSERT_EQ(ParseFilterValues(c.args, next, "--filter", filter, error), c.ok) << error;
    if (!c.ok) {
        EXPECT_EQ(error.rfind("--filter ", 0), 0u) << error;
        return;
    }
    EXPECT_EQ(next, c.taken);
    EXPECT_EQ(filter.from, c.from);
    EXPECT_EQ(filter.to, c.to);
    EXPECT_EQ(filter.data_type, c.type);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FilterValues,
    testing::Values(FilterCase{{"3", "1 000,50", "", "amount"}, true, 4, "1 000,50", "", 3},
                    FilterCase{{"3", "", "31.12.2026", "/print"}, true, 3, "", "31.12.2026", 0},
                    // Bounds are taken as they stand, even when they look like switches.
                    FilterCase{{"Град", "/a", "--b", "number"}, true, 4, "/a", "--b", 1},
                    FilterCase{{"1", std::string(127, 'x'), "y"}, true, 3, std::string(127, 'x'), "y", 0},
                    FilterCase{{"1", std::string(128, 'x'), "y"}, false, 0, "", "", 0},
                    FilterCase{{"1", "a"}, false, 0, "", "", 0},
                    FilterCase{{}, false, 0, "", "", 0}));

std::vector<OfferedColumn> Offered() {
    return {{1, "Име"}, {3, "Град"}, {4, "2024"}, {6, "Град"}};
}

TEST(SwitchColumns, PositionsCountInTheDialogsListAndTitlesMatchExactly) {
    std::string error;
    SortRequest sort;
    std::size_t next = 0;
    SortSwitch parsed;
    ASSERT_TRUE(ParseSortValues({"2", "desc"}, next, "/sort", parsed, error));
    ASSERT_TRUE(ResolveSortSwitch(parsed, Offered(), "/sort", sort, error));
    EXPECT_EQ(sort.column, 3);
    EXPECT_EQ(sort.direction, 2);

    next = 0;
    ASSERT_TRUE(ParseSortValues({"=2024"}, next, "/sort", parsed, error));
    ASSERT_TRUE(ResolveSortSwitch(parsed, Offered(), "/sort", sort, error));
    EXPECT_EQ(sort.column, 4);

    next = 0;
    ASSERT_TRUE(ParseSortValues({"5"}, next, "/sort", parsed, error));
    EXPECT_FALSE(ResolveSortSwitch(parsed, Offered(), "/sort", sort, error));
    EXPECT_EQ(error, "/sort column 5: the table offers 4 columns for it");

    FilterSwitch filter;
    FilterRequest request{};
    next = 0;
    ASSERT_TRUE(ParseFilterValues({"Град", "", "Я"}, next, "/filter", filter, error));
    EXPECT_FALSE(ResolveFilterSwitch(filter, Offered(), "/filter", request, error));
    EXPECT_EQ(error, "/filter finds several columns titled \"Град\"; name it by its position");

    next = 0;
    ASSERT_TRUE(ParseFilterValues({"име", "", "Я"}, next, "/filter", filter, error));
    EXPECT_FALSE(ResolveFilterSwitch(filter, Offered(), "/filter", request, error));
    EXPECT_EQ(error, "/filter finds no visible column titled \"име\"");

    next = 0;
    ASSERT_TRUE(ParseFilterValues({"Име", "Б", "Д", "number"}, next, "/filter", filter, error));
    ASSERT_TRUE(ResolveFilterSwitch(filter, Offered(), "/filter", request, error));
    EXPECT_EQ(request.column, 1);
    EXPECT_STREQ(request.from, "Б");
    EXPECT_STREQ(request.to, "Д");
    EXPECT_EQ(request.data_type, 1);
}

struct SplitCase {
    const char* line;
    bool ok;
    Args args;
};

class WindowsArguments : public testing::TestWithParam<SplitCase> {};

TEST_P(WindowsArguments, SplitAsTheRuntimeSplitsThem) {
    const SplitCase& c = GetParam();
    Args args{"left over"};
    std::string error;
    ASSERT_EQ(SplitWindowsArguments(c.line, args, error), c.ok);
    if (c.ok) {
        EXPECT_EQ(args, c.args);
    } else {
        EXPECT_EQ(error, "a quote opened on the command line is never closed");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowsArguments,
    testing::Values(SplitCase{"", true, {}},
                    SplitCase{"  \t ", true, {}},
                    SplitCase{"/filter 3 \"1 000,50\" \"\" amount", true, {"/filter", "3", "1 000,50", "", "amount"}},
                    SplitCase{"a\"b c\"d e", true, {"ab cd", "e"}},
                    SplitCase{"\"say \"\"hi\"\"\"", true, {"say \"hi\""}},
                    SplitCase{"C:\\out\\ x\\\\\"y z\" \\\"q", true, {"C:\\out\\", "x\\y z", "\"q"}},
                    SplitCase{"a\\\\\\\"b", true, {"a\\\"b"}},
                    SplitCase{"/export csv \"C:\\a b.csv", false, {}},
                    SplitCase{"\"", false, {}}));

}  // namespace
