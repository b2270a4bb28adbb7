// The filter dialog: a column list, the "from" and "to" fields and the data-type list.
#include "dialogs/filter_dialog_win32.h"

#include <cstring>

#include "dialogs/dialog_helpers_win32.h"
#include "dialogs/sort_dialog_win32.h"
#include "resources/resource_ids.h"

namespace {

// The bound fields are read with this capacity: at most 126 characters and the terminator.
constexpr std::size_t kBoundFieldCapacity = 127;

struct FilterEdit {
    const GridModel* columns;
    FilterRequest* request;
};

FilterEdit* Edited(HWND dialog) {
    return DialogData<FilterEdit>(dialog);
}

void ShowRequest(HWND dialog, const FilterEdit& edit) {
    char title[kColumnTitleLimit];
    for (int column : ColumnsOfferedForFilter(*edit.columns)) {
        edit.columns->ColumnTitle(column, title, static_cast<int>(sizeof title) - 1);
        AddKeyedString(dialog, IDC_FILTER_COLUMN, column, title);
    }
    FitComboDropDown(dialog, IDC_FILTER_COLUMN);
    ComboSelect(dialog, IDC_FILTER_COLUMN, 0);
    // No visible column (a layout file that hides them all): OK has nothing to do.
    if (ComboSelection(dialog, IDC_FILTER_COLUMN) < 0) EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    FillCombo(dialog, IDC_FILTER_DATA_TYPE, kKeyTypeOptions, edit.request->data_type + 1);
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
                TakeRequest(dialog, *Edited(dialog)->request);
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

bool Dialog_Filter(HWND owner, const GridModel& columns, FilterRequest& request) {
    FilterRequest copy = request;
    FilterEdit edit{&columns, &copy};
    if (!RunModalDialog(owner, "Filter", FilterProc, &edit)) return false;
    request = copy;
    return true;
}
