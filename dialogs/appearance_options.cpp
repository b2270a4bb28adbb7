// Option tables of the appearance dialogs and the rules between their controls and the records.
#include "dialogs/appearance_options.h"

#include <algorithm>
#include <cstring>

const OptionEntry kLineTypeOptions[] = {
    {1, "Единична тънка"},
    {2, "Единична дебела"},
    {3, "Двойна"},
    {0, nullptr},
};

const OptionEntry kCellHeightOptions[] = {
    {1, "Нормална"},
    {20, "x 120 %"},
    {40, "x 140 %"},
    {60, "x 160 %"},
    {80, "x 180 %"},
    {100, "x 200 %"},
    {0, nullptr},
};

const OptionEntry kPageNumberOptions[] = {
    {1, "Няма"},
    {2, "Горе, ляво"},
    {3, "Горе, център"},
    {4, "Горе, дясно"},
    {5, "Долу, ляво"},
    {6, "Долу, център"},
    {7, "Долу, дясно"},
    {0, nullptr},
};

const OptionEntry kKeyColumnOptions[] = {
    {1, "Няма"}, {2, "1"}, {3, "2"}, {4, "3"}, {5, "4"}, {6, "5"}, {0, nullptr},
};

const OptionEntry kPageNumberStyleOptions[] = {
    {1, "Само номер"},
    {2, "стр. N от M"},
    {0, nullptr},
};

// Centre comes before right in the list although it is stored after it.
const OptionEntry kAlignmentOptions[] = {
    {1, "Ляво"},
    {3, "Център"},
    {2, "Дясно"},
    {0, nullptr},
};

const OptionEntry kLineLimitOptions[] = {
    {1, "Няма"},
    {2, "2 реда"},
    {3, "3 реда"},
    {4, "4 реда"},
    {5, "5 реда"},
    {6, "6 реда"},
    {7, "7 реда"},
    {8, "8 реда"},
    {0, nullptr},
};

namespace {

// Whether a list filled from `table` can have `key` selected.
bool Offers(const OptionEntry* table, std::int32_t key) {
    return key != kNoChoice && OptionIndexOfKey(table, key) >= 0;
}

// Length of a title field up to its terminator, at most `limit` bytes.
std::size_t TitleLength(const char* title, std::size_t limit) {
    const void* end = std::memchr(title, '\0', limit);
    return end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - title) : limit;
}

}  // namespace

std::int32_t CellHeightKey(std::uint16_t stored) {
    return stored == 0 ? 1 : stored;
}

std::uint16_t CellHeightFromKey(std::int32_t key) {
    return key == 1 ? 0 : static_cast<std::uint16_t>(key);
}

std::int32_t PageNumberKey(std::uint8_t stored) {
    return static_cast<std::int32_t>(stored) + 1;
}

std::uint8_t PageNumberFromKey(std::int32_t key) {
    return static_cast<std::uint8_t>(key - 1);
}

std::int32_t AlignmentKey(std::uint32_t stored) {
    return static_cast<std::int32_t>(stored + 1);
}

std::uint32_t AlignmentFromKey(std::int32_t key) {
    return static_cast<std::uint32_t>(key - 1);
}

std::int32_t LineLimitKey(std::uint32_t stored) {
    return stored < 2 ? 1 : static_cast<std::int32_t>(stored);
}

std::uint32_t LineLimitFromKey(std::int32_t key) {
    return key < 2 ? 0 : static_cast<std::uint32_t>(key);
}

TableChoices TableChoicesFromStyle(const TableStyle& style) {
    TableChoices choices;
    choices.checked_flags = style.flags & kTableDialogFlags;
    choices.line_type_key = style.line_type;
    choices.cell_height_key = CellHeightKey(style.cell_height);
    choices.page_number_key = PageNumberKey(style.page_number_position);
    return choices;
}

TableStyle ApplyTableChoices(const TableStyle& original, const TableChoices& choices) {
    TableStyle style = original;
    style.flags = (original.flags & ~kTableDialogFlags) | (choices.checked_flags & kTableDialogFlags);
    if (Offers(kLineTypeOptions, choices.line_type_key)) {
        style.line_type = static_cast<std::uint8_t>(choices.line_type_key);
    }
    if (Offers(kCellHeightOptions, choices.cell_height_key)) {
        style.cell_height = CellHeightFromKey(choices.cell_height_key);
    }
    if (Offers(kPageNumberOptions, choices.page_number_key)) {
        style.page_number_position = PageNumberFromKey(choices.page_number_key);
    }
    return style;
}

PrintOptionChoices PrintOptionChoicesFrom(const PrintOptions& options) {
    PrintOptionChoices choices;
    choices.key_columns_key = static_cast<std::int32_t>(options.key_columns) + 1;
    choices.page_number_style_key = static_cast<std::int32_t>(options.page_number_style) + 1;
    choices.fit_to_width = options.fit_to_width != 0;
    choices.end_total = (options.sum_lines & SumPlacement::NoEndTotal) == 0;
    choices.page_totals = (options.sum_lines & SumPlacement::PageTotals) != 0;
    choices.brought_forward = (options.sum_lines & SumPlacement::BroughtForward) != 0;
    choices.group_totals = (options.sum_lines & SumPlacement::GroupTotals) != 0;
    return choices;
}

PrintOptions ApplyPrintOptionChoices(const PrintOptions& original, const PrintOptionChoices& choices) {
    PrintOptions options = original;
    if (Offers(kKeyColumnOptions, choices.key_columns_key)) {
        options.key_columns = static_cast<std::uint16_t>(choices.key_columns_key - 1);
    }
    if (Offers(kPageNumberStyleOptions, choices.page_number_style_key)) {
        options.page_number_style = static_cast<std::uint8_t>(choices.page_number_style_key - 1);
    }
    options.fit_to_width = choices.fit_to_width ? 1 : 0;
    constexpr std::uint8_t kShown = SumPlacement::PageTotals | SumPlacement::BroughtForward |
                                    SumPlacement::GroupTotals | SumPlacement::NoEndTotal;
    std::uint8_t sums = static_cast<std::uint8_t>(original.sum_lines & ~kShown);
    if (!choices.end_total) sums |= SumPlacement::NoEndTotal;
    if (choices.page_totals) sums |= SumPlacement::PageTotals;
    if (choices.brought_forward) sums |= SumPlacement::BroughtForward;
    if (choices.group_totals) sums |= SumPlacement::GroupTotals;
    options.sum_lines = sums;
    return options;
}

ColumnChoices ColumnChoicesFromRecord(const GridColumnInfo& record) {
    ColumnChoices choices;
    choices.title.assign(record.title, TitleLength(record.title, kColumnTitleLimit));
    choices.alignment_key = AlignmentKey(record.alignment);
    choices.bold = (record.flags & ColumnFlags::Bold) != 0;
    choices.text_flow = (record.flags & ColumnFlags::TextFlow) != 0;
    choices.line_limit_key = LineLimitKey(record.max_lines);
    choices.abbreviate = (record.flags & ColumnFlags::Abbreviate) != 0;
    choices.sum = (record.flags & ColumnFlags::Sum) != 0;
    return choices;
}

bool CanSumColumn(const GridColumnInfo& record, bool row_numbers) {
    return !row_numbers && record.type != static_cast<std::uint32_t>(ColumnType::Picture);
}

void ApplyColumnChoices(GridColumnInfo& record, const ColumnChoices& choices) {
    char title[kColumnTitleLimit + 1] = {};
    const std::size_t length = std::min(choices.title.size(), kColumnTitleLimit);
    std::memcpy(title, choices.title.data(), length);
    TrimText(title);
    std::memcpy(record.title, title, sizeof record.title);

    if (Offers(kAlignmentOptions, choices.alignment_key)) {
        record.alignment = AlignmentFromKey(choices.alignment_key);
    }
    std::uint32_t flags =
        record.flags & ~(ColumnFlags::Bold | ColumnFlags::TextFlow | ColumnFlags::Abbreviate | ColumnFlags::Sum);
    if (choices.bold) flags |= ColumnFlags::Bold;
    if (choices.text_flow) flags |= ColumnFlags::TextFlow;
    // Flowing text is never abbreviated: when both are asked for, text flow wins.
    if (choices.abbreviate && !choices.text_flow) flags |= ColumnFlags::Abbreviate;
    if (choices.sum && CanSumColumn(record, false)) flags |= ColumnFlags::Sum;
    record.flags = flags;
    if (Offers(kLineLimitOptions, choices.line_limit_key)) {
        record.max_lines = LineLimitFromKey(choices.line_limit_key);
    }
}

ColumnEnabling ColumnEnablingFor(bool text_flow, bool summable) {
    return ColumnEnabling{text_flow, !text_flow, summable};
}

std::vector<ColumnListEntry> ColumnListEntries(const GridColumnInfo* records, int count) {
    std::vector<ColumnListEntry> entries;
    for (int i = 0; records != nullptr && i < count; ++i) {
        if ((records[i].flags & ColumnFlags::Visible) == 0) continue;
        const GridColumnInfo& record = records[i];
        entries.push_back({std::string(record.title, TitleLength(record.title, kColumnListTitleLimit)), i});
    }
    return entries;
}
