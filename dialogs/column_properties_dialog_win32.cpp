// The column appearance dialog: a list of the visible columns and the controls of the one
// being edited. Switching columns keeps the edits of the one left in the records.
#include "dialogs/column_properties_dialog_win32.h"

#include "dialogs/appearance_options.h"
#include "dialogs/dialog_helpers_win32.h"
#include "resources/resource_ids.h"

namespace {

// The record the controls show, or none; and the row-number column, which is never summed.
struct ShownColumn {
    int current = -1;
    int row_numbers = -1;
};
// The records being edited and which of them the controls show.
using ColumnDialogState = ModalEdit<std::vector<GridColumnInfo>, ShownColumn>;

ColumnDialogState* StateOf(HWND dialog) {
    return DialogData<ColumnDialogState>(dialog);
}

// Selects the entry with `key`, or nothing when the list has none: a stored value that no
// entry stands for must not inherit the previous column's selection.
void SelectKeyOrNothing(HWND dialog, int id, const OptionEntry* table, std::int32_t key) {
    ComboSelect(dialog, id, OptionIndexOfKey(table, key));
}

bool CurrentColumnSummable(const ColumnDialogState& state) {
    const int current = state.extra.current;
    if (current < 0 || current >= static_cast<int>(state.value.size())) return false;
    return CanSumColumn(state.value[current], current == state.extra.row_numbers);
}

void UpdateEnabling(HWND dialog, const ColumnDialogState& state) {
    const ColumnEnabling enabling =
        ColumnEnablingFor(IsChecked(dialog, IDC_COLUMN_TEXT_FLOW), CurrentColumnSummable(state));
    EnableControl(dialog, IDC_COLUMN_LINE_LIMIT, enabling.line_limit);
    EnableControl(dialog, IDC_COLUMN_ABBREVIATE, enabling.abbreviate);
    EnableControl(dialog, IDC_COLUMN_SUM, enabling.sum);
}

void ShowChoices(HWND dialog, const ColumnChoices& choices) {
    SetControlText(dialog, IDC_COLUMN_TITLE, choices.title.c_str());
    SelectKeyOrNothing(dialog, IDC_COLUMN_ALIGNMENT, kAlignmentOptions, choices.alignment_key);
    SetCheck(dialog, IDC_COLUMN_BOLD, choices.bold);
    SetCheck(dialog, IDC_COLUMN_TEXT_FLOW, choices.text_flow);
    SelectKeyOrNothing(dialog, IDC_COLUMN_LINE_LIMIT, kLineLimitOptions, choices.line_limit_key);
    SetCheck(dialog, IDC_COLUMN_ABBREVIATE, choices.abbreviate);
    SetCheck(dialog, IDC_COLUMN_SUM, choices.sum);
}

ColumnChoices ReadChoices(HWND dialog, bool summable) {
    ColumnChoices choices;
    char title[kColumnTitleLimit + 1];
    GetControlText(dialog, IDC_COLUMN_TITLE, title, sizeof title);
    choices.title = title;
    choices.alignment_key = SelectedKey(dialog, IDC_COLUMN_ALIGNMENT);
    choices.bold = IsChecked(dialog, IDC_COLUMN_BOLD);
    choices.text_flow = IsChecked(dialog, IDC_COLUMN_TEXT_FLOW);
    choices.line_limit_key = SelectedKey(dialog, IDC_COLUMN_LINE_LIMIT);
    choices.abbreviate = IsChecked(dialog, IDC_COLUMN_ABBREVIATE);
    // A box the user cannot change never sets the flag (a stray bit from a layout file goes).
    choices.sum = summable && IsChecked(dialog, IDC_COLUMN_SUM);
    return choices;
}

void SaveCurrentColumn(HWND dialog, ColumnDialogState& state) {
    if (state.extra.current < 0) return;
    ApplyColumnChoices(state.value[state.extra.current], ReadChoices(dialog, CurrentColumnSummable(state)));
}

// Shows the column selected in the list, first keeping the edits of the one shown so far.
// Choosing the column already shown again changes nothing, so its edits are not lost.
void LoadSelectedColumn(HWND dialog, ColumnDialogState& state) {
    const int selection = ComboSelection(dialog, IDC_COLUMN_LIST);
    if (selection < 0) return;
    const int column = ComboGetItemData(dialog, IDC_COLUMN_LIST, selection);
    if (column < 0 || column >= static_cast<int>(state.value.size())) return;
    if (column == state.extra.current) return;
    SaveCurrentColumn(dialog, state);
    state.extra.current = column;
    ShowChoices(dialog, ColumnChoicesFromRecord(state.value[column]));
    UpdateEnabling(dialog, state);
}

void InitDialog(HWND dialog, ColumnDialogState& state) {
    for (const ColumnListEntry& entry :
         ColumnListEntries(state.value.data(), static_cast<int>(state.value.size()))) {
        AddKeyedString(dialog, IDC_COLUMN_LIST, entry.column, entry.title.c_str());
    }
    FitComboDropDown(dialog, IDC_COLUMN_LIST);
    FillCombo(dialog, IDC_COLUMN_ALIGNMENT, kAlignmentOptions, kNoChoice);
    FillCombo(dialog, IDC_COLUMN_LINE_LIMIT, kLineLimitOptions, kNoChoice);
    ComboSelect(dialog, IDC_COLUMN_LIST, 0);
    state.extra.current = -1;
    LoadSelectedColumn(dialog, state);
    UpdateEnabling(dialog, state);
}

INT_PTR CALLBACK ColumnPropertiesProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            InitDialog(dialog, *reinterpret_cast<ColumnDialogState*>(lparam));
            return TRUE;
        case WM_COMMAND: {
            ColumnDialogState* state = StateOf(dialog);
            const int id = LOWORD(wparam);
            const int notification = HIWORD(wparam);
            if (state == nullptr) break;
            if (id == IDC_COLUMN_LIST && notification == CBN_SELCHANGE) {
                LoadSelectedColumn(dialog, *state);
                return TRUE;
            }
            if (id == IDC_COLUMN_TEXT_FLOW && notification == BN_CLICKED) {
                UpdateEnabling(dialog, *state);
                return TRUE;
            }
            if (id == IDOK && notification == 0) {
                SaveCurrentColumn(dialog, *state);
                EndDialog(dialog, kDialogOk);
                return TRUE;
            }
            break;
        }
        default:
            break;
    }
    return CommonDialogProc(dialog, message, wparam, lparam);
}

}  // namespace

bool Dialog_ColumnProperties(HWND owner, std::vector<GridColumnInfo>& columns, int row_number_column) {
    return EditModally(owner, "ColumnProperties", ColumnPropertiesProc, columns, ShownColumn{-1, row_number_column});
}
