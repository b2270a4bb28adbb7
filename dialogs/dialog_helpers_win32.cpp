// The Win32 side of the dialog helpers: message boxes, the fallback procedure, controls by id.
#include "dialogs/dialog_helpers_win32.h"

#include <commdlg.h>

#include <string>

namespace {

// The control, or null when the dialog has none with that id.
HWND Control(HWND dialog, int id) {
    return dialog != nullptr ? GetDlgItem(dialog, id) : nullptr;
}

LRESULT SendTo(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
    return SendMessageA(control, message, wparam, lparam);
}

// Selects `index` after a fill: no match leaves nothing selected.
void FitAndSelect(HWND dialog, int id, int index) {
    FitComboDropDown(dialog, id);
    ComboSelect(dialog, id, index);
}

}  // namespace

int ShowMessage(HWND owner, UINT flags, const char* title, const char* line1, const char* line2,
                const char* line3, const char* line4, const char* line5) {
    const std::string text = JoinMessageLines(line1, line2, line3, line4, line5);
    return MessageBoxA(owner, text.c_str(), title, flags);
}

INT_PTR CALLBACK CommonDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wparam) == 0 && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
                EndDialog(dialog, LOWORD(wparam));
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            EndDialog(dialog, kDialogCancel);
            return TRUE;
        case WM_HELP:
            SendMessageA(GetParent(dialog), WM_HELP, wparam, lparam);
            return TRUE;
        default:
            return FALSE;
    }
}

bool ChooseSaveFile(HWND owner, char* file, char* filter, const char* default_extension, int filter_index) {
    FilterBarsToNuls(filter);
    OPENFILENAMEA request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = filter;
    request.nFilterIndex = static_cast<DWORD>(filter_index);
    request.lpstrFile = file;
    request.nMaxFile = MAX_PATH;
    request.Flags = 0;
    request.lpstrDefExt = default_extension;
    if (!GetSaveFileNameA(&request)) return false;
    // The chooser leaves a hole in the dialog underneath until it repaints.
    UpdateWindow(owner);
    return true;
}

void EnableControl(HWND dialog, int id, bool enabled) {
    if (HWND control = Control(dialog, id)) EnableWindow(control, enabled ? TRUE : FALSE);
}

void SetCheck(HWND dialog, int id, bool checked) {
    if (HWND control = Control(dialog, id)) SendTo(control, BM_SETCHECK, checked ? 1 : 0, 0);
}

bool IsChecked(HWND dialog, int id) {
    HWND control = Control(dialog, id);
    return control != nullptr && SendTo(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void FocusAndSelect(HWND dialog, int id) {
    if (HWND control = Control(dialog, id)) {
        SendTo(control, EM_SETSEL, 0, -1);
        SetFocus(control);
    }
}

void SetControlText(HWND dialog, int id, const char* text) {
    if (HWND control = Control(dialog, id)) SetWindowTextA(control, text);
}

void GetControlText(HWND dialog, int id, char* buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) return;
    buffer[0] = '\0';
    if (HWND control = Control(dialog, id)) {
        SendTo(control, WM_GETTEXT, capacity, reinterpret_cast<LPARAM>(buffer));
        buffer[capacity - 1] = '\0';
    }
}

void ComboAdd(HWND dialog, int id, const char* text) {
    if (HWND control = Control(dialog, id)) {
        SendTo(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
}

void ComboSetItemData(HWND dialog, int id, int index, std::int32_t key) {
    if (HWND control = Control(dialog, id)) SendTo(control, CB_SETITEMDATA, index, key);
}

std::int32_t ComboGetItemData(HWND dialog, int id, int index) {
    HWND control = Control(dialog, id);
    if (control == nullptr) return 0;
    return static_cast<std::int32_t>(SendTo(control, CB_GETITEMDATA, index, 0));
}

void ComboSelect(HWND dialog, int id, int index) {
    if (HWND control = Control(dialog, id)) SendTo(control, CB_SETCURSEL, index, 0);
}

int ComboSelection(HWND dialog, int id) {
    HWND control = Control(dialog, id);
    if (control == nullptr) return -1;
    const LRESULT selection = SendTo(control, CB_GETCURSEL, 0, 0);
    return selection == CB_ERR ? -1 : static_cast<int>(selection);
}

void ListAdd(HWND dialog, int id, const char* text) {
    if (HWND control = Control(dialog, id)) {
        SendTo(control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
}

void ListItemText(HWND dialog, int id, int index, char* buffer) {
    if (HWND control = Control(dialog, id)) {
        SendTo(control, LB_GETTEXT, index, reinterpret_cast<LPARAM>(buffer));
    }
}

void ListSelect(HWND dialog, int id, int index) {
    if (HWND control = Control(dialog, id)) SendTo(control, LB_SETCURSEL, index, 0);
}

int ListSelection(HWND dialog, int id) {
    HWND control = Control(dialog, id);
    if (control == nullptr) return -1;
    const LRESULT selection = SendTo(control, LB_GETCURSEL, 0, 0);
    return selection == LB_ERR ? -1 : static_cast<int>(selection);
}

void ListSelectAll(HWND dialog, int id, bool selected) {
    HWND control = Control(dialog, id);
    if (control == nullptr) return;
    const LRESULT count = SendTo(control, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) SendTo(control, LB_SETSEL, selected ? TRUE : FALSE, i);
}

void FillCombo(HWND dialog, int id, const OptionEntry* table, std::int32_t key) {
    const int count = OptionCount(table);
    for (int i = 0; i < count; ++i) {
        ComboAdd(dialog, id, table[i].text);
        ComboSetItemData(dialog, id, i, table[i].key);
    }
    FitAndSelect(dialog, id, OptionIndexOfKey(table, key));
}

void FillNumberCombo(HWND dialog, int id, int count, int first, int step, int selected) {
    for (int i = 0; i < count; ++i) {
        const int value = first + step * i;
        ComboAdd(dialog, id, std::to_string(value).c_str());
        ComboSetItemData(dialog, id, i, value);
    }
    FitAndSelect(dialog, id, NumberIndexOfValue(count, first, step, selected));
}

void AddKeyedString(HWND dialog, int id, std::int32_t key, const char* text) {
    HWND control = Control(dialog, id);
    if (control == nullptr) return;
    SendTo(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    const LRESULT count = SendTo(control, CB_GETCOUNT, 0, 0);
    if (count > 0) SendTo(control, CB_SETITEMDATA, count - 1, key);
}

std::int32_t SelectedKey(HWND dialog, int id) {
    const int selection = ComboSelection(dialog, id);
    return selection < 0 ? 0 : ComboGetItemData(dialog, id, selection);
}

void FitComboDropDown(HWND dialog, int id) {
    HWND combo = Control(dialog, id);
    if (combo == nullptr) return;
    const LRESULT count = SendTo(combo, CB_GETCOUNT, 0, 0);
    if (count == CB_ERR) return;
    // The height of the device context's own font, as the list's items are measured against.
    HDC dc = GetDC(combo);
    if (dc == nullptr) return;
    TEXTMETRICA metrics = {};
    const BOOL measured = GetTextMetricsA(dc, &metrics);
    ReleaseDC(combo, dc);
    if (!measured) return;

    RECT rect;
    GetWindowRect(combo, &rect);
    POINT top_left = {rect.left, rect.top};
    ScreenToClient(GetParent(combo), &top_left);
    const int extra = DropDownExtraHeight(static_cast<int>(count), metrics.tmHeight);
    MoveWindow(combo, top_left.x, top_left.y, rect.right - rect.left,
               rect.bottom - rect.top + extra, FALSE);
}

void ShowInteger(HWND dialog, int id, std::int32_t value) {
    SetControlText(dialog, id, IntegerText(value).c_str());
}

void ShowHundredths(HWND dialog, int id, std::int32_t value) {
    SetControlText(dialog, id, HundredthsText(value).c_str());
}

bool ReadInteger(HWND dialog, int id, std::int32_t& value, bool* negative) {
    char text[kNumberFieldCapacity];
    GetControlText(dialog, id, text, sizeof text);
    if (negative != nullptr) *negative = IsNegativeNumberText(text);
    return DecimalFieldValue(text, value);
}

bool ReadHundredths(HWND dialog, int id, std::int32_t& value, bool* negative) {
    char text[kNumberFieldCapacity];
    GetControlText(dialog, id, text, sizeof text);
    if (negative != nullptr) *negative = IsNegativeNumberText(text);
    return HundredthsFieldValue(text, value);
}

bool RunModalDialog(HWND owner, const char* name, DLGPROC procedure, void* data) {
    const auto module = owner != nullptr
                            ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE))
                            : GetModuleHandleA(nullptr);
    return DialogBoxParamA(module, name, owner, procedure, reinterpret_cast<LPARAM>(data)) == kDialogOk;
}
