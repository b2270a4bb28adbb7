// What the table and column appearance dialogs offer and how a choice becomes a stored value:
// their option tables, the key mappings, and the rules that turn the controls' state into
// TableStyle and GridColumnInfo records.
#ifndef LINTARO_DIALOGS_APPEARANCE_OPTIONS_H
#define LINTARO_DIALOGS_APPEARANCE_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/dialog_helpers.h"
#include "grid/grid_records.h"

// Option tables of the drop-down lists (keys are what SelectedKey gives back, not always the
// stored value: see the mappings below). No table uses key 0, so 0 means "nothing selected".
extern const OptionEntry kLineTypeOptions[];    // 1 thin, 2 thick, 3 double
extern const OptionEntry kCellHeightOptions[];  // 1 normal, 20 .. 100 percent taller
extern const OptionEntry kPageNumberOptions[];  // 1 none, 2 .. 7 the six positions
extern const OptionEntry kAlignmentOptions[];   // 1 left, 3 centre, 2 right, in that order
extern const OptionEntry kLineLimitOptions[];   // 1 none, 2 .. 8 lines
extern const OptionEntry kKeyColumnOptions[];   // 1 none, 2 .. 6 for 1 .. 5 key columns
extern const OptionEntry kPageNumberStyleOptions[];  // 1 the number alone, 2 "стр. N от M"

// The key a list gives when nothing is selected.
constexpr std::int32_t kNoChoice = 0;

// The table flags that the check boxes of the table dialog edit; other bits pass through.
constexpr std::uint32_t kTableDialogFlags =
    TableFlags::BoldHeader | TableFlags::ColNumbers | TableFlags::HorzLines |
    TableFlags::GrayHeader | TableFlags::PageColNumbers | TableFlags::PageColTitles |
    TableFlags::PageHeader | TableFlags::PageFooter | TableFlags::PageDate;

// Stored value -> list key, and back. The lists use key 1 for "nothing": a normal cell height
// is stored 0, no page number is stored 0, no line limit is stored 0. Alignment and page number
// position are stored one below their keys.
std::int32_t CellHeightKey(std::uint16_t stored);
std::uint16_t CellHeightFromKey(std::int32_t key);
std::int32_t PageNumberKey(std::uint8_t stored);
std::uint8_t PageNumberFromKey(std::int32_t key);
std::int32_t AlignmentKey(std::uint32_t stored);
std::uint32_t AlignmentFromKey(std::int32_t key);
std::int32_t LineLimitKey(std::uint32_t stored);  // below 2 is "Няма"
std::uint32_t LineLimitFromKey(std::int32_t key);  // below 2 is stored 0

// The state of the table dialog's controls: the check boxes as table flags, the three lists
// as their selected keys (kNoChoice when a list has no selection).
struct TableChoices {
    std::uint32_t checked_flags = 0;
    std::int32_t line_type_key = kNoChoice;
    std::int32_t cell_height_key = kNoChoice;
    std::int32_t page_number_key = kNoChoice;
};

// What the dialog shows for a style. A stored value that no entry stands for (a cell height of
// 30 from a layout file, say) gives a key that its list does not hold, so the list opens
// without a selection.
TableChoices TableChoicesFromStyle(const TableStyle& style);

// The style the dialog's OK makes of `original`: the nine flags exactly as checked, other flag
// bits kept; each list's key mapped to its stored value, except that a list without a selection
// (or with a key its table does not hold) keeps the original value rather than turning it into
// a value no entry stands for.
TableStyle ApplyTableChoices(const TableStyle& original, const TableChoices& choices);

// The table dialog's controls for the print options: the two lists as their keys (stored
// value + 1), fit to width and the four sum check boxes as checked. The end total is a check
// box the user sees checked by default, so it is stored inverted (SumPlacement::NoEndTotal).
struct PrintOptionChoices {
    std::int32_t key_columns_key = kNoChoice;
    std::int32_t page_number_style_key = kNoChoice;
    bool fit_to_width = false;
    bool end_total = true;
    bool page_totals = false;
    bool brought_forward = false;
    bool group_totals = false;
};
PrintOptionChoices PrintOptionChoicesFrom(const PrintOptions& options);
// As for the style: a list without a selection, or with a key its table does not hold, keeps
// the original value (a count of key columns from a layout file that the list does not offer).
// Sum placement bits the dialog does not show pass through.
PrintOptions ApplyPrintOptionChoices(const PrintOptions& original, const PrintOptionChoices& choices);

// The state of the column dialog's editing controls for one column.
struct ColumnChoices {
    std::string title;  // as the edit box holds it, before trimming
    std::int32_t alignment_key = kNoChoice;
    bool bold = false;
    bool text_flow = false;
    std::int32_t line_limit_key = kNoChoice;
    bool abbreviate = false;
    bool sum = false;
};

// Whether a column's amounts can be summed: never the row numbers nor a picture column.
bool CanSumColumn(const GridColumnInfo& record, bool row_numbers);

// What the column dialog shows for a record.
ColumnChoices ColumnChoicesFromRecord(const GridColumnInfo& record);

// Takes the controls' state into the record: the title trimmed of blanks at both ends and cut
// to 128 characters; alignment and line limit mapped from their keys (a list without a
// selection keeps the stored value); bold and text flow as checked; abbreviation only when
// checked and text flow is not, since the two never stay on together. Flag bits the dialog
// does not edit (Visible) and the column type are kept. Summing as checked, but never for a
// picture column.
void ApplyColumnChoices(GridColumnInfo& record, const ColumnChoices& choices);

// Which of the column dialog's controls accept input: the line limit only for flowing text,
// abbreviation only for text that does not flow, summing only where CanSumColumn allows it.
struct ColumnEnabling {
    bool line_limit = false;
    bool abbreviate = false;
    bool sum = false;
};
ColumnEnabling ColumnEnablingFor(bool text_flow, bool summable);

// One entry of the column dialog's column list: a visible column's title (at most 127
// characters) and its index among all the grid's columns.
struct ColumnListEntry {
    std::string title;
    int column = 0;
};

// The visible columns among `count` records, in column order. Hidden columns are not offered,
// so the dialog leaves their records as they came.
std::vector<ColumnListEntry> ColumnListEntries(const GridColumnInfo* records, int count);

// Longest title shown in the column list.
constexpr std::size_t kColumnListTitleLimit = 127;

#endif
