// The visible columns dialog: a multiple-selection list of the column titles.
#include "dialogs/visible_columns_dialog_win32.h"

#include "dialogs/dialog_helpers_win32.h"
#include "resources/resource_ids.h"

namespace {

// The flags being edited and the columns the caller lists.
using VisibleColumnsEdit = ModalEdit<std::vector<std::uint8_t>, const std::vector<DialogChoice>*>;

VisibleColumnsEdit* Edited(HWND dialog) {
    return DialogData<VisibleColumnsEdit>(dialog);
}

void ShowColumns(HWND dialog, const VisibleColumnsEdit& edit) {
    HWND list = GetDlgItem(dialog, IDC_VISIBLE_COLUMNS_LIST);
    const std::vector<DialogChoice>& columns = *edit.extra;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        ListAdd(dialog, IDC_VISIBLE_COLUMNS_LIST, columns[i].title.c_str());
        if (i < edit.value.size() && edit.value[i] == 1) SendMessageA(list, LB_SETSEL, TRUE, static_cast<LPARAM>(i));
    }
}

// Takes the selection as the flags; false, with the message shown, when nothing is selected.
bool TakeSelection(HWND dialog, std::vector<std::uint8_t>& visible) {
    HWND list = GetDlgItem(dialog, IDC_VISIBLE_COLUMNS_LIST);
    bool any = false;
    for (std::size_t i = 0; i < visible.size(); ++i) {
        visible[i] = SendMessageA(list, LB_GETSEL, i, 0) >= 1 ? 1 : 0;
        any = any || visible[i] == 1;
    }
    if (!any) {
        ShowMessage(dialog, MB_ICONINFORMATION, kMessageTitle, "В таблицата трябва да има",
                    "поне една видима колона !");
    }
    return any;
}

INT_PTR CALLBACK VisibleColumnsProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            ShowColumns(dialog, *reinterpret_cast<VisibleColumnsEdit*>(lparam));
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDC_VISIBLE_COLUMNS_ALL:
                    ListSelectAll(dialog, IDC_VISIBLE_COLUMNS_LIST, true);
                    return TRUE;
                case IDC_VISIBLE_COLUMNS_NONE:
                    ListSelectAll(dialog, IDC_VISIBLE_COLUMNS_LIST, false);
                    return TRUE;
                case IDOK:
                    if (HIWORD(wparam) != 0) break;
                    if (TakeSelection(dialog, Edited(dialog)->value)) EndDialog(dialog, kDialogOk);
                    return TRUE;
                default:
                    break;
            }
            break;
        default:
            break;
    }
    return CommonDialogProc(dialog, message, wparam, lparam);
}

}  // namespace

bool Dialog_VisibleColumns(HWND owner, const std::vector<DialogChoice>& columns,
                           std::vector<std::uint8_t>& visible) {
    return EditModally(owner, "VisibleColumns", VisibleColumnsProc, visible, &columns);
}
