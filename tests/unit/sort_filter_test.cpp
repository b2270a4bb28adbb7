// Tests of key comparison, sorting, filtering and restoring the grid's data rows, on a model
// paginated on fake devices; the fast sort is held against plain exchange passes.
#include "grid/sort_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "exchange_pass_sort.h"
#include "fake_measuring_device.h"
#include "grid/bulgarian_keys.h"
#include "grid/decimal_number.h"
#include "grid/radix_order.h"

namespace {

// Two-digit years are read against this year, as if the clock said so.
constexpr int kYear = 2026;

// Cells by store column identifier, then row key; a missing column or row reads as empty, as
// the store's source answers for the row-number column (-1).
std::map<int, std::vector<std::string>> g_cells;

int TestCellText(void*, int row_key, int column_identifier, char* buffer, int buffer_size) {
    const auto column = g_cells.find(column_identifier);
    if (column == g_cells.end() || row_key < 0 || row_key >= static_cast<int>(column->second.size())) return 0;
    const std::string& text = column->second[static_cast<std::size_t>(row_key)];
    const int length = std::min(static_cast<int>(text.size()), buffer_size);
    std::memcpy(buffer, text.data(), static_cast<std::size_t>(length));
    buffer[length] = '\0';
    return length;
}

// The same cells a column block at a time, with no terminators and the rest of each slot
// filled with digits, which a reader must not take for part of the key.
void TestColumnTexts(void*, int column_identifier, const std::uint32_t* row_keys, int count, char* texts,
                     std::uint8_t* lengths) {
    for (int k = 0; k < count; ++k) {
        char* slot = texts + k * kCellTextStride;
        std::memset(slot, '7', kCellTextStride);
        lengths[k] = static_cast<std::uint8_t>(
            TestCellText(nullptr, static_cast<int>(row_keys[k]), column_identifier, slot, kCellTextLimit));
        slot[lengths[k]] = '7';
    }
}

// --- CompareKeys and KeyNumber -----------------------------------------------------------------

struct CompareCase {
    const char* a;
    const char* b;
    std::int32_t type;
    bool descending;
    int expected;
};

TEST(CompareKeys, FollowsTheRulesForEmptyNumberAndTextKeys) {
    const CompareCase cases[] = {
        // Empty keys come after every other key in both directions.
        {"", "", KeyType::Text, false, 0},
        {"", "", KeyType::Number, true, 0},
        {"a", "", KeyType::Text, false, -1},
        {"a", "", KeyType::Text, true, -1},
        {"", "a", KeyType::Text, false, 1},
        {"", "a", KeyType::Number, true, 1},
        {nullptr, "5", KeyType::Number, false, 1},
        // Numbers by value; descending swaps.
        {"9", "10", KeyType::Number, false, -1},
        {"9", "10", KeyType::Number, true, 1},
        {"10", "10.0", KeyType::Number, false, 0},
        {"-2", "1e-3", KeyType::Number, false, -1},
        {"12,5", "12", KeyType::Number, false, 0},   // a comma ends the number
        {"abc", "0", KeyType::Number, false, 0},     // letters count as 0
        {"abc", "-1", KeyType::Number, false, 1},
        // Text by unsigned bytes, capitals before small letters, Cyrillic after Latin.
        {"10", "9", KeyType::Text, false, -1},
        {"10", "9", KeyType::Text, true, 1},
        {"B", "a", KeyType::Text, false, -1},
        {"C", "Czech", KeyType::Text, false, -1},
        {"\xC0", "z", KeyType::Text, false, 1},       // "А" after "z"
        {"\xE0", "\xC0", KeyType::Text, false, 1},    // "а" after "А"
        {"same", "same", KeyType::Text, true, 0},
        // A type other than 1 to 4 compares as text.
        {"10", "9", 7, false, -1},
        // Alphabetical: case ignored, the Bulgarian alphabet, numbers by value.
        {"ана", "Ябълка", KeyType::Alphabetical, false, -1},
        {"Анна", "анна", KeyType::Alphabetical, false, 0},
        {"ИВАН", "иван", KeyType::Alphabetical, true, 0},
        {"ул. 9", "ул. 10", KeyType::Alphabetical, false, -1},
        {"ул. 9", "ул. 10", KeyType::Alphabetical, true, 1},
        {"007", "7", KeyType::Alphabetical, false, 0},
        {"08", "7", KeyType::Alphabetical, false, 1},
        {"999", "a", KeyType::Alphabetical, false, -1},     // digits before letters
        {"Zebra", "ана", KeyType::Alphabetical, false, -1},  // Latin before Cyrillic
        {"щ", "ъ", KeyType::Alphabetical, false, -1},
        {"ъ", "ь", KeyType::Alphabetical, false, -1},
        {"ь", "ю", KeyType::Alphabetical, false, -1},
        {"Иван Петров", "Иван Петрова", KeyType::Alphabetical, false, -1},
        {"Петров", "петрова", KeyType::Alphabetical, false, -1},
        // The other letters of the code page, each after its neighbour.
        {"г", "ґ", KeyType::Alphabetical, false, -1},  {"ґ", "ѓ", KeyType::Alphabetical, false, -1},
        {"ѓ", "д", KeyType::Alphabetical, false, -1},  {"д", "Ђ", KeyType::Alphabetical, false, -1},
        {"ђ", "е", KeyType::Alphabetical, false, -1},  {"е", "Ё", KeyType::Alphabetical, false, -1},
        {"ё", "є", KeyType::Alphabetical, false, -1},  {"є", "ж", KeyType::Alphabetical, false, -1},
        {"з", "Ѕ", KeyType::Alphabetical, false, -1},  {"ѕ", "и", KeyType::Alphabetical, false, -1},
        {"и", "І", KeyType::Alphabetical, false, -1},  {"і", "ї", KeyType::Alphabetical, false, -1},
        {"Ї", "й", KeyType::Alphabetical, false, -1},  {"й", "ј", KeyType::Alphabetical, false, -1},
        {"Ј", "к", KeyType::Alphabetical, false, -1},  {"л", "Љ", KeyType::Alphabetical, false, -1},
        {"љ", "м", KeyType::Alphabetical, false, -1},  {"н", "њ", KeyType::Alphabetical, false, -1},
        {"Њ", "о", KeyType::Alphabetical, false, -1},  {"т", "ћ", KeyType::Alphabetical, false, -1},
        {"Ћ", "ќ", KeyType::Alphabetical, false, -1},  {"Ќ", "у", KeyType::Alphabetical, false, -1},
        {"у", "ў", KeyType::Alphabetical, false, -1},  {"Ў", "ф", KeyType::Alphabetical, false, -1},
        {"ч", "Џ", KeyType::Alphabetical, false, -1},  {"џ", "ш", KeyType::Alphabetical, false, -1},
        {"ъ", "Ы", KeyType::Alphabetical, false, -1},  {"ы", "ь", KeyType::Alphabetical, false, -1},
        {"ь", "Э", KeyType::Alphabetical, false, -1},  {"э", "ю", KeyType::Alphabetical, false, -1},
        {"ю", "Я", KeyType::Alphabetical, false, -1},  {"z", "а", KeyType::Alphabetical, false, -1},
        // Blanks and punctuation decide only between otherwise equal keys.
        {"ab", "a b", KeyType::Alphabetical, false, -1},
        {"a b", "a-b", KeyType::Alphabetical, false, -1},
        {"a-b", "abc", KeyType::Alphabetical, false, -1},
        {"a\x01" "b", "a b", KeyType::Alphabetical, false, -1},
        {"--", "0", KeyType::Alphabetical, false, -1},  // nothing but punctuation: before every word
        {"--", "", KeyType::Alphabetical, true, -1},    // yet not empty
        {"", "--", KeyType::Alphabetical, false, 1},
        // Amounts: a decimal comma, groups, text around; no number ranks as empty.
        {"1 234,56", "999,99", KeyType::Amount, false, 1},
        {"1.234,56", "1234.56", KeyType::Amount, false, 0},
        {"1\xA0" "234,56 лв.", "1 234,56", KeyType::Amount, false, 0},
        {"-5 лв.", "3", KeyType::Amount, false, -1},
        {"лв. -5", "-5,00", KeyType::Amount, false, 0},
        {"12,5", "12", KeyType::Amount, false, 1},
        {"99999999,99", "99999999,98", KeyType::Amount, false, 1},
        {"99999999,99", "99999999,98", KeyType::Amount, true, -1},
        {"-0", "0", KeyType::Amount, false, 0},
        {"abc", "", KeyType::Amount, false, 0},
        {"abc", "5", KeyType::Amount, false, 1},
        {"abc", "5", KeyType::Amount, true, 1},
        {"лв.", "-1", KeyType::Amount, false, 1},
        // Dates: day, month and year in every written form; an impossible date ranks as empty.
        {"12.03.2024", "1.4.2024", KeyType::Date, false, -1},
        {"31.12.2023", "1.1.2024", KeyType::Date, false, -1},
        {"12.03.2024 г.", "2024-03-12", KeyType::Date, false, 0},
        {"12.03.26", "12.03.2026", KeyType::Date, false, 0},
        {"12.03.27", "12.03.2024", KeyType::Date, false, -1},  // 1927
        {"29.02.2024", "28.02.2024", KeyType::Date, false, 1},
        {"31.02.2024", "", KeyType::Date, false, 0},
        {"31.02.2024", "01.01.1900", KeyType::Date, false, 1},
        {"0.0.0", "", KeyType::Date, true, 0},
        {"12.o3.2024", "1.1.2001", KeyType::Date, false, 1},
        {"12.03.2024", "11.03.2024", KeyType::Date, true, -1},
    };
    for (const CompareCase& c : cases) {
        EXPECT_EQ(CompareKeys(c.a, c.b, c.type, c.descending, kYear), c.expected)
            << (c.a ? c.a : "(null)") << " vs " << c.b << " type " << c.type << " descending " << c.descending;
    }
}

TEST(CompareKeys, KeyNumberReadsOnlyTheDecimalFormOfAtof) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"12,5", 12},      {"abc", 0},      {"", 0},        {" \t-1.5e2x", -150}, {"+7", 7},
        {".5", 0.5},       {"5.", 5},       {".", 0},       {"-", 0},             {"1e", 1},
        {"1e+", 1},        {"2E3", 2000},   {"0x1A", 0},    {"inf", 0},           {"nan", 0},
        {"-0", 0},         {"007", 7},      {"1 000", 1},   {"\xA0" "5", 0},      {"3.25e-2", 0.0325},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(KeyNumber(c.text), c.value) << c.text;
    EXPECT_EQ(KeyNumber(nullptr), 0);
    EXPECT_TRUE(std::isinf(KeyNumber("1e999")));
    EXPECT_EQ(KeyNumber(std::string(300, '1').c_str()), std::strtod(std::string(300, '1').c_str(), nullptr));
}

TEST(BulgarianKeys, ReadAmountTakesCommaGroupsSignAndIgnoresTheWordsAround) {
    const struct {
        const char* text;
        bool read;
        double value;
    } cases[] = {
        {"1 234,56", true, 1234.56},     {"-1 234,56 лв.", true, -1234.56}, {"лв. - 12,5", true, -12.5},
        {"1.234,56", true, 1234.56},     {"1\xA0" "234", true, 1234},       {"1 234.5", true, 1234.5},
        {"1.5", true, 1.5},              {"1.234.567", true, 1234567},      {"12.03.2024", true, 12032024},
        {"007,50", true, 7.5},           {",5", true, 0.5},                 {"-,5", true, -0.5},
        {"бр.5", true, 5},               {"5  7", true, 5},                 {"12-", true, 12},
        {"1e5", true, 1},                {"99999999,99", true, 99999999.99}, {"ул. 9, ап. 10", true, 9},
        {"abc", false, 0},               {"", false, 0},                    {"-", false, 0},
        {"\x01\x02", false, 0},          {"...,,,", false, 0},
    };
    for (const auto& c : cases) {
        double value = -1;
        EXPECT_EQ(ReadAmount(c.text, std::strlen(c.text), value), c.read) << c.text;
        EXPECT_DOUBLE_EQ(value, c.value) << c.text;
    }
    // Digits far past 32 bits, and past any double: still ordered, never a crash.
    double value = 0;
    const std::string long_number = "1" + std::string(254, '0');
    EXPECT_TRUE(ReadAmount(long_number.data(), long_number.size(), value));
    EXPECT_DOUBLE_EQ(value, 1e254);
    const std::string huge = std::string(400, '9') + ",5";
    EXPECT_TRUE(ReadAmount(huge.data(), huge.size(), value));
    EXPECT_TRUE(std::isinf(value) && value > 0);
    EXPECT_EQ(CompareKeys(huge.c_str(), "4294967296", KeyType::Amount, false, kYear), 1);
    EXPECT_EQ(CompareKeys("4294967297", "4 294 967 296", KeyType::Amount, false, kYear), 1);
}

// The sums read the same texts exactly: units of the written decimals, never a double.
TEST(BulgarianKeys, ReadExactAmountReadsTheSortsAmountsIntoExactUnits) {
    const struct {
        const char* text;
        ExactAmountResult result;
        long long units;
        int decimals;
        const char* marks;  // c comma, d dot, g grouped
    } cases[] = {
        {"1 234,56", ExactAmountResult::Number, 123456, 2, "cg"},
        {"-1 234,56 лв.", ExactAmountResult::Number, -123456, 2, "cg"},
        {"1.234,56", ExactAmountResult::Number, 123456, 2, "cg"},
        {"1.5", ExactAmountResult::Number, 15, 1, "d"},
        {"1.234.567", ExactAmountResult::Number, 1234567, 0, "g"},
        {"007,50", ExactAmountResult::Number, 750, 2, "c"},
        {"-,5", ExactAmountResult::Number, -5, 1, "c"},
        {"лв. - 12,5", ExactAmountResult::Number, -125, 1, "c"},
        {"0,1234565", ExactAmountResult::Number, 123457, 6, "c"},  // rounded past six decimals
        {"-0,0000004", ExactAmountResult::Number, 0, 6, "c"},
        {"9223372036854775807", ExactAmountResult::Number, INT64_MAX, 0, ""},
        {"9223372036854775808", ExactAmountResult::TooLarge, 0, 0, ""},
        {"92233720368547758,08", ExactAmountResult::TooLarge, 0, 0, "c"},
        {"abc", ExactAmountResult::NoNumber, 0, 0, ""},
        {"", ExactAmountResult::NoNumber, 0, 0, ""},
        {"...,,,", ExactAmountResult::NoNumber, 0, 0, ""},
    };
    for (const auto& c : cases) {
        ExactAmount amount;
        ASSERT_EQ(ReadExactAmount(c.text, std::strlen(c.text), amount), c.result) << c.text;
        if (c.result != ExactAmountResult::Number) continue;
        EXPECT_EQ(amount.units, c.units) << c.text;
        EXPECT_EQ(amount.decimals, c.decimals) << c.text;
        std::string marks;
        if (amount.comma_mark) marks += "c";
        if (amount.dot_mark) marks += "d";
        if (amount.grouped) marks += "g";
        EXPECT_EQ(marks, c.marks) << c.text;
    }
}

TEST(BulgarianKeys, ReadDateTakesTheWrittenFormsAndRefusesImpossibleDays) {
    const struct {
        const char* text;
        long day;  // 0: not a date
    } cases[] = {
        {"12.03.2024", 20240312}, {"1.3.2024", 20240301},     {"01.03.2024г.", 20240301},
        {" 1.3.2024 г. ", 20240301}, {"1.3.2024 Г", 20240301}, {"2024-03-12", 20240312},
        {"2024-3-1", 20240301},   {"2024-03-12 г.", 20240312}, {"12.03.26", 20260312},
        {"12.03.27", 19270312},   {"12.03.00", 20000312},     {"29.02.2024", 20240229},
        {"29.02.2000", 20000229}, {"31.02.2024", 0},          {"29.02.2023", 0},
        {"29.02.1900", 0},        {"0.0.0", 0},               {"00.00.0000", 0},
        {"32.01.2024", 0},        {"1.13.2024", 0},           {"12.03.2024x", 0},
        {"12.o3.2024", 0},        {"123.03.2024", 0},         {"12.03.202", 0},
        {"12/03/2024", 0},        {"", 0},                    {"12.03.2024 г. 10:00", 0},
        {"2024-03", 0},           {"24-03-12", 0},            {"1.1.99999", 0},
    };
    for (const auto& c : cases) {
        long day = -1;
        EXPECT_EQ(ReadDate(c.text, std::strlen(c.text), kYear, day), c.day != 0) << c.text;
        EXPECT_EQ(day, c.day) << c.text;
    }
    long day = 0;
    EXPECT_TRUE(ReadDate("1.1.30", 6, 2030, day));  // the year decides where 20yy ends
    EXPECT_EQ(day, 20300101);
    EXPECT_TRUE(ReadDate("1.1.30", 6, 2029, day));
    EXPECT_EQ(day, 19300101);
}

TEST(BulgarianKeys, AlphabeticalKeysOfHostileTextsStayOrderedAndBounded) {
    // Every byte value, 255-byte keys and long digit runs: each key is built, a key never
    // grows past four bytes per text byte, and only the empty text has an empty key.
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    const std::string texts[] = {all, std::string(255, '7'), std::string(255, ' '), "1a1a1a1a1a", std::string(1, '\x7F'),
                                 std::string(400, '9')};
    for (const std::string& text : texts) {
        std::string key;
        AppendAlphabeticalKey(text.data(), text.size(), key);
        EXPECT_FALSE(key.empty());
        EXPECT_LE(key.size(), 4 * text.size() + 1);
    }
    std::string empty_key;
    AppendAlphabeticalKey("", 0, empty_key);
    EXPECT_TRUE(empty_key.empty());
    // A 400-digit number against one digit less: by value.
    const std::string long_run = std::string(400, '9');
    const std::string shorter = std::string(399, '9');
    EXPECT_EQ(CompareKeys(shorter.c_str(), long_run.c_str(), KeyType::Alphabetical, false, kYear), -1);
    EXPECT_EQ(CompareKeys("4294967296", "4294967295", KeyType::Alphabetical, false, kYear), 1);
}

TEST(DecimalValue, IsStrtodsValueBitForBit) {
    const char* const fixed[] = {"0", "-0", "+7", "0.1", "0.3", "1234.56", "99999999.99", "123456789012345",
                                 "1234567890123456", "0.000000000000000000000001", "1e22", "1e23", "9e-22",
                                 "4.35", "-1.5e2", "000123.4500", "5.", ".5", "1e999", "1e-999", "0e999"};
    std::vector<std::string> numbers(std::begin(fixed), std::end(fixed));
    std::mt19937 random(4);
    for (int i = 0; i < 20000; ++i) {
        std::string number = random() % 4 ? "" : "-";
        const int digits = 1 + static_cast<int>(random() % 19);
        const int point = static_cast<int>(random() % (digits + 2));
        for (int k = 0; k < digits; ++k) {
            if (k == point) number += '.';
            number += static_cast<char>('0' + random() % 10);
        }
        if (random() % 5 == 0) number += "e" + std::to_string(static_cast<int>(random() % 60) - 30);
        numbers.push_back(number);
    }
    for (const std::string& number : numbers) {
        const double fast = DecimalValue(number.data(), number.size());
        const double slow = std::strtod(number.c_str(), nullptr);
        EXPECT_EQ(std::memcmp(&fast, &slow, sizeof fast), 0) << number << ": " << fast << " against " << slow;
    }
}

TEST(FilterRange, TestsKeysAsTheTwoComparisonsWithTheBoundsDo) {
    const char* const texts[] = {"", "B", "C", "Czech", "D", "Da", "a", "9", "10", "12,5", "-3", "abc",
                                 "1e2", "100", " 7", "\xC0", "0", "Анна", "борис", "в", "Вера", "а",
                                 "1 000", "5 000,50", "2.500", "01.01.2024", "31.03.2024", "15.2.2024 г.",
                                 "31.02.2024", "2024-04-01", "--"};
    for (std::int32_t type : {0, 1, 2, 3, 4, 5}) {
        for (const char* from : texts) {
            for (const char* to : texts) {
                FilterRequest request{};
                std::strcpy(request.from, from);
                std::strcpy(request.to, to);
                request.data_type = type;
                const FilterRange range(request, kYear);
                for (const char* key : texts) {
                    // An empty bound leaves its side open; two empty bounds keep only the keys
                    // that rank as empty.
                    const bool expected =
                        from[0] == '\0' && to[0] == '\0'
                            ? CompareKeys(key, "", type, false, kYear) == 0
                            : (from[0] == '\0' || CompareKeys(from, key, type, false, kYear) <= 0) &&
                                  CompareKeys(key, to, type, false, kYear) <= 0;
                    EXPECT_EQ(range.Contains(key), expected)
                        << "from '" << from << "' to '" << to << "' key '" << key << "' type " << type;
                }
            }
        }
    }
}

// --- The model the row operations work on --------------------------------------------------------

class SortFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_cells.clear();
        model = std::make_unique<GridModel>(GridEnvironment{&screen, &print, &pictures, nullptr});
        model->SetCellTextSource(&TestCellText, nullptr);
        model->AddColumn(11, "Key");
        model->AddColumn(12, "Other");
    }

    // Loads column 11 (grid column 1) with `keys` and column 12 with the row numbers as text.
    void Load(const std::vector<std::string>& keys) {
        g_cells[11] = keys;
        std::vector<std::string> others;
        for (std::size_t i = 0; i < keys.size(); ++i) others.push_back("r" + std::to_string(i));
        g_cells[12] = others;
        model->SetRowCount(static_cast<int>(keys.size()));
    }

    // The keys of the data rows in list order.
    std::vector<std::uint32_t> RowKeys() const {
        std::vector<std::uint32_t> keys;
        for (int i = 0; i < model->LineCount(); ++i) {
            const LayoutLine line = model->Line(i);
            if (line.kind == LineKind::DataRow) keys.push_back(std::uint32_t{line.key});
        }
        return keys;
    }

    // The key texts of grid column 1 in list order.
    std::vector<std::string> RowTexts() const {
        std::vector<std::string> texts;
        for (std::uint32_t key : RowKeys()) texts.push_back(g_cells[11][key]);
        return texts;
    }

    std::vector<std::uint8_t> LineBytes() const {
        const ItemList& lines = model->LayoutLines();
        return std::vector<std::uint8_t>(lines.Data(), lines.Data() + lines.Size());
    }

    // Data rows are numbered 1, 2, ... in list order; no other line carries an ordinal.
    void ExpectOrdinalsInListOrder() const {
        std::uint32_t next = 1;
        for (int i = 0; i < model->LineCount(); ++i) {
            const LayoutLine line = model->Line(i);
            const std::uint32_t ordinal = line.ordinal;
            EXPECT_EQ(ordinal, line.kind == LineKind::DataRow ? next++ : 0u) << "line " << i;
        }
    }

    void Sort(std::int32_t column, std::int32_t direction, std::int32_t type) {
        SortRows(*model, SortRequest{column, direction, type}, kYear);
    }

    bool Filter(std::int32_t column, const char* from, const char* to, std::int32_t type) {
        FilterRequest request{};
        request.column = column;
        std::strncpy(request.from, from, sizeof request.from - 1);
        std::strncpy(request.to, to, sizeof request.to - 1);
        request.data_type = type;
        return FilterRows(*model, request, kYear);
    }

    FakeMeasuringDevice screen;
    FakeMeasuringDevice print;
    FakePictureSizes pictures;
    std::unique_ptr<GridModel> model;
};

// --- Sorting -----------------------------------------------------------------------------------

TEST_F(SortFilterTest, NumbersAndTextsSortWithTheEmptyKeyLastInBothDirections) {
    Load({"10", "", "9"});
    Sort(1, SortDirection::Ascending, KeyType::Number);
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"9", "10", ""}));
    Sort(1, SortDirection::Descending, KeyType::Number);
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"10", "9", ""}));
    Sort(1, SortDirection::Ascending, KeyType::Text);
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"10", "9", ""}));
    Sort(1, SortDirection::Descending, KeyType::Text);
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"9", "10", ""}));
    // Any direction other than 2 is ascending.
    Sort(1, 0, KeyType::Number);
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"9", "10", ""}));
    ExpectOrdinalsInListOrder();
}

TEST_F(SortFilterTest, EqualKeysKeepTheirOrderInEitherDirection) {
    Load({"b", "a", "b", "a", "", "b", ""});
    Sort(1, SortDirection::Ascending, KeyType::Text);
    EXPECT_EQ(RowKeys(), (std::vector<std::uint32_t>{1, 3, 0, 2, 5, 4, 6}));
    Sort(1, SortDirection::Descending, KeyType::Text);
    EXPECT_EQ(RowKeys(), (std::vector<std::uint32_t>{0, 2, 5, 1, 3, 4, 6}));
    // "12,5" is 12, letters are 0: equal numbers keep their order too.
    Load({"12,5", "x", "12", "0", "-1"});
    Sort(1, SortDirection::Ascending, KeyType::Number);
    EXPECT_EQ(RowKeys(), (std::vector<std::uint32_t>{4, 1, 3, 0, 2}));
}

TEST_F(SortFilterTest, RowNumberColumnOrUnusableRequestsLeaveTheOrder) {
    Load({"c", "a", "b"});
    Sort(1, SortDirection::Ascending, KeyType::Text);
    const std::vector<std::uint32_t> sorted = RowKeys();
    ASSERT_EQ(sorted, (std::vector<std::uint32_t>{1, 2, 0}));
    // The row-number column's keys come from the source with -1: all empty, all equal.
    Sort(0, SortDirection::Descending, KeyType::Number);
    EXPECT_EQ(RowKeys(), sorted);
    Sort(9, SortDirection::Descending, KeyType::Text);
    EXPECT_EQ(RowKeys(), sorted);
    model->SetCellTextSource(nullptr, nullptr);
    const std::vector<std::uint8_t> before = LineBytes();
    Sort(1, SortDirection::Descending, KeyType::Text);
    EXPECT_EQ(LineBytes(), before);
    ExpectOrdinalsInListOrder();
}

TEST_F(SortFilterTest, SortingAcrossPagesMovesOnlyDataRowsAndRebuildsThePages) {
    std::vector<std::string> keys;
    for (int i = 0; i < 250; ++i) keys.push_back(std::to_string((i * 37) % 101));
    Load(keys);
    ASSERT_GT(model->LineCount(), 250) << "the layout has titles and page breaks between the rows";
    const int lines_before = model->LineCount();
    model->ViewState().top_line = 40;
    Sort(1, SortDirection::Descending, KeyType::Number);
    EXPECT_EQ(model->LineCount(), lines_before);
    EXPECT_EQ(model->ViewState().top_line, 40) << "sorting keeps the scroll position";
    EXPECT_TRUE(model->IsLayoutDirty());
    const std::vector<std::string> texts = RowTexts();
    ASSERT_EQ(texts.size(), 250u);
    for (std::size_t i = 1; i < texts.size(); ++i) EXPECT_GE(std::stoi(texts[i - 1]), std::stoi(texts[i]));
    ExpectOrdinalsInListOrder();
}

// Keys made to collide: short alphabets, long shared prefixes (beyond the eight bytes the fast
// sort compares first), Cyrillic bytes, numbers in many spellings, and empty keys.
std::string RandomKey(std::mt19937& random, int flavour) {
    static const char* const numbers[] = {"10", "9", "-3", "12,5", "12", "1e2", "100", ".5", "0.50", "abc",
                                          " 7", "-0", "3.25", "1e999", "0x10", "+4", "5e-1", "1 234,56 лв.",
                                          "1.234", "-1\xA0" "000", ",5", "лв."};
    static const char* const dates[] = {"12.03.2024", "1.3.2024", "2024-03-01", "12.03.24", "12.03.27", "31.02.2024",
                                        "29.02.2024", "1.1.2000 г.", "0.0.0", "x.1.2024", "01.01.2000"};
    static const char* const prefixes[] = {"", "Петров", "Petrov Ivan ", "\xC0\xC0\xC0\xC0\xC0\xC0\xC0\xC0",
                                           "петров", "ул. 1", "ул. 01", "Ёлка-"};
    std::uniform_int_distribution<int> pick(0, 99);
    if (pick(random) < 15) return "";
    switch (flavour) {
        case 0: return numbers[pick(random) % (sizeof numbers / sizeof numbers[0])];
        case 1: return std::to_string(pick(random) - 50) + (pick(random) < 30 ? "." + std::to_string(pick(random)) : "");
        case 3: return dates[pick(random) % (sizeof dates / sizeof dates[0])];
        default: {
            std::string text = prefixes[pick(random) % 8];
            const int length = pick(random) % 4;
            static const char letters[] = "aAbB\xE0\xC0z 9-\xB8\xA8";
            for (int i = 0; i < length; ++i) text += letters[pick(random) % 12];
            if (pick(random) < 5) text = std::string(300, 'q');  // beyond the 255 a key holds
            return text;
        }
    }
}

TEST_F(SortFilterTest, FastSortGivesTheOrderOfTheExchangePassesOnRandomTables) {
    std::mt19937 random(20261208);
    for (int table = 0; table < 400; ++table) {
        // Most tables small; some large enough for the radix passes rather than the comparisons.
        const int rows = static_cast<int>(table < 12 ? 100 + random() % 200 : random() % 70);
        const int flavour = static_cast<int>(random() % 4);
        std::vector<std::string> keys;
        for (int i = 0; i < rows; ++i) keys.push_back(RandomKey(random, flavour));
        g_cells[11] = keys;
        model->SetCellTextSource(&TestCellText, nullptr, table % 2 != 0 ? &TestColumnTexts : nullptr);
        // Start from a shuffled list, as after an earlier sort.
        std::vector<LayoutLine> lines(static_cast<std::size_t>(rows));
        for (int i = 0; i < rows; ++i) lines[static_cast<std::size_t>(i)] = LayoutLine{static_cast<std::uint32_t>(i), LineKind::DataRow,
                                                               static_cast<std::uint8_t>(i % 4),
                                                               static_cast<std::uint8_t>(1 + i % 7), 0};
        std::shuffle(lines.begin(), lines.end(), random);
        for (std::int32_t type : {0, 1, 2, 3, 4}) {
            for (std::int32_t direction : {SortDirection::Ascending, SortDirection::Descending}) {
                const SortRequest request{1, direction, type};
                std::vector<LayoutLine> fast = lines;
                std::vector<LayoutLine> passes = lines;
                OrderRowsByKey(*model, fast.data(), fast.size(), request, kYear);
                SortByExchangePasses(*model, passes.data(), passes.size(), request, kYear);
                std::vector<std::uint32_t> fast_keys;
                std::vector<std::uint32_t> pass_keys;
                for (const LayoutLine& line : fast) fast_keys.push_back(std::uint32_t{line.key});
                for (const LayoutLine& line : passes) pass_keys.push_back(std::uint32_t{line.key});
                ASSERT_EQ(fast_keys, pass_keys) << "table " << table << " type " << type << " direction " << direction;
                // The rows move whole: each keeps the flags and height it came with.
                for (const LayoutLine& line : fast) {
                    ASSERT_EQ(line.flags, line.key % 4) << "row " << line.key;
                    ASSERT_EQ(line.height, 1 + line.key % 7) << "row " << line.key;
                }
            }
        }
    }
}

TEST(RadixOrder, GivesTheStableOrderOfAComparisonSort) {
    std::mt19937 random(99);
    for (int round = 0; round < 6; ++round) {
        const std::size_t count = round == 0 ? 5 : 3000;
        // Keys with long shared starts, zero bytes, ends one byte apart and many equal ones.
        std::vector<std::string> texts(count);
        std::vector<double> values(count);
        static const double kSpecial[] = {0.0, -0.0, HUGE_VAL, -HUGE_VAL, 1e-300, -1e300, 12.5, 12.5};
        for (std::size_t i = 0; i < count; ++i) {
            std::string text = random() % 2 ? "shared prefix " : "";
            const int length = static_cast<int>(random() % 20);
            static const char kBytes[] = {'\0', '\x01', 'a', 'b', '\xFF'};
            for (int k = 0; k < length; ++k) text += kBytes[random() % 5];
            texts[i] = text;
            values[i] = random() % 3 ? kSpecial[random() % 8] : static_cast<double>(random() % 50) - 25.5;
        }
        std::string pool;
        std::vector<std::uint32_t> offsets;
        std::vector<std::uint32_t> lengths;
        for (const std::string& text : texts) {
            offsets.push_back(static_cast<std::uint32_t>(pool.size()));
            lengths.push_back(static_cast<std::uint32_t>(text.size()));
            pool += text;
        }
        for (bool descending : {false, true}) {
            std::vector<std::uint32_t> expected(count);
            for (std::size_t i = 0; i < count; ++i) expected[i] = static_cast<std::uint32_t>(i);
            std::vector<std::uint32_t> got = expected;
            std::stable_sort(expected.begin(), expected.end(), [&](std::uint32_t a, std::uint32_t b) {
                return descending ? texts[b] < texts[a] : texts[a] < texts[b];
            });
            ASSERT_TRUE(RadixOrderByBytes(PooledKeys{pool.data(), offsets.data(), lengths.data()}, got.data(),
                                          count, descending));
            EXPECT_EQ(got, expected) << "texts, round " << round << " descending " << descending;

            for (std::size_t i = 0; i < count; ++i) expected[i] = static_cast<std::uint32_t>(i);
            got = expected;
            std::stable_sort(expected.begin(), expected.end(), [&](std::uint32_t a, std::uint32_t b) {
                return descending ? values[b] < values[a] : values[a] < values[b];
            });
            ASSERT_TRUE(RadixOrderByValue(values.data(), got.data(), count, descending));
            EXPECT_EQ(got, expected) << "values, round " << round << " descending " << descending;
        }
    }
}

TEST_F(SortFilterTest, SortRowsOnTheGridAgreesWithTheExchangePasses) {
    std::mt19937 random(7);
    for (int table = 0; table < 20; ++table) {
        std::vector<std::string> keys;
        for (int i = 0; i < 150; ++i) keys.push_back(RandomKey(random, table % 3));
        Load(keys);
        const SortRequest request{1, table % 2 ? SortDirection::Descending : SortDirection::Ascending,
                                  table % 4 < 2 ? KeyType::Number : KeyType::Text};
        std::vector<LayoutLine> expected;
        for (int i = 0; i < 150; ++i) expected.push_back(LayoutLine{static_cast<std::uint32_t>(i), LineKind::DataRow, 0, 1, 0});
        SortByExchangePasses(*model, expected.data(), expected.size(), request);
        SortRows(*model, request);
        std::vector<std::uint32_t> expected_keys;
        for (const LayoutLine& line : expected) expected_keys.push_back(std::uint32_t{line.key});
        ASSERT_EQ(RowKeys(), expected_keys) << "table " << table;
        ExpectOrdinalsInListOrder();
    }
}

// --- Filtering and restoring -------------------------------------------------------------------

TEST_F(SortFilterTest, TextRangeKeepsBothBoundsAndWhatLiesBetween) {
    Load({"A", "B", "Da", "C", "Czech", "D", "b"});
    EXPECT_TRUE(Filter(1, "B", "D", KeyType::Text));
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"B", "C", "Czech", "D"}));
    ExpectOrdinalsInListOrder();
    // A second filter narrows the first.
    EXPECT_TRUE(Filter(1, "C", "Czz", KeyType::Text));
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"C", "Czech"}));
}

TEST_F(SortFilterTest, AlphabeticalAmountAndDateSortTheWayTheyAreRead) {
    Load({"ул. 10", "Ябълка", "", "ана", "Борис", "ул. 9", "Анна", "zebra", "10", "ъгъл", "ьо", "--"});
    SortRows(*model, SortRequest{1, SortDirection::Ascending, KeyType::Alphabetical}, kYear);
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"--", "10", "zebra", "ана", "Анна", "Борис", "ул. 9", "ул. 10",
                                                    "ъгъл", "ьо", "Ябълка", ""}));
    SortRows(*model, SortRequest{1, SortDirection::Descending, KeyType::Alphabetical}, kYear);
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"Ябълка", "ьо", "ъгъл", "ул. 10", "ул. 9", "Борис", "Анна", "ана",
                                                    "zebra", "10", "--", ""}));
    ExpectOrdinalsInListOrder();

    // Amounts: the words around are no number; "лв." alone ranks with the empty key.
    Load({"1 234,56 лв.", "лв.", "-5", "999,99", "", "12,5", "1.234,57", "12,50"});
    SortRows(*model, SortRequest{1, SortDirection::Ascending, KeyType::Amount}, kYear);
    EXPECT_EQ(RowTexts(),
              (std::vector<std::string>{"-5", "12,5", "12,50", "999,99", "1 234,56 лв.", "1.234,57", "лв.", ""}));
    SortRows(*model, SortRequest{1, SortDirection::Descending, KeyType::Amount}, kYear);
    EXPECT_EQ(RowTexts(),
              (std::vector<std::string>{"1.234,57", "1 234,56 лв.", "999,99", "12,5", "12,50", "-5", "лв.", ""}));

    // Dates: an impossible one ranks with the empty key; two-digit years around the year.
    Load({"12.03.2024", "31.02.2024", "1.4.2024 г.", "2024-03-12", "12.03.27", "", "5.1.26"});
    SortRows(*model, SortRequest{1, SortDirection::Ascending, KeyType::Date}, kYear);
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"12.03.27", "12.03.2024", "2024-03-12", "1.4.2024 г.", "5.1.26",
                                                    "31.02.2024", ""}));
}

TEST_F(SortFilterTest, AlphabeticalAmountAndDateBoundsReadTheSameWay) {
    Load({"Анна", "Вера", "борис", "в", "Ябълка", "", "abc", "ана"});
    EXPECT_TRUE(Filter(1, "а", "в", KeyType::Alphabetical));
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"Анна", "борис", "в", "ана"}));

    Load({"999,99", "1 000", "5 000,50 лв.", "5000,51", "2 500", "2.500", "abc", ""});
    EXPECT_TRUE(Filter(1, "1 000", "5 000,50", KeyType::Amount));
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"1 000", "5 000,50 лв.", "2 500"}));
    // An empty upper bound: no upper bound, and the keys without a number pass too.
    Load({"999,99", "1 000", "abc", ""});
    EXPECT_TRUE(Filter(1, "1000", "", KeyType::Amount));
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"1 000", "abc", ""}));

    Load({"31.12.2023", "1.1.2024", "15.02.2024 г.", "2024-03-31", "1.4.2024", "31.02.2024", "", "10.3.24"});
    EXPECT_TRUE(Filter(1, "01.01.2024", "31.03.2024", KeyType::Date));
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"1.1.2024", "15.02.2024 г.", "2024-03-31", "10.3.24"}));
    Load({"1.1.2024", "31.02.2024"});
    EXPECT_FALSE(Filter(1, "31.02.2024", "31.12.2024", KeyType::Date)) << "an impossible bound ranks as empty";
}

TEST_F(SortFilterTest, NoMatchLeavesTheListAsItWasAndReportsFalse) {
    Load({"1", "2", "3"});
    model->ViewState().top_line = 1;
    const std::vector<std::uint8_t> before = LineBytes();
    EXPECT_FALSE(Filter(1, "7", "9", KeyType::Number));
    EXPECT_FALSE(Filter(1, "x", "y", KeyType::Text));
    EXPECT_FALSE(Filter(5, "1", "3", KeyType::Text)) << "a column that does not exist";
    EXPECT_EQ(LineBytes(), before);
    EXPECT_EQ(model->ViewState().top_line, 1);
}

TEST_F(SortFilterTest, NumberRangesAndEmptyBounds) {
    Load({"10", "9", "", "12,5", "100", "abc", "-4"});
    EXPECT_TRUE(Filter(1, "9", "12.5", KeyType::Number));
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"10", "9", "12,5"}));

    // An empty "to" sets no upper bound.
    Load({"10", "9", "", "12,5", "100", "abc", "-4"});
    EXPECT_TRUE(Filter(1, "10", "", KeyType::Number));
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"10", "", "12,5", "100"}));

    // An empty "from" sets no lower bound; the empty keys rank after "to".
    Load({"10", "9", "", "12,5", "100", "abc", "-4"});
    EXPECT_TRUE(Filter(1, "", "100", KeyType::Number));
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"10", "9", "12,5", "100", "abc", "-4"}));
    Load({"B", "", "Da", "A"});
    EXPECT_TRUE(Filter(1, "", "C", KeyType::Text));
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"B", "A"}));

    // Both empty: only the empty keys pass.
    Load({"10", "", "9", ""});
    EXPECT_TRUE(Filter(1, "", "", KeyType::Text));
    EXPECT_EQ(RowKeys(), (std::vector<std::uint32_t>{1, 3}));
}

TEST_F(SortFilterTest, RowNumberColumnFiltersByTheShownOrdinals) {
    Load({"e", "d", "c", "b", "a"});
    Sort(1, SortDirection::Ascending, KeyType::Text);  // rows 4 3 2 1 0 numbered 1 .. 5
    EXPECT_TRUE(Filter(0, "2", "4", KeyType::Number));
    EXPECT_EQ(RowKeys(), (std::vector<std::uint32_t>{3, 2, 1}));
    ExpectOrdinalsInListOrder();
    // As text the ordinals 1 .. 3 from "1" to "2" are 1 and 2.
    EXPECT_TRUE(Filter(0, "1", "2", KeyType::Text));
    EXPECT_EQ(RowKeys(), (std::vector<std::uint32_t>{3, 2}));
}

TEST_F(SortFilterTest, FilterReadsAtMost127BytesOfAKeyAndOfEachBound) {
    const std::string long_key = std::string(127, 'm') + "zzz";  // its first 127 bytes are all "m"
    Load({long_key, "n"});
    FilterRequest request{};
    request.column = 1;
    std::memset(request.from, 'm', sizeof request.from);  // no terminator in the field
    std::memset(request.to, 'm', sizeof request.to);
    request.data_type = KeyType::Text;
    EXPECT_TRUE(FilterRows(*model, request));
    EXPECT_EQ(RowKeys(), (std::vector<std::uint32_t>{0}));
}

TEST_F(SortFilterTest, FilterScrollsHomeAndSortAfterFilterSortsWhatIsLeft) {
    std::vector<std::string> keys;
    for (int i = 0; i < 200; ++i) keys.push_back(std::to_string(i % 10));
    Load(keys);
    EXPECT_FALSE(model->IsSorted()) << "a loaded table is in its stored order";
    model->ViewState().top_line = 30;
    model->ViewState().horizontal_offset = -40;
    EXPECT_TRUE(Filter(1, "3", "4", KeyType::Number));
    EXPECT_EQ(model->ViewState().top_line, 0);
    EXPECT_EQ(model->ViewState().horizontal_offset, 0);
    EXPECT_TRUE(model->IsLayoutDirty());
    EXPECT_EQ(RowKeys().size(), 40u);
    Sort(1, SortDirection::Descending, KeyType::Number);
    // The sort is remembered by the table column and key type, for the group sums.
    EXPECT_TRUE(model->IsSorted());
    EXPECT_EQ(model->SortSource(), model->Column(1)->source);
    EXPECT_EQ(model->SortKeyType(), KeyType::Number);
    const std::vector<std::string> texts = RowTexts();
    ASSERT_EQ(texts.size(), 40u);
    EXPECT_EQ(std::count(texts.begin(), texts.begin() + 20, "4"), 20);
    EXPECT_EQ(std::count(texts.begin() + 20, texts.end(), "3"), 20);
    ExpectOrdinalsInListOrder();
}

TEST_F(SortFilterTest, RestoreBringsBackEveryRowInStoredOrderFromTheTop) {
    std::vector<std::string> keys;
    for (int i = 0; i < 120; ++i) keys.push_back(std::to_string((i * 7) % 13));
    Load(keys);
    const std::vector<std::uint8_t> loaded = LineBytes();
    Sort(1, SortDirection::Descending, KeyType::Number);
    ASSERT_TRUE(Filter(1, "2", "9", KeyType::Number));
    EXPECT_TRUE(model->IsSorted()) << "a filter keeps the order";
    ASSERT_LT(RowKeys().size(), 120u);
    model->ViewState().top_line = 5;
    model->ViewState().horizontal_offset = -12;
    model->SetLayoutDirty(false);
    RestoreRows(*model);
    EXPECT_EQ(LineBytes(), loaded) << "the same lines as the table had when it was loaded";
    EXPECT_FALSE(model->IsSorted());
    EXPECT_EQ(model->ViewState().top_line, 0);
    EXPECT_EQ(model->ViewState().horizontal_offset, 0);
    EXPECT_TRUE(model->IsLayoutDirty());
    ExpectOrdinalsInListOrder();
}

// --- Which columns the dialogs offer -------------------------------------------------------------

TEST_F(SortFilterTest, DialogsOfferVisibleColumnsAndOnlyFilterOffersRowNumbers) {
    model->AddColumn(13, "Third");
    model->AddColumn(14, "Fourth");
    EXPECT_EQ(ColumnsOfferedForSort(*model), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(ColumnsOfferedForFilter(*model), (std::vector<int>{0, 1, 2, 3, 4}));
    const std::uint8_t visible[] = {1, 0, 0, 1, 1};
    model->SetVisibility(visible, 5);
    // The lists carry grid column indexes: the first entry is column 3, not 1.
    EXPECT_EQ(ColumnsOfferedForSort(*model), (std::vector<int>{3, 4}));
    EXPECT_EQ(ColumnsOfferedForFilter(*model), (std::vector<int>{0, 3, 4}));
}

}  // namespace
