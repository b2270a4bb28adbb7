// The filter dialog: a column list, the "from" and "to" fields and the data-type list.
#include "dialogs/filter_dialog_win32.h"

#include <cstring>

#include "dialogs/dialog_helpers_win32.h"
#include "dialogs/sort_dialog_win32.h"
#include "resources/resource_ids.h"

namespace {

// The bound fields are read with this capacity: at most 126 characters and the terminator.
constexpr std::size_t kBoundFieldCapacity = 127;

// The request being edited and the columns the caller offers.
using FilterEdit = ModalEdit<FilterRequest, const std::vector<DialogChoice>*>;

FilterEdit* Edited(HWND dialog) {
    return DialogData<FilterEdit>(dialog);
}

void ShowRequest(HWND dialog, const FilterEdit& edit) {
    for (const DialogChoice& column : *edit.extra) {
        AddKeyedString(dialog, IDC_FILTER_COLUMN, column.key, column.title.c_str());
    }
    FitComboDropDown(dialog, IDC_FILTER_COLUMN);
    ComboSelect(dialog, IDC_FILTER_COLUMN, 0);
    // No visible column (a layout file that hides them all): OK has nothing to do.
    if (ComboSelection(dialog, IDC_FILTER_COLUMN) < 0) EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    FillCombo(dialog, IDC_FILTER_DATA_TYPE, kKeyTypeOptions, edit.value.data_type + 1);
}

void TakeRequest(HWND dialog, FilterRequest& request) {
    request.column = SelectedKey(dialog, IDC_FILTER_COLUMN);
    std::memset(request.from, 0, sizeof request.from);
    std::memset(request.to, 0, sizeof request.to);
    GetControlText(dialog, IDC_FILTER_FROM, request.from, kBoundFieldCapacity);
    GetControlText(dialog, IDC_FILTER_TO, request.to, kBoundFieldCapacity);
    request.data_type = SelectedKey(dialog, IDC_FILTER_DATA_TYPE) - 1;
}

INT_PTR CALLBACK FilterProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            ShowRequest(dialog, *reinterpret_cast<FilterEdit*>(lparam));
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK && HIWORD(wparam) == 0) {
                if (ComboSelection(dialog, IDC_FILTER_COLUMN) < 0) return TRUE;
                TakeRequest(dialog, Edited(dialog)->value);
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

bool Dialog_Filter(HWND owner, const std::vector<DialogChoice>& columns, FilterRequest& request) {
    return EditModally(owner, "Filter", FilterProc, request, &columns);
}
