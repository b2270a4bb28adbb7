// Tests of the dialogs' text and number rules: trimming, number fields, message lines, options.
#include "dialogs/dialog_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct TrimCase {
    std::string input;
    std::string expected;
};

TEST(TrimText, RemovesControlBytesAndBlanksAtBothEndsOnly) {
    const std::vector<TrimCase> cases = {
        {"", ""},
        {"   ", ""},
        {"abc", "abc"},
        {"  abc  ", "abc"},
        {"\t\r\n abc \x01\x1f", "abc"},
        {" a b ", "a b"},
        {"\x20\xc0\xe0\xff ", "\xc0\xe0\xff"},  // code page 1251 letters are never blanks
        {"\xa0x\xa0", "\xa0x\xa0"},              // nor the no-break space 0xA0
        {"!", "!"},
    };
    for (const TrimCase& test : cases) {
        std::vector<char> buffer(test.input.begin(), test.input.end());
        buffer.push_back('\0');
        const std::size_t length = TrimText(buffer.data());
        EXPECT_EQ(std::string(buffer.data()), test.expected) << "input [" << test.input << "]";
        EXPECT_EQ(length, test.expected.size()) << "input [" << test.input << "]";
    }
    EXPECT_EQ(TrimText(nullptr), 0u);
}

struct NumberCase {
    const char* input;
    std::int32_t expected;
};

TEST(DecimalValue, SkipsBlanksTakesASignAndStopsAtTheFirstNonDigit) {
    const std::vector<NumberCase> cases = {
        {"", 0},        {"0", 0},           {"12", 12},        {"  12", 12},
        {"\t-7", -7},   {"+15", 15},        {"12abc", 12},     {"abc", 0},
        {"-", 0},       {"- 5", 0},         {"3 4", 3},        {"007", 7},
        {"1.9", 1},     {"2147483647", 2147483647},            {"-2147483648", INT32_MIN},
    };
    for (const NumberCase& test : cases) {
        EXPECT_EQ(DecimalValue(test.input), test.expected) << "input [" << test.input << "]";
    }
    EXPECT_EQ(DecimalValue(nullptr), 0);
}

TEST(HundredthsFromText, ReadsWholeNumbersTenthsAndHundredths) {
    const std::vector<NumberCase> cases = {
        {"", 0},
        {"   ", 0},
        {"7", 700},
        {" 12.50 ", 1250},
        {"210.00", 21000},
        {"6.35", 635},
        {"0.05", 5},
        {"1.5", 150},     // one digit: tenths
        {"1.05", 105},
        {"1.256", 125},   // beyond hundredths: dropped
        {".5", 50},
        {"3.", 300},
        {"10,5", 1000},   // a comma is no decimal point
        {"1.2.3", 120},   // split at the first point only
        {"-1.5", -150},   // the fraction follows the sign of the whole
        {"-0.25", -25},
        {"2.x", 200},
        {"abc", 0},
    };
    for (const NumberCase& test : cases) {
        std::vector<char> buffer(test.input, test.input + std::strlen(test.input) + 1);
        EXPECT_EQ(HundredthsFromText(buffer.data()), test.expected) << "input [" << test.input << "]";
    }
    EXPECT_EQ(HundredthsFromText(nullptr), 0);
}

TEST(NumberFields, ANumberTheFieldCannotHoldIsRefusedNotWrapped) {
    const struct {
        const char* input;
        bool integer_fits;
        std::int32_t integer;
        bool hundredths_fit;
        std::int32_t hundredths;
        bool negative;
    } cases[] = {
        {"12", true, 12, true, 1200, false},
        {"-1.50", true, -1, true, -150, true},
        {"-0.50", true, 0, true, -50, false},  // "-0" is no negative number, "-0.50" is
        {"2147483647", true, INT32_MAX, false, 0, false},
        {"-2147483648", true, INT32_MIN, false, 0, true},
        {"2147483648", false, 0, false, 0, false},
        {"4294967376", false, 0, false, 0, false},  // once stored as 80
        {"42949673", true, 42949673, false, 0, false},  // once stored as 0.04 mm
        {"21474836.47", true, 21474836, true, INT32_MAX, false},
        {"21474836.48", true, 21474836, false, 0, false},
        {"-21474836.48", true, -21474836, true, INT32_MIN, true},
        {"-99999999999999", false, 0, false, 0, true},
        {"  7 mm", true, 7, true, 700, false},
    };
    for (const auto& c : cases) {
        std::int32_t integer = -777;
        EXPECT_EQ(DecimalFieldValue(c.input, integer), c.integer_fits) << c.input;
        EXPECT_EQ(integer, c.integer_fits ? c.integer : -777) << c.input;
        std::vector<char> text(c.input, c.input + std::strlen(c.input) + 1);
        std::int32_t hundredths = -777;
        EXPECT_EQ(HundredthsFieldValue(text.data(), hundredths), c.hundredths_fit) << c.input;
        EXPECT_EQ(hundredths, c.hundredths_fit ? c.hundredths : -777) << c.input;
        EXPECT_EQ(IsNegativeNumberText(c.input), c.negative) << c.input;
    }
}

TEST(HundredthsText, ShowsTwoDecimalsAndNothingForZero) {
    const std::vector<std::pair<std::int32_t, std::string>> cases = {
        {0, ""}, {21000, "210.00"}, {635, "6.35"}, {5, "0.05"}, {150, "1.50"}, {100, "1.00"},
        {-150, "-1.50"}, {-5, "-0.05"}, {INT32_MIN, "-21474836.48"}, {INT32_MAX, "21474836.47"},
    };
    for (const auto& [value, expected] : cases) EXPECT_EQ(HundredthsText(value), expected) << value;
}

TEST(HundredthsText, EveryShownValueReadsBackUnchanged) {
    for (std::int32_t value : {1, 5, 10, 99, 100, 101, 635, 1250, 21000, 29700, 123456, -5, -150, -29700}) {
        std::string text = "  " + HundredthsText(value) + " ";
        EXPECT_EQ(HundredthsFromText(&text[0]), value) << text;
    }
}

TEST(IntegerText, ShowsDecimalAndNothingForZero) {
    EXPECT_EQ(IntegerText(0), "");
    EXPECT_EQ(IntegerText(42), "42");
    EXPECT_EQ(IntegerText(-3), "-3");
    EXPECT_EQ(DecimalValue(IntegerText(987654).c_str()), 987654);
}

struct JoinCase {
    std::vector<const char*> lines;  // five lines, null where absent
    std::string expected;
};

TEST(JoinMessageLines, JoinsGivenLinesWithCrLf) {
    const std::vector<JoinCase> cases = {
        {{"one", nullptr, nullptr, nullptr, nullptr}, "one"},
        {{"one", "two", nullptr, nullptr, nullptr}, "one\r\ntwo"},
        {{nullptr, "two", nullptr, nullptr, nullptr}, "\r\ntwo"},
        {{"a", nullptr, "c", nullptr, "e"}, "a\r\nc\r\ne"},
        {{"1", "2", "3", "4", "5"}, "1\r\n2\r\n3\r\n4\r\n5"},
        {{nullptr, nullptr, nullptr, nullptr, nullptr}, ""},
        {{"", "", nullptr, nullptr, nullptr}, "\r\n"},
        {{"Няма записи, отговарящи", "на зададеното условие.", nullptr, nullptr, nullptr},
         "Няма записи, отговарящи\r\nна зададеното условие."},
    };
    for (const JoinCase& test : cases) {
        EXPECT_EQ(JoinMessageLines(test.lines[0], test.lines[1], test.lines[2], test.lines[3],
                                   test.lines[4]),
                  test.expected);
    }
}

TEST(JoinMessageLines, KeepsTheTextBelowTheMessageBuffer) {
    const std::string long_line(700, 'x');
    const std::string joined = JoinMessageLines(long_line.c_str(), long_line.c_str());
    EXPECT_EQ(joined.size(), kMessageTextCapacity - 1);
    EXPECT_EQ(joined.substr(700, 2), "\r\n");
}

const OptionEntry kAlignments[] = {
    {1, "Ляво"}, {3, "Център"}, {2, "Дясно"}, {3, "Пак център"}, {0, nullptr},
};

TEST(OptionTable, CountsEntriesAndFindsTheLastIndexOfAKey) {
    EXPECT_EQ(OptionCount(kAlignments), 4);
    EXPECT_EQ(OptionCount(nullptr), 0);
    const OptionEntry empty[] = {{0, nullptr}};
    EXPECT_EQ(OptionCount(empty), 0);

    EXPECT_EQ(OptionIndexOfKey(kAlignments, 1), 0);
    EXPECT_EQ(OptionIndexOfKey(kAlignments, 2), 2);
    EXPECT_EQ(OptionIndexOfKey(kAlignments, 3), 3);  // the last of two equal keys
    EXPECT_EQ(OptionIndexOfKey(kAlignments, 7), -1);
    EXPECT_EQ(OptionIndexOfKey(kAlignments, 0), -1);  // the terminator is no entry
    EXPECT_EQ(OptionIndexOfKey(empty, 0), -1);
}

TEST(NumberList, FindsTheIndexOfTheSelectedValue) {
    EXPECT_EQ(NumberIndexOfValue(10, 5, 5, 5), 0);
    EXPECT_EQ(NumberIndexOfValue(10, 5, 5, 50), 9);
    EXPECT_EQ(NumberIndexOfValue(10, 5, 5, 55), -1);
    EXPECT_EQ(NumberIndexOfValue(10, 5, 5, 7), -1);
    EXPECT_EQ(NumberIndexOfValue(0, 5, 5, 5), -1);
    EXPECT_EQ(NumberIndexOfValue(4, 10, -2, 4), 3);
}

TEST(DropDownExtraHeight, ShowsUpToTenItemsPlusOneLine) {
    const std::vector<std::pair<int, int>> cases = {
        {-1, 26}, {0, 26}, {1, 26}, {2, 39}, {10, 143}, {11, 143}, {25, 143},
    };
    for (const auto& [items, expected] : cases) {
        EXPECT_EQ(DropDownExtraHeight(items, 13), expected) << items << " items";
    }
}

TEST(FilterBarsToNuls, MakesTheDoubleNulTerminatedList) {
    char filter[] = "Text (*.txt)|*.txt|All|*.*|";
    FilterBarsToNuls(filter);
    const char expected[] = "Text (*.txt)\0*.txt\0All\0*.*\0";
    EXPECT_EQ(std::memcmp(filter, expected, sizeof expected), 0);
    char empty[] = "";
    FilterBarsToNuls(empty);
    EXPECT_EQ(empty[0], '\0');
    FilterBarsToNuls(nullptr);
}

}  // namespace
