// The sort dialog: three drop-down lists, column, order and data type.
#include "dialogs/sort_dialog_win32.h"

#include "dialogs/dialog_helpers_win32.h"
#include "resources/resource_ids.h"

const OptionEntry kSortOrderOptions[] = {
    {SortDirection::Ascending, "В нарастващ ред"},
    {SortDirection::Descending, "В намаляващ ред"},
    {0, nullptr},
};

const OptionEntry kKeyTypeOptions[] = {
    {KeyType::Text + 1, "Текст"},
    {KeyType::Number + 1, "Число"},
    {KeyType::Alphabetical + 1, "Азбучно"},
    {KeyType::Amount + 1, "Сума (1 234,56)"},
    {KeyType::Date + 1, "Дата (дд.мм.гггг)"},
    {0, nullptr},
};

namespace {

// The request being edited and the columns the caller offers.
using SortEdit = ModalEdit<SortRequest, const std::vector<DialogChoice>*>;

SortEdit* Edited(HWND dialog) {
    return DialogData<SortEdit>(dialog);
}

void ShowRequest(HWND dialog, const SortEdit& edit) {
    for (const DialogChoice& column : *edit.extra) {
        AddKeyedString(dialog, IDC_SORT_COLUMN, column.key, column.title.c_str());
    }
    FitComboDropDown(dialog, IDC_SORT_COLUMN);
    ComboSelect(dialog, IDC_SORT_COLUMN, 0);
    // No column to sort by (only the row numbers are shown): OK has nothing to do.
    if (ComboSelection(dialog, IDC_SORT_COLUMN) < 0) EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    FillCombo(dialog, IDC_SORT_ORDER, kSortOrderOptions, edit.value.direction);
    FillCombo(dialog, IDC_SORT_DATA_TYPE, kKeyTypeOptions, edit.value.data_type + 1);
}

INT_PTR CALLBACK SortProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            ShowRequest(dialog, *reinterpret_cast<SortEdit*>(lparam));
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK && HIWORD(wparam) == 0) {
                // Enter reaches here even with the button disabled.
                if (ComboSelection(dialog, IDC_SORT_COLUMN) < 0) return TRUE;
                SortRequest& request = Edited(dialog)->value;
                request.column = SelectedKey(dialog, IDC_SORT_COLUMN);
                request.direction = SelectedKey(dialog, IDC_SORT_ORDER);
                request.data_type = SelectedKey(dialog, IDC_SORT_DATA_TYPE) - 1;
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

bool Dialog_Sort(HWND owner, const std::vector<DialogChoice>& columns, SortRequest& request) {
    return EditModally(owner, "Sort", SortProc, request, &columns);
}
