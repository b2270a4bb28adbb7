// Tests of the dialog helpers on real controls, message boxes, dialogs and the Save As chooser.
#include "dialogs/dialog_helpers_win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kCombo = 101;
constexpr int kEdit = 102;
constexpr int kCheck = 103;
constexpr int kMultiList = 104;
constexpr int kList = 105;
constexpr int kMissing = 999;

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

// A top-level window holding one control of each kind the helpers address, by id.
class ControlHost : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA window_class = {};
        window_class.lpfnWndProc = PlainProc;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.lpszClassName = "DialogHelpersHost";
        RegisterClassA(&window_class);
        host_ = CreateWindowExA(0, "DialogHelpersHost", "host", WS_OVERLAPPEDWINDOW, 10, 10, 400,
                                300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(host_, nullptr);
        Add("COMBOBOX", kCombo, CBS_DROPDOWNLIST | WS_VSCROLL, 10, 10, 150, 200);
        Add("EDIT", kEdit, ES_AUTOHSCROLL | WS_BORDER, 10, 40, 150, 20);
        Add("BUTTON", kCheck, BS_AUTO3STATE, 10, 70, 150, 20);
        Add("LISTBOX", kMultiList, LBS_MULTIPLESEL | WS_BORDER, 200, 10, 150, 100);
        Add("LISTBOX", kList, WS_BORDER, 200, 120, 150, 100);
    }
    void TearDown() override {
        if (host_ != nullptr) DestroyWindow(host_);
    }
    void Add(const char* window_class, int id, DWORD style, int x, int y, int w, int h) {
        HWND control = CreateWindowExA(0, window_class, "", WS_CHILD | WS_VISIBLE | style, x, y, w,
                                       h, host_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                       GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(control, nullptr) << window_class;
    }
    std::vector<std::string> ComboTexts() const {
        std::vector<std::string> texts;
        HWND combo = GetDlgItem(host_, kCombo);
        const LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            char text[256] = {};
            SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            texts.push_back(text);
        }
        return texts;
    }
    std::string EditText() const {
        char text[256] = {};
        GetWindowTextA(GetDlgItem(host_, kEdit), text, sizeof text);
        return text;
    }
    // A field's number, or kRefused when the field cannot hold it.
    static constexpr std::int32_t kRefused = -777;
    std::int32_t Integer(int id) const {
        std::int32_t value = 0;
        return ReadInteger(host_, id, value) ? value : kRefused;
    }
    std::int32_t Hundredths(int id) const {
        std::int32_t value = 0;
        return ReadHundredths(host_, id, value) ? value : kRefused;
    }
    int DroppedHeight() const {
        RECT rect = {};
        SendMessageA(GetDlgItem(host_, kCombo), CB_GETDROPPEDCONTROLRECT, 0,
                     reinterpret_cast<LPARAM>(&rect));
        return rect.bottom - rect.top;
    }

    HWND host_ = nullptr;
};

// Keys out of order and a key used twice, as real option tables have them.
const OptionEntry kAlignment[] = {
    {1, "Ляво"}, {3, "Център"}, {2, "Дясно"}, {0, nullptr},
};

TEST_F(ControlHost, FillComboListsTextsInOrderWithTheirKeysAndSelectsTheKey) {
    FillCombo(host_, kCombo, kAlignment, 3);
    EXPECT_EQ(ComboTexts(), (std::vector<std::string>{"Ляво", "Център", "Дясно"}));
    EXPECT_EQ(ComboSelection(host_, kCombo), 1);
    EXPECT_EQ(SelectedKey(host_, kCombo), 3);
    EXPECT_EQ(ComboGetItemData(host_, kCombo, 2), 2);

    ComboSelect(host_, kCombo, 2);
    EXPECT_EQ(SelectedKey(host_, kCombo), 2);
    ComboSelect(host_, kCombo, -1);
    EXPECT_EQ(ComboSelection(host_, kCombo), -1);
    EXPECT_EQ(SelectedKey(host_, kCombo), 0);
}

TEST_F(ControlHost, FillComboWithAnUnknownKeySelectsNothing) {
    FillCombo(host_, kCombo, kAlignment, 9);
    EXPECT_EQ(ComboTexts().size(), 3u);
    EXPECT_EQ(ComboSelection(host_, kCombo), -1);
    EXPECT_EQ(SelectedKey(host_, kCombo), 0);
}

TEST_F(ControlHost, FillNumberComboListsTheValuesAsTextAndKeys) {
    FillNumberCombo(host_, kCombo, 5, 10, 5, 20);
    EXPECT_EQ(ComboTexts(), (std::vector<std::string>{"10", "15", "20", "25", "30"}));
    EXPECT_EQ(ComboSelection(host_, kCombo), 2);
    EXPECT_EQ(SelectedKey(host_, kCombo), 20);
    EXPECT_EQ(ComboGetItemData(host_, kCombo, 4), 30);
}

TEST_F(ControlHost, AddKeyedStringKeysTheNewLastItem) {
    AddKeyedString(host_, kCombo, -5, "минус пет");
    AddKeyedString(host_, kCombo, 1 << 30, "голямо");
    EXPECT_EQ(ComboTexts(), (std::vector<std::string>{"минус пет", "голямо"}));
    EXPECT_EQ(ComboGetItemData(host_, kCombo, 0), -5);
    EXPECT_EQ(ComboGetItemData(host_, kCombo, 1), 1 << 30);
    ComboSelect(host_, kCombo, 0);
    EXPECT_EQ(SelectedKey(host_, kCombo), -5);
}

TEST_F(ControlHost, FitComboDropDownShowsUpToTenItemsAndOneLineMore) {
    HWND combo = GetDlgItem(host_, kCombo);
    RECT before = {};
    GetWindowRect(combo, &before);
    HDC dc = GetDC(combo);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    ReleaseDC(combo, dc);
    const int line = metrics.tmHeight;
    ASSERT_GT(line, 0);
    const int closed = before.bottom - before.top;

    // Each fit grows the list from its current height, as the dialogs fit a fresh combo once.
    auto fit_fresh = [&](int items) {
        SendMessageA(combo, CB_RESETCONTENT, 0, 0);
        MoveWindow(combo, 10, 10, 150, closed, FALSE);
        for (int i = 0; i < items; ++i) ComboAdd(host_, kCombo, "x");
        FitComboDropDown(host_, kCombo);
        return DroppedHeight();
    };
    const int none = fit_fresh(0);
    EXPECT_EQ(fit_fresh(1), none);  // no items are sized as one
    EXPECT_EQ(fit_fresh(2), none + line);
    EXPECT_EQ(fit_fresh(10), none + 9 * line);
    EXPECT_EQ(fit_fresh(11), none + 9 * line);  // beyond ten the list scrolls
    EXPECT_EQ(fit_fresh(25), none + 9 * line);

    RECT after = {};
    GetWindowRect(combo, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right - after.left, 150);
}

TEST_F(ControlHost, TextAndNumberFieldsRoundTrip) {
    SetControlText(host_, kEdit, "Заглавие");
    char text[64];
    GetControlText(host_, kEdit, text, sizeof text);
    EXPECT_STREQ(text, "Заглавие");
    GetControlText(host_, kEdit, text, 4);  // cut to the capacity and always terminated
    EXPECT_EQ(std::strlen(text), 3u);

    ShowInteger(host_, kEdit, 0);
    EXPECT_EQ(EditText(), "");
    ShowInteger(host_, kEdit, -42);
    EXPECT_EQ(EditText(), "-42");
    EXPECT_EQ(Integer(kEdit), -42);
    SetControlText(host_, kEdit, "12 страници");
    EXPECT_EQ(Integer(kEdit), 12);
    SetControlText(host_, kEdit, "страници");
    EXPECT_EQ(Integer(kEdit), 0);

    ShowHundredths(host_, kEdit, 0);
    EXPECT_EQ(EditText(), "");
    EXPECT_EQ(Hundredths(kEdit), 0);
    for (std::int32_t value : {635, 21000, 29700, 5}) {
        ShowHundredths(host_, kEdit, value);
        EXPECT_EQ(Hundredths(kEdit), value) << EditText();
    }
    ShowHundredths(host_, kEdit, 21000);
    EXPECT_EQ(EditText(), "210.00");
    SetControlText(host_, kEdit, "  12.50  ");
    EXPECT_EQ(Hundredths(kEdit), 1250);
    SetControlText(host_, kEdit, "1.5");
    EXPECT_EQ(Hundredths(kEdit), 150);
    SetControlText(host_, kEdit, "10,5");
    EXPECT_EQ(Hundredths(kEdit), 1000);
    // Only 15 characters are read: the 16th digit is not part of the number.
    SetControlText(host_, kEdit, "0000000000000012");
    EXPECT_EQ(Integer(kEdit), 1);
    // Past 32 bits a number is refused, never wrapped.
    SetControlText(host_, kEdit, "4294967376");
    EXPECT_EQ(Integer(kEdit), kRefused);
}

TEST_F(ControlHost, CheckBoxesCountOnlyAFullCheck) {
    EXPECT_FALSE(IsChecked(host_, kCheck));
    SetCheck(host_, kCheck, true);
    EXPECT_TRUE(IsChecked(host_, kCheck));
    SendMessageA(GetDlgItem(host_, kCheck), BM_SETCHECK, BST_INDETERMINATE, 0);
    EXPECT_FALSE(IsChecked(host_, kCheck));
    SetCheck(host_, kCheck, false);
    EXPECT_FALSE(IsChecked(host_, kCheck));

    EnableControl(host_, kCheck, false);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(host_, kCheck)));
    EnableControl(host_, kCheck, true);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(host_, kCheck)));
}

TEST_F(ControlHost, ListBoxesAddSelectAndReadItems) {
    for (const char* text : {"първа", "втора", "трета"}) {
        ListAdd(host_, kList, text);
        ListAdd(host_, kMultiList, text);
    }
    char text[32] = {};
    ListItemText(host_, kList, 1, text);
    EXPECT_STREQ(text, "втора");
    EXPECT_EQ(ListSelection(host_, kList), -1);
    ListSelect(host_, kList, 2);
    EXPECT_EQ(ListSelection(host_, kList), 2);
    ListSelect(host_, kList, -1);
    EXPECT_EQ(ListSelection(host_, kList), -1);

    HWND multi = GetDlgItem(host_, kMultiList);
    ListSelectAll(host_, kMultiList, true);
    EXPECT_EQ(SendMessageA(multi, LB_GETSELCOUNT, 0, 0), 3);
    ListSelectAll(host_, kMultiList, false);
    EXPECT_EQ(SendMessageA(multi, LB_GETSELCOUNT, 0, 0), 0);
}

TEST_F(ControlHost, AMissingControlIsToleratedWithNeutralResults) {
    EnableControl(host_, kMissing, false);
    SetCheck(host_, kMissing, true);
    FocusAndSelect(host_, kMissing);
    SetControlText(host_, kMissing, "x");
    ComboAdd(host_, kMissing, "x");
    ComboSetItemData(host_, kMissing, 0, 5);
    ComboSelect(host_, kMissing, 0);
    ListAdd(host_, kMissing, "x");
    ListSelect(host_, kMissing, 0);
    ListSelectAll(host_, kMissing, true);
    FillCombo(host_, kMissing, kAlignment, 1);
    FitComboDropDown(host_, kMissing);
    char text[8] = "stale";
    GetControlText(host_, kMissing, text, sizeof text);
    EXPECT_STREQ(text, "");
    char item[8] = "stale";
    ListItemText(host_, kMissing, 0, item);
    EXPECT_STREQ(item, "stale");
    EXPECT_FALSE(IsChecked(host_, kMissing));
    EXPECT_EQ(ComboGetItemData(host_, kMissing, 0), 0);
    EXPECT_EQ(ComboSelection(host_, kMissing), -1);
    EXPECT_EQ(ListSelection(host_, kMissing), -1);
    EXPECT_EQ(SelectedKey(host_, kMissing), 0);
    EXPECT_EQ(Integer(kMissing), 0);
    EXPECT_EQ(Hundredths(kMissing), 0);
}

TEST_F(ControlHost, FocusAndSelectSelectsTheWholeField) {
    SetForegroundWindow(host_);
    SetControlText(host_, kEdit, "12.50");
    FocusAndSelect(host_, kEdit);
    DWORD start = 1, end = 0;
    SendMessageA(GetDlgItem(host_, kEdit), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 5u);
    EXPECT_EQ(GetFocus(), GetDlgItem(host_, kEdit));
}

// ---- modal windows: a thread timer acts on the dialog while the modal loop runs ------------

std::function<bool(HWND)> modal_action;  // returns true when it has done its work

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    char window_class[16] = {};
    GetClassNameA(window, window_class, sizeof window_class);
    if (IsWindowVisible(window) && std::strcmp(window_class, "#32770") == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK ActOnModal(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog != nullptr && modal_action && modal_action(dialog)) {
        KillTimer(nullptr, timer);
        modal_action = nullptr;
    }
}

// Runs `modal` (which opens a modal window and returns its result) while `action` works on the
// first visible dialog of this thread.
template <typename Result>
Result WhileModal(std::function<bool(HWND)> action, std::function<Result()> modal) {
    modal_action = std::move(action);
    SetTimer(nullptr, 0, 30, ActOnModal);
    Result result = modal();
    modal_action = nullptr;
    return result;
}

std::string ChildText(HWND dialog, int id) {
    char text[1024] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

std::string Caption(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

TEST(ShowMessage, JoinsTheLinesUnderTheTitleAndReturnsTheButton) {
    std::string caption, text;
    const int result = WhileModal<int>(
        [&](HWND box) {
            caption = Caption(box);
            text = ChildText(box, 0xFFFF);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return true;
        },
        [] {
            return ShowMessage(nullptr, MB_ICONINFORMATION, kMessageTitle, "Няма записи, отговарящи",
                               "на зададеното условие.");
        });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(caption, "Lintaro 2.0");
    EXPECT_EQ(text, "Няма записи, отговарящи\r\nна зададеното условие.");
}

TEST(ShowMessage, SkipsMissingLinesAndOffersCancelWithFlag33) {
    std::string text;
    bool has_cancel = false;
    const int result = WhileModal<int>(
        [&](HWND box) {
            text = ChildText(box, 0xFFFF);
            has_cancel = GetDlgItem(box, IDCANCEL) != nullptr;
            PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
            return true;
        },
        [] { return ShowMessage(nullptr, 33, kMessageTitle, nullptr, "две", nullptr, nullptr, "пет"); });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(has_cancel);
    EXPECT_EQ(text, "\r\nдве\r\nпет");
}

// An in-memory dialog with an Ok and a Cancel button, for the common dialog procedure.
struct DialogTemplate {
    std::vector<WORD> words;
    void Align() {
        if (words.size() % 2 != 0) words.push_back(0);
    }
    void Add(DWORD value) {
        words.push_back(LOWORD(value));
        words.push_back(HIWORD(value));
    }
    void Text(const wchar_t* text) {
        for (; *text; ++text) words.push_back(static_cast<WORD>(*text));
        words.push_back(0);
    }
    void Button(int id, const wchar_t* text, short x) {
        Align();  // items start on a DWORD boundary
        Add(WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON);
        Add(0);
        for (short v : {x, short(10), short(40), short(14)}) words.push_back(static_cast<WORD>(v));
        words.push_back(static_cast<WORD>(id));
        words.push_back(0xFFFF);
        words.push_back(0x0080);  // button class
        Text(text);
        words.push_back(0);
    }
    DialogTemplate() {
        Add(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE);
        Add(0);
        words.push_back(2);  // items
        for (short v : {short(10), short(10), short(120), short(40)}) words.push_back(static_cast<WORD>(v));
        words.push_back(0);  // no menu
        words.push_back(0);  // default class
        Text(L"Проба");
        Button(IDOK, L"Ok", 10);
        Button(IDCANCEL, L"Отказ", 60);
    }
};

INT_PTR RunCommonDialog(std::function<bool(HWND)> action) {
    static DialogTemplate dialog_template;
    return WhileModal<INT_PTR>(std::move(action), [] {
        return DialogBoxIndirectParamA(
            GetModuleHandleA(nullptr),
            reinterpret_cast<LPCDLGTEMPLATEA>(dialog_template.words.data()), nullptr,
            CommonDialogProc, 0);
    });
}

TEST(CommonDialogProc, EndsWithOneForOkAndTwoForCancelAndClose) {
    EXPECT_EQ(RunCommonDialog([](HWND d) { return PostMessageA(d, WM_COMMAND, IDOK, 0); }), kDialogOk);
    EXPECT_EQ(RunCommonDialog([](HWND d) { return PostMessageA(d, WM_COMMAND, IDCANCEL, 0); }),
              kDialogCancel);
    EXPECT_EQ(RunCommonDialog([](HWND d) { return PostMessageA(d, WM_CLOSE, 0, 0); }), kDialogCancel);
    // Escape reaches the dialog as Cancel.
    EXPECT_EQ(RunCommonDialog([](HWND d) {
                  SetFocus(GetDlgItem(d, IDOK));
                  return PostMessageA(GetDlgItem(d, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
              }),
              kDialogCancel);
}

TEST(CommonDialogProc, IgnoresOkWithANotificationCode) {
    int step = 0;
    const INT_PTR result = RunCommonDialog([&](HWND d) {
        if (step++ == 0) {
            // A notification from a control that happens to have id 1 does not end the dialog.
            SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDOK, 1), 0);
            return false;
        }
        return PostMessageA(d, WM_COMMAND, IDCANCEL, 0) != FALSE;
    });
    EXPECT_EQ(result, kDialogCancel);
    EXPECT_GE(step, 2);
}

BOOL CALLBACK FindEdit(HWND window, LPARAM found) {
    char window_class[16] = {};
    GetClassNameA(window, window_class, sizeof window_class);
    if (IsWindowVisible(window) && lstrcmpiA(window_class, "Edit") == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

TEST(ChooseSaveFile, ReturnsTheTypedNameWithTheDefaultExtension) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string wanted = std::string(folder) + "lintaro_save_test";
    DeleteFileA((wanted + ".txt").c_str());
    char file[MAX_PATH] = "proposed.txt";
    char filter[] = "Текст (*.txt)|*.txt|Всички|*.*|";
    std::string proposed;
    const bool chosen = WhileModal<bool>(
        [&](HWND dialog) {
            HWND edit = nullptr;
            EnumChildWindows(dialog, FindEdit, reinterpret_cast<LPARAM>(&edit));
            if (edit == nullptr) return false;
            char text[MAX_PATH] = {};
            GetWindowTextA(edit, text, sizeof text);
            proposed = text;
            SetWindowTextA(edit, wanted.c_str());
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
            return true;
        },
        [&] { return ChooseSaveFile(nullptr, file, filter, "txt"); });
    EXPECT_TRUE(chosen);
    EXPECT_EQ(proposed, "proposed.txt");
    EXPECT_EQ(lstrcmpiA(file, (wanted + ".txt").c_str()), 0) << file;
    // The filter became the chooser's NUL-separated list.
    EXPECT_STREQ(filter, "Текст (*.txt)");
    EXPECT_STREQ(filter + std::strlen("Текст (*.txt)") + 1, "*.txt");
}

TEST(ChooseSaveFile, CancelReturnsFalse) {
    char file[MAX_PATH] = "keep.txt";
    char filter[] = "Всички|*.*|";
    const bool chosen = WhileModal<bool>(
        [](HWND dialog) { return PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0) != FALSE; },
        [&] { return ChooseSaveFile(nullptr, file, filter, nullptr); });
    EXPECT_FALSE(chosen);
}

}  // namespace
