// The table appearance dialog: check boxes for the table flags, lists for line type, cell height
// and page-number position; the page-number wording, key columns and fitting to the width;
// where the sums go.
#include "dialogs/table_properties_dialog_win32.h"

#include <cstdint>

#include "dialogs/appearance_options.h"
#include "dialogs/dialog_helpers_win32.h"
#include "resources/resource_ids.h"

namespace {

struct FlagCheckBox {
    int id;
    std::uint32_t flag;
};

// In the order the flags are taken on OK.
constexpr FlagCheckBox kFlagCheckBoxes[] = {
    {IDC_TABLE_BOLD_HEADER, TableFlags::BoldHeader},
    {IDC_TABLE_COLUMN_NUMBERS, TableFlags::ColNumbers},
    {IDC_TABLE_ROW_LINES, TableFlags::HorzLines},
    {IDC_TABLE_GRAY_HEADER, TableFlags::GrayHeader},
    {IDC_TABLE_NUMBER_FIRST_PAGE, TableFlags::PageColNumbers},
    {IDC_TABLE_TITLES_EACH_PAGE, TableFlags::PageColTitles},
    {IDC_TABLE_HEADER_EACH_PAGE, TableFlags::PageHeader},
    {IDC_TABLE_FOOTER_EACH_PAGE, TableFlags::PageFooter},
    {IDC_TABLE_PRINT_DATE, TableFlags::PageDate},
};

void ShowOptionChoices(HWND dialog, const PrintOptionChoices& choices) {
    FillCombo(dialog, IDC_TABLE_PAGE_NUMBER_STYLE, kPageNumberStyleOptions, choices.page_number_style_key);
    FillCombo(dialog, IDC_TABLE_KEY_COLUMNS, kKeyColumnOptions, choices.key_columns_key);
    SetCheck(dialog, IDC_TABLE_FIT_TO_WIDTH, choices.fit_to_width);
    SetCheck(dialog, IDC_TABLE_END_TOTAL, choices.end_total);
    SetCheck(dialog, IDC_TABLE_PAGE_TOTALS, choices.page_totals);
    SetCheck(dialog, IDC_TABLE_BROUGHT_FORWARD, choices.brought_forward);
    SetCheck(dialog, IDC_TABLE_GROUP_TOTALS, choices.group_totals);
}

PrintOptionChoices ReadOptionChoices(HWND dialog) {
    PrintOptionChoices choices;
    choices.page_number_style_key = SelectedKey(dialog, IDC_TABLE_PAGE_NUMBER_STYLE);
    choices.key_columns_key = SelectedKey(dialog, IDC_TABLE_KEY_COLUMNS);
    choices.fit_to_width = IsChecked(dialog, IDC_TABLE_FIT_TO_WIDTH);
    choices.end_total = IsChecked(dialog, IDC_TABLE_END_TOTAL);
    choices.page_totals = IsChecked(dialog, IDC_TABLE_PAGE_TOTALS);
    choices.brought_forward = IsChecked(dialog, IDC_TABLE_BROUGHT_FORWARD);
    choices.group_totals = IsChecked(dialog, IDC_TABLE_GROUP_TOTALS);
    return choices;
}

void ShowChoices(HWND dialog, const TableChoices& choices) {
    for (const FlagCheckBox& box : kFlagCheckBoxes) {
        SetCheck(dialog, box.id, (choices.checked_flags & box.flag) != 0);
    }
    FillCombo(dialog, IDC_TABLE_LINE_TYPE, kLineTypeOptions, choices.line_type_key);
    FillCombo(dialog, IDC_TABLE_CELL_HEIGHT, kCellHeightOptions, choices.cell_height_key);
    FillCombo(dialog, IDC_TABLE_PAGE_NUMBERS, kPageNumberOptions, choices.page_number_key);
}

TableChoices ReadChoices(HWND dialog) {
    TableChoices choices;
    for (const FlagCheckBox& box : kFlagCheckBoxes) {
        if (IsChecked(dialog, box.id)) choices.checked_flags |= box.flag;
    }
    choices.line_type_key = SelectedKey(dialog, IDC_TABLE_LINE_TYPE);
    choices.cell_height_key = SelectedKey(dialog, IDC_TABLE_CELL_HEIGHT);
    choices.page_number_key = SelectedKey(dialog, IDC_TABLE_PAGE_NUMBERS);
    return choices;
}

using TableLookEdit = ModalEdit<TableLook>;

TableLook* EditedLook(HWND dialog) {
    return &DialogData<TableLookEdit>(dialog)->value;
}

INT_PTR CALLBACK TablePropertiesProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            const TableLook& look = reinterpret_cast<TableLookEdit*>(lparam)->value;
            ShowChoices(dialog, TableChoicesFromStyle(look.style));
            ShowOptionChoices(dialog, PrintOptionChoicesFrom(look.options));
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK && HIWORD(wparam) == 0) {
                TableLook* look = EditedLook(dialog);
                look->style = ApplyTableChoices(look->style, ReadChoices(dialog));
                look->options = ApplyPrintOptionChoices(look->options, ReadOptionChoices(dialog));
                EndDialog(dialog, kDialogOk);
                return TRUE;
            }
            break;
        default:
            break;
    }
    return CommonDialogProc(dialog, message, wparam, lparam);
}

}  // namespace

bool Dialog_TableProperties(HWND owner, TableLook& look) {
    return EditModally(owner, "TableProperties", TablePropertiesProc, look);
}
