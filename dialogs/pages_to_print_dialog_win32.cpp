// The pages-to-print dialog: two page numbers, the subset, the column groups and the copies.
#include "dialogs/pages_to_print_dialog_win32.h"

#include "dialogs/dialog_helpers_win32.h"
#include "resources/resource_ids.h"

const OptionEntry kPageSubsetOptions[] = {
    {1, "Всички страници"},
    {2, "Нечетни страници"},
    {3, "Четни (с разменени полета)"},
    {0, nullptr},
};

namespace {

// The column groups the request came with: the lists' indexes count from the first group as
// it was when the dialog opened; and whether the one-job box is offered.
struct GroupRange {
    std::int32_t first_group;
    std::int32_t last_group;
    bool offer_one_job;
};
// The request and the one-job choice, edited together.
struct PagesChoice {
    PageRequest request;
    bool one_job;
};
using PagesEdit = ModalEdit<PagesChoice, GroupRange>;

PagesEdit* Edited(HWND dialog) {
    return DialogData<PagesEdit>(dialog);
}

void ShowRequest(HWND dialog, PagesEdit& edit) {
    const PageRequest& request = edit.value.request;
    ShowInteger(dialog, IDC_PAGES_FROM, request.from_page);
    ShowInteger(dialog, IDC_PAGES_TO, request.to_page);
    // Every print starts from all pages, whatever subset the caller left in the request.
    FillCombo(dialog, IDC_PAGES_SUBSET, kPageSubsetOptions, 1);
    const int first = edit.extra.first_group;
    const int last = edit.extra.last_group;
    FillNumberCombo(dialog, IDC_PAGES_GROUP_FROM, last - first + 1, first, 1, first);
    FillNumberCombo(dialog, IDC_PAGES_GROUP_TO, last - first + 1, first, 1, last);
    FillNumberCombo(dialog, IDC_PAGES_COPIES, 5, 1, 1, 1);
    if (first == last) {
        EnableControl(dialog, IDC_PAGES_GROUP_FROM, false);
        EnableControl(dialog, IDC_PAGES_GROUP_TO, false);
    }
    if (edit.extra.offer_one_job) {
        SetCheck(dialog, IDC_PAGES_ONE_JOB, edit.value.one_job);
    } else {
        ShowWindow(GetDlgItem(dialog, IDC_PAGES_ONE_JOB), SW_HIDE);
    }
}

// A page number as typed; a number past 32 bits is refused with a message and the field
// focused with its text selected, and false keeps the dialog open.
bool ReadPageNumber(HWND dialog, int id, std::int32_t& page) {
    bool negative = false;
    if (ReadInteger(dialog, id, page, &negative)) return true;
    ShowMessage(dialog, MB_ICONHAND, kMessageTitle, "Номерът на страницата не може да бъде",
                negative ? "по-малък от -2147483648 !" : "по-голям от 2147483647 !");
    FocusAndSelect(dialog, id);
    return false;
}

// False keeps the dialog open: a page number the field cannot hold, or the first column group
// after the last.
bool StoreRequest(HWND dialog, PagesEdit& edit) {
    PageRequest& request = edit.value.request;
    if (!ReadPageNumber(dialog, IDC_PAGES_FROM, request.from_page)) return false;
    if (!ReadPageNumber(dialog, IDC_PAGES_TO, request.to_page)) return false;
    request.page_subset = SelectedKey(dialog, IDC_PAGES_SUBSET) - 1;
    const GroupRange& groups = edit.extra;
    if (groups.first_group < groups.last_group) {
        const int to_index = ComboSelection(dialog, IDC_PAGES_GROUP_TO);
        if (to_index >= 0) request.column_group_to = groups.first_group + to_index;
        const int from_index = ComboSelection(dialog, IDC_PAGES_GROUP_FROM);
        if (from_index >= 0) request.column_group_from = groups.first_group + from_index;
    }
    if (request.column_group_from > request.column_group_to) return false;
    const int copies_index = ComboSelection(dialog, IDC_PAGES_COPIES);
    request.copies = copies_index >= 0 ? copies_index + 1 : 1;
    if (edit.extra.offer_one_job) edit.value.one_job = IsChecked(dialog, IDC_PAGES_ONE_JOB);
    return true;
}

INT_PTR CALLBACK PagesToPrintProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            ShowRequest(dialog, *reinterpret_cast<PagesEdit*>(lparam));
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK && HIWORD(wparam) == 0) {
                if (StoreRequest(dialog, *Edited(dialog))) EndDialog(dialog, kDialogOk);
                return TRUE;
            }
            break;
        default:
            break;
    }
    return CommonDialogProc(dialog, message, wparam, lparam);
}

}  // namespace

bool Dialog_PagesToPrint(HWND owner, PageRequest& request, bool* one_job) {
    const GroupRange groups{request.column_group_from, request.column_group_to, one_job != nullptr};
    PagesChoice choice{request, one_job != nullptr && *one_job};
    if (!EditModally(owner, "PagesToPrint", PagesToPrintProc, choice, groups)) return false;
    request = choice.request;
    if (one_job != nullptr) *one_job = choice.one_job;
    return true;
}
