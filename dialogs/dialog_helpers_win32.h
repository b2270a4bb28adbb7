// The layer every dialog is written against: message boxes, the fallback dialog procedure, the
// Save As chooser, control wrappers by dialog and id, keyed drop-down lists and number fields.
#ifndef LINTARO_DIALOGS_DIALOG_HELPERS_WIN32_H
#define LINTARO_DIALOGS_DIALOG_HELPERS_WIN32_H

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#include "dialogs/dialog_helpers.h"

// Dialog results; callers treat exactly kDialogOk as OK.
constexpr INT_PTR kDialogOk = 1;
constexpr INT_PTR kDialogCancel = 2;

// MessageBoxA(owner, the lines joined by CR LF, title, flags); lines may be null. Returns the
// MessageBoxA result. The program's title is always kMessageTitle.
int ShowMessage(HWND owner, UINT flags, const char* title, const char* line1,
                const char* line2 = nullptr, const char* line3 = nullptr,
                const char* line4 = nullptr, const char* line5 = nullptr);

// The dialog procedure every dialog falls back to for messages it does not handle itself:
// WM_INITDIALOG is accepted; buttons 1 and 2 (notification 0) end the dialog with their id;
// WM_CLOSE ends it with 2; WM_HELP goes on to the parent. Anything else: FALSE.
INT_PTR CALLBACK CommonDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Shows the dialog resource `name` modally over `owner` (the program's own module when there is
// no owner). `data` arrives as the WM_INITDIALOG parameter; a procedure that keeps it with
// SetWindowLongPtrA(dialog, DWLP_USER, lparam) finds it again through DialogData. True on OK.
bool RunModalDialog(HWND owner, const char* name, DLGPROC procedure, void* data);

template <typename Data>
Data* DialogData(HWND dialog) {
    return reinterpret_cast<Data*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// What a dialog opened by EditModally works on: the working copy of the caller's value, and
// what the dialog needs beside it (what the caller lends it to show, or its own state while it
// is open). The procedure finds it through DialogData<ModalEdit<Value, Extra>>.
struct NoExtra {};
template <typename Value, typename Extra = NoExtra>
struct ModalEdit {
    Value value;
    Extra extra;
};

// Settings are edited on a copy: runs the dialog resource `name` over a copy of `value` and
// gives `value` the copy only on OK, which is what the result says. Without memory for the
// copy the dialog does not open, as when the user cancels.
template <typename Value, typename Extra = NoExtra>
[[nodiscard]] bool EditModally(HWND owner, const char* name, DLGPROC procedure, Value& value, Extra extra = Extra{}) {
    ModalEdit<Value, Extra> edit{Value{}, std::move(extra)};
    try {
        edit.value = value;
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!RunModalDialog(owner, name, procedure, &edit)) return false;
    value = std::move(edit.value);
    return true;
}

// The Save As chooser. `file` (260 bytes) holds the proposed name and receives the chosen one;
// `filter` is "|"-separated and ends with "|", and is turned into the chooser's list in place;
// `filter_index` (from 1) is the type shown first, whose extension a name typed without one
// gets. The chooser does not ask about an existing file: the caller asks about the name it will
// finally write. Returns true when a file was chosen; the owner is then repainted at once.
bool ChooseSaveFile(HWND owner, char* file, char* filter, const char* default_extension,
                    int filter_index = 1);

// Control wrappers. Each finds the control with GetDlgItem; a missing control does nothing and
// gives the result named in its comment.
void EnableControl(HWND dialog, int id, bool enabled);
void SetCheck(HWND dialog, int id, bool checked);
bool IsChecked(HWND dialog, int id);  // exactly BST_CHECKED; missing: false
void FocusAndSelect(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const char* text);
// Reads at most capacity - 1 bytes and always terminates; missing: "".
void GetControlText(HWND dialog, int id, char* buffer, std::size_t capacity);
void ComboAdd(HWND dialog, int id, const char* text);
void ComboSetItemData(HWND dialog, int id, int index, std::int32_t key);
std::int32_t ComboGetItemData(HWND dialog, int id, int index);  // missing: 0
void ComboSelect(HWND dialog, int id, int index);                // -1 clears
int ComboSelection(HWND dialog, int id);                         // none or missing: -1
void ListAdd(HWND dialog, int id, const char* text);
// The caller's buffer must hold the item's text (LB_GETTEXTLEN + 1 bytes).
void ListItemText(HWND dialog, int id, int index, char* buffer);
void ListSelect(HWND dialog, int id, int index);  // -1 clears
int ListSelection(HWND dialog, int id);           // none or missing: -1
// Selects (or deselects) every item of a multiple-selection list box.
void ListSelectAll(HWND dialog, int id, bool selected);

// Fills an empty drop-down list with the table's texts in order, each carrying its key, fits
// its height and selects the last entry whose key is `key` (no selection when none is).
void FillCombo(HWND dialog, int id, const OptionEntry* table, std::int32_t key);

// Fills an empty drop-down list with count numbers first, first + step, ... as "%d" texts with
// their values as keys, fits it and selects `selected` (no selection when it is not listed).
void FillNumberCombo(HWND dialog, int id, int count, int first, int step, int selected);

// Adds one text to a drop-down list and gives the new last item the key.
void AddKeyedString(HWND dialog, int id, std::int32_t key, const char* text);

// The key of the selected entry; 0 when nothing is selected or the control is missing.
std::int32_t SelectedKey(HWND dialog, int id);


// Makes a drop-down list tall enough to show all its items up to ten (then it scrolls),
// keeping its position and width.
void FitComboDropDown(HWND dialog, int id);

// Number fields: integers as "%d", hundredths with two decimals; 0 shows an empty field.
// Reading takes at most 15 characters (see DecimalFieldValue and HundredthsFieldValue) and is
// false, with `value` untouched, for a number that does not fit 32 bits; `negative` then tells
// which way it went past.
void ShowInteger(HWND dialog, int id, std::int32_t value);
void ShowHundredths(HWND dialog, int id, std::int32_t value);
[[nodiscard]] bool ReadInteger(HWND dialog, int id, std::int32_t& value, bool* negative = nullptr);
[[nodiscard]] bool ReadHundredths(HWND dialog, int id, std::int32_t& value, bool* negative = nullptr);

#endif
