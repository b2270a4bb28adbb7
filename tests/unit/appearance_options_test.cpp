// Tests of the appearance dialogs' rules: list keys against stored values, the table style and
// column records that OK makes of the controls, enabling, and which columns are offered.
#include "dialogs/appearance_options.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::int32_t> Keys(const OptionEntry* table) {
    std::vector<std::int32_t> keys;
    for (int i = 0; i < OptionCount(table); ++i) keys.push_back(table[i].key);
    return keys;
}

std::vector<std::string> Texts(const OptionEntry* table) {
    std::vector<std::string> texts;
    for (int i = 0; i < OptionCount(table); ++i) texts.push_back(table[i].text);
    return texts;
}

TEST(AppearanceOptionTables, HoldTheirKeysAndTextsInListOrder) {
    EXPECT_EQ(Keys(kLineTypeOptions), (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(Texts(kLineTypeOptions),
              (std::vector<std::string>{"Единична тънка", "Единична дебела", "Двойна"}));
    EXPECT_EQ(Keys(kCellHeightOptions), (std::vector<std::int32_t>{1, 20, 40, 60, 80, 100}));
    EXPECT_EQ(Texts(kCellHeightOptions),
              (std::vector<std::string>{"Нормална", "x 120 %", "x 140 %", "x 160 %", "x 180 %",
                                        "x 200 %"}));
    EXPECT_EQ(Keys(kPageNumberOptions), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(Texts(kPageNumberOptions),
              (std::vector<std::string>{"Няма", "Горе, ляво", "Горе, център", "Горе, дясно",
                                        "Долу, ляво", "Долу, център", "Долу, дясно"}));
    EXPECT_EQ(Keys(kAlignmentOptions), (std::vector<std::int32_t>{1, 3, 2}));
    EXPECT_EQ(Texts(kAlignmentOptions), (std::vector<std::string>{"Ляво", "Център", "Дясно"}));
    EXPECT_EQ(Keys(kLineLimitOptions), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(Texts(kLineLimitOptions),
              (std::vector<std::string>{"Няма", "2 реда", "3 реда", "4 реда", "5 реда", "6 реда",
                                        "7 реда", "8 реда"}));
    // The texts are code page 1251 bytes, as the dialogs show them: "Няма" is 4 bytes.
    EXPECT_EQ(std::strlen(kLineLimitOptions[0].text), 4u);
    EXPECT_EQ(static_cast<unsigned char>(kLineLimitOptions[0].text[0]), 0xCDu);
}

// Each row: a stored value, the key its list shows, and what that key stores again.
struct KeyCase {
    std::uint32_t stored;
    std::int32_t key;
    std::uint32_t stored_again;
};

TEST(AppearanceKeys, MapStoredValuesToListKeysAndBack) {
    const std::vector<KeyCase> cell_heights = {{0, 1, 0}, {20, 20, 20}, {100, 100, 100}};
    for (const KeyCase& c : cell_heights) {
        EXPECT_EQ(CellHeightKey(static_cast<std::uint16_t>(c.stored)), c.key) << c.stored;
        EXPECT_EQ(CellHeightFromKey(c.key), c.stored_again) << c.stored;
    }
    const std::vector<KeyCase> page_numbers = {{0, 1, 0}, {3, 4, 3}, {6, 7, 6}};
    for (const KeyCase& c : page_numbers) {
        EXPECT_EQ(PageNumberKey(static_cast<std::uint8_t>(c.stored)), c.key) << c.stored;
        EXPECT_EQ(PageNumberFromKey(c.key), c.stored_again) << c.stored;
    }
    // "Център" (key 3) is stored 2 and "Дясно" (key 2) is stored 1.
    const std::vector<KeyCase> alignments = {{0, 1, 0}, {1, 2, 1}, {2, 3, 2}};
    for (const KeyCase& c : alignments) {
        EXPECT_EQ(AlignmentKey(c.stored), c.key) << c.stored;
        EXPECT_EQ(AlignmentFromKey(c.key), c.stored_again) << c.stored;
    }
    // No limit is "Няма" (key 1) and is stored 0, also when a record held 1.
    const std::vector<KeyCase> line_limits = {{0, 1, 0}, {1, 1, 0}, {2, 2, 2}, {8, 8, 8}};
    for (const KeyCase& c : line_limits) {
        EXPECT_EQ(LineLimitKey(c.stored), c.key) << c.stored;
        EXPECT_EQ(LineLimitFromKey(c.key), c.stored_again) << c.stored;
    }
}

TableStyle Style(std::uint8_t line_type, std::uint16_t cell_height, std::uint8_t page_number,
                 std::uint32_t flags) {
    TableStyle style;
    style.line_type = line_type;
    style.cell_height = cell_height;
    style.page_number_position = page_number;
    style.flags = flags;
    return style;
}

// The records are packed: their fields are read by value, never bound to references.
template <typename T>
T Value(T field) {
    return field;
}

void ExpectStyle(const TableStyle& actual, const TableStyle& expected) {
    EXPECT_EQ(Value(actual.line_type), Value(expected.line_type));
    EXPECT_EQ(Value(actual.cell_height), Value(expected.cell_height));
    EXPECT_EQ(Value(actual.page_number_position), Value(expected.page_number_position));
    EXPECT_EQ(Value(actual.flags), Value(expected.flags));
}

TEST(TableChoices, OpenOnTheStoredStyleAndOkGivesItBackUnchanged) {
    const std::vector<TableStyle> styles = {
        TableStyle{},                   // the defaults: thin, normal, top right, 6
        Style(3, 100, 0, 0x1FF),        // everything on, no page numbers
        Style(2, 40, 6, 0),             // everything off
        Style(1, 30, 9, 0x80000004u),   // values no list entry stands for, a foreign bit
        Style(0, 0, 255, 0x6),          // line type 0, page-number byte 255
    };
    for (const TableStyle& style : styles) {
        SCOPED_TRACE(::testing::Message() << "flags " << style.flags);
        ExpectStyle(ApplyTableChoices(style, TableChoicesFromStyle(style)), style);
    }
}

TEST(TableChoices, ShowTheStoredStyleAsListKeys) {
    const TableChoices normal = TableChoicesFromStyle(Style(2, 0, 0, 0x1FF | 0x400));
    EXPECT_EQ(normal.checked_flags, 0x1FFu) << "a foreign bit has no check box";
    EXPECT_EQ(normal.line_type_key, 2);
    EXPECT_EQ(normal.cell_height_key, 1) << "a normal height shows as \"Нормална\"";
    EXPECT_EQ(normal.page_number_key, 1) << "no page numbers show as \"Няма\"";

    // A cell height of 30 shows a key the list does not hold: the list opens without a selection.
    const TableChoices odd = TableChoicesFromStyle(Style(1, 30, 3, 6));
    EXPECT_EQ(odd.cell_height_key, 30);
    EXPECT_EQ(OptionIndexOfKey(kCellHeightOptions, odd.cell_height_key), -1);
    EXPECT_EQ(odd.page_number_key, 4);
    EXPECT_EQ(OptionIndexOfKey(kPageNumberOptions, odd.page_number_key), 3) << "\"Горе, дясно\"";
}

TEST(TableChoices, OkTakesEveryFlagAsCheckedAndEveryListAsSelected) {
    const TableStyle original = Style(1, 0, 3, TableFlags::ColNumbers | TableFlags::HorzLines | 0x10000);
    TableChoices choices = TableChoicesFromStyle(original);

    // Unchecking "Разделяне на редовете с линии" clears flag 4 and nothing else.
    choices.checked_flags &= ~static_cast<std::uint32_t>(TableFlags::HorzLines);
    ExpectStyle(ApplyTableChoices(original, choices), Style(1, 0, 3, TableFlags::ColNumbers | 0x10000));

    // Each check box alone sets its own flag; the bit outside the dialog stays.
    for (std::uint32_t flag = 1; flag <= 0x100; flag <<= 1) {
        TableChoices one = choices;
        one.checked_flags = flag;
        EXPECT_EQ(Value(ApplyTableChoices(original, one).flags), flag | 0x10000) << flag;
    }

    // "Нормална" is stored as 0, never as 1; "Няма" page numbers as 0; "Двойна" as 3.
    TableChoices lists = choices;
    lists.line_type_key = 3;
    lists.cell_height_key = 1;
    lists.page_number_key = 1;
    ExpectStyle(ApplyTableChoices(Style(1, 60, 3, 6), lists), Style(3, 0, 0, TableFlags::ColNumbers));
    lists.cell_height_key = 80;
    lists.page_number_key = 6;  // "Долу, център"
    ExpectStyle(ApplyTableChoices(Style(1, 60, 3, 6), lists), Style(3, 80, 5, TableFlags::ColNumbers));
}

TEST(TableChoices, AListWithoutASelectionKeepsTheStoredValue) {
    // A layout file may hold values no entry stands for; OK must not turn them into others.
    const TableStyle odd = Style(7, 30, 200, 0x6);
    TableChoices nothing = TableChoicesFromStyle(odd);
    nothing.line_type_key = kNoChoice;
    nothing.cell_height_key = kNoChoice;
    nothing.page_number_key = kNoChoice;
    ExpectStyle(ApplyTableChoices(odd, nothing), odd);

    // Picking an entry replaces the odd value.
    nothing.cell_height_key = 40;
    EXPECT_EQ(Value(ApplyTableChoices(odd, nothing).cell_height), 40);
    EXPECT_EQ(Value(ApplyTableChoices(odd, nothing).line_type), 7);
}

GridColumnInfo Record(std::uint32_t flags, std::uint32_t alignment, std::uint32_t max_lines,
                      std::uint32_t type, const char* title) {
    GridColumnInfo record = {};
    record.flags = flags;
    record.alignment = alignment;
    record.max_lines = max_lines;
    record.type = type;
    std::strncpy(record.title, title, kColumnTitleLimit);
    return record;
}

TEST(ColumnChoices, OpenOnTheRecordAndOkGivesItBackUnchanged) {
    const std::vector<GridColumnInfo> records = {
        Record(ColumnFlags::Visible, 0, 0, ColumnType::Text, "Име"),
        Record(ColumnFlags::Visible | ColumnFlags::Bold | ColumnFlags::TextFlow, 2, 4,
               ColumnType::Number, "Сума"),
        Record(ColumnFlags::Visible | ColumnFlags::Abbreviate, 1, 0, ColumnType::Date, "Дата"),
        Record(ColumnFlags::Visible | 0x100, 7, 12, 201, "Odd values"),  // kept as they are
        Record(ColumnFlags::Visible | ColumnFlags::Sum, 2, 0, ColumnType::Number, "Сумирана"),
    };
    for (const GridColumnInfo& original : records) {
        SCOPED_TRACE(original.title);
        GridColumnInfo record = original;
        ApplyColumnChoices(record, ColumnChoicesFromRecord(original));
        EXPECT_EQ(std::memcmp(&record, &original, sizeof record), 0);
    }
}

TEST(ColumnChoices, ShowTheRecordAsControlStates) {
    const ColumnChoices shown = ColumnChoicesFromRecord(
        Record(ColumnFlags::Visible | ColumnFlags::Bold | ColumnFlags::Abbreviate, 2, 1, 0, "Клиент"));
    EXPECT_EQ(shown.title, "Клиент");
    EXPECT_EQ(shown.alignment_key, 3) << "centre shows as \"Център\"";
    EXPECT_TRUE(shown.bold);
    EXPECT_FALSE(shown.text_flow);
    EXPECT_TRUE(shown.abbreviate);
    EXPECT_EQ(shown.line_limit_key, 1) << "a limit of 1 shows as \"Няма\"";

    // A title of the full 128 characters with no terminator inside the field is read whole.
    GridColumnInfo full = Record(ColumnFlags::Visible, 0, 0, 0, "");
    std::memset(full.title, 'x', kColumnTitleLimit);
    full.title[kColumnTitleLimit] = '\0';
    EXPECT_EQ(ColumnChoicesFromRecord(full).title.size(), kColumnTitleLimit);
}

TEST(ColumnChoices, OkTrimsTheTitleAndTakesTheControls) {
    GridColumnInfo record = Record(ColumnFlags::Visible, 0, 0, ColumnType::Number, "Old");
    ColumnChoices choices = ColumnChoicesFromRecord(record);
    choices.title = " \t Нова колона \xE0\xFF  ";
    choices.alignment_key = 3;  // "Център"
    choices.bold = true;
    choices.text_flow = true;
    choices.line_limit_key = 5;
    ApplyColumnChoices(record, choices);
    EXPECT_STREQ(record.title, "Нова колона \xE0\xFF") << "Cyrillic bytes at the end are not blanks";
    EXPECT_EQ(Value(record.alignment), 2u);
    EXPECT_EQ(Value(record.flags), ColumnFlags::Visible | ColumnFlags::Bold | ColumnFlags::TextFlow);
    EXPECT_EQ(Value(record.max_lines), 5u);
    EXPECT_EQ(Value(record.type), static_cast<std::uint32_t>(ColumnType::Number)) << "the type is not edited";

    choices.alignment_key = 2;  // "Дясно"
    choices.line_limit_key = 1;  // "Няма"
    choices.title = "   ";
    ApplyColumnChoices(record, choices);
    EXPECT_EQ(Value(record.alignment), 1u);
    EXPECT_EQ(Value(record.max_lines), 0u);
    EXPECT_STREQ(record.title, "") << "an empty title is accepted";

    // Longer than the record holds: cut to 128 characters, then trimmed.
    choices.title = std::string(127, 'a') + "  tail";
    ApplyColumnChoices(record, choices);
    EXPECT_EQ(std::string(record.title), std::string(127, 'a'));
}

TEST(ColumnChoices, TextFlowWinsOverAbbreviation) {
    struct Case {
        bool text_flow, abbreviate;
        std::uint32_t expected_flags;
    };
    const std::vector<Case> cases = {
        {false, false, ColumnFlags::Visible},
        {false, true, ColumnFlags::Visible | ColumnFlags::Abbreviate},
        {true, false, ColumnFlags::Visible | ColumnFlags::TextFlow},
        {true, true, ColumnFlags::Visible | ColumnFlags::TextFlow},
    };
    for (const Case& c : cases) {
        // A column that had abbreviation set loses it when it now gets text flow.
        GridColumnInfo record = Record(ColumnFlags::Visible | ColumnFlags::Abbreviate, 0, 0, 0, "Име");
        ColumnChoices choices = ColumnChoicesFromRecord(record);
        choices.text_flow = c.text_flow;
        choices.abbreviate = c.abbreviate;
        ApplyColumnChoices(record, choices);
        EXPECT_EQ(Value(record.flags), c.expected_flags) << c.text_flow << c.abbreviate;
    }
    EXPECT_TRUE(ColumnEnablingFor(true, true).line_limit);
    EXPECT_FALSE(ColumnEnablingFor(true, true).abbreviate);
    EXPECT_FALSE(ColumnEnablingFor(false, true).line_limit);
    EXPECT_TRUE(ColumnEnablingFor(false, true).abbreviate);
}

TEST(ColumnChoices, SummingIsCheckedOnAmountsAndNeverOnRowNumbersOrPictures) {
    GridColumnInfo amount = Record(ColumnFlags::Visible | ColumnFlags::Bold, 1, 0, ColumnType::Number, "Сума");
    EXPECT_FALSE(ColumnChoicesFromRecord(amount).sum) << "off until the user checks it";
    ColumnChoices choices = ColumnChoicesFromRecord(amount);
    choices.sum = true;
    ApplyColumnChoices(amount, choices);
    EXPECT_EQ(Value(amount.flags), 0xC1u) << "Visible, Bold and Sum";
    EXPECT_TRUE(ColumnChoicesFromRecord(amount).sum);
    choices.sum = false;
    ApplyColumnChoices(amount, choices);
    EXPECT_EQ(Value(amount.flags), 0x41u);

    // A picture column's stray bit from a layout file goes on OK; text columns may be summed.
    GridColumnInfo picture = Record(ColumnFlags::Visible | ColumnFlags::Sum, 0, 0, ColumnType::Picture, "Снимка");
    choices = ColumnChoicesFromRecord(picture);
    ApplyColumnChoices(picture, choices);
    EXPECT_EQ(Value(picture.flags), 0x01u);
    const GridColumnInfo text = Record(ColumnFlags::Visible, 0, 0, ColumnType::Text, "Сума като текст");
    EXPECT_TRUE(CanSumColumn(text, false));
    EXPECT_FALSE(CanSumColumn(text, true)) << "the row numbers";
    EXPECT_FALSE(CanSumColumn(picture, false));
    EXPECT_TRUE(ColumnEnablingFor(false, true).sum);
    EXPECT_FALSE(ColumnEnablingFor(true, false).sum);
}

TEST(ColumnChoices, AListWithoutASelectionKeepsTheStoredValue) {
    GridColumnInfo record = Record(ColumnFlags::Visible | ColumnFlags::TextFlow, 5, 12, 0, "A");
    ColumnChoices choices = ColumnChoicesFromRecord(record);
    EXPECT_EQ(OptionIndexOfKey(kAlignmentOptions, choices.alignment_key), -1);
    EXPECT_EQ(OptionIndexOfKey(kLineLimitOptions, choices.line_limit_key), -1);
    choices.alignment_key = kNoChoice;
    choices.line_limit_key = kNoChoice;
    ApplyColumnChoices(record, choices);
    EXPECT_EQ(Value(record.alignment), 5u);
    EXPECT_EQ(Value(record.max_lines), 12u);
}

TEST(ColumnListEntries, OfferTheVisibleColumnsWithTheirIndexes) {
    std::vector<GridColumnInfo> records = {
        Record(ColumnFlags::Visible, 1, 0, 0, "No"),
        Record(0, 0, 0, 0, "Скрита"),
        Record(ColumnFlags::Visible | ColumnFlags::Bold, 0, 0, 0, ""),
        Record(ColumnFlags::Visible, 0, 0, 0, ""),
    };
    std::memset(records[3].title, 'y', kColumnTitleLimit);
    const std::vector<ColumnListEntry> entries = ColumnListEntries(records.data(), 4);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].title, "No");
    EXPECT_EQ(entries[0].column, 0);
    EXPECT_EQ(entries[1].title, "") << "an empty title is offered as it is";
    EXPECT_EQ(entries[1].column, 2);
    EXPECT_EQ(entries[2].title, std::string(kColumnListTitleLimit, 'y'));
    EXPECT_EQ(entries[2].column, 3);
    EXPECT_TRUE(ColumnListEntries(records.data(), 0).empty());
    EXPECT_TRUE(ColumnListEntries(nullptr, 4).empty());
}

}  // namespace

namespace {

TEST(PrintOptionChoices, OpenOnTheStoredOptionsAndKeepWhatNoEntryStandsFor) {
    PrintOptions stored;
    stored.key_columns = 3;
    stored.page_number_style = PageNumberStyle::PageOfPages;
    const PrintOptionChoices shown = PrintOptionChoicesFrom(stored);
    EXPECT_EQ(shown.key_columns_key, 4);
    EXPECT_EQ(shown.page_number_style_key, 2);
    EXPECT_FALSE(shown.fit_to_width);
    EXPECT_TRUE(ApplyPrintOptionChoices(stored, shown) == stored);

    PrintOptionChoices changed{1, 1, true};
    const PrintOptions plain = ApplyPrintOptionChoices(stored, changed);
    EXPECT_EQ(plain.key_columns, 0);
    EXPECT_EQ(plain.page_number_style, PageNumberStyle::Plain);
    EXPECT_EQ(plain.fit_to_width, 1);

    // Twelve key columns from a layout file: the list has no such entry and opens empty; OK
    // keeps the twelve.
    stored.key_columns = 12;
    const PrintOptionChoices odd = PrintOptionChoicesFrom(stored);
    EXPECT_EQ(OptionIndexOfKey(kKeyColumnOptions, odd.key_columns_key), -1);
    EXPECT_EQ(ApplyPrintOptionChoices(stored, odd).key_columns, 12);
    changed.key_columns_key = kNoChoice;
    EXPECT_EQ(ApplyPrintOptionChoices(stored, changed).key_columns, 12);
}

TEST(PrintOptionChoices, SumCheckBoxesShowAndStoreTheSumPlacement) {
    struct Case {
        std::uint8_t stored;
        bool end_total, page_totals, brought_forward, group_totals;
    };
    const std::vector<Case> cases = {
        {0x00, true, false, false, false},  // a layout file from before: the end total alone
        {0x01, true, true, false, false},
        {0x02, true, false, true, false},
        {0x04, true, false, false, true},
        {0x08, false, false, false, false},
        {0x0F, false, true, true, true},
    };
    for (const Case& c : cases) {
        PrintOptions stored;
        stored.sum_lines = c.stored;
        const PrintOptionChoices shown = PrintOptionChoicesFrom(stored);
        EXPECT_EQ(shown.end_total, c.end_total) << int(c.stored);
        EXPECT_EQ(shown.page_totals, c.page_totals) << int(c.stored);
        EXPECT_EQ(shown.brought_forward, c.brought_forward) << int(c.stored);
        EXPECT_EQ(shown.group_totals, c.group_totals) << int(c.stored);
        EXPECT_EQ(ApplyPrintOptionChoices(PrintOptions{}, shown).sum_lines, c.stored) << int(c.stored);
    }
    // Bits no check box stands for pass through; the shown ones follow the boxes.
    PrintOptions odd;
    odd.sum_lines = 0xF3;
    PrintOptionChoices choices = PrintOptionChoicesFrom(odd);
    choices.page_totals = false;
    choices.end_total = false;
    EXPECT_EQ(ApplyPrintOptionChoices(odd, choices).sum_lines, 0xFA);
}

}  // namespace
