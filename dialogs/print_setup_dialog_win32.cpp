// The print setup dialog: target list, printer list, six size fields and the dot-matrix options.
#include "dialogs/print_setup_dialog_win32.h"

#include <cstring>
#include <string>
#include <vector>

#include "dialogs/dialog_helpers_win32.h"
#include "dialogs/print_setup_rules.h"
#include "print/printer_names.h"
#include "print/printer_services_win32.h"
#include "resources/resource_ids.h"

namespace {

// While the dialog is open: where Windows' default printer lies in the printer list (-1 when
// it is not there), the printer used for the default target.
struct PrinterListState {
    int default_printer_index = -1;
};
using PrintSetupEdit = ModalEdit<PrintSettings, PrinterListState>;

PrintSetupEdit* Edited(HWND dialog) {
    return DialogData<PrintSetupEdit>(dialog);
}

// Margin fields in the order they are checked: left, right, top, bottom.
int MarginFieldId(MarginSide side) {
    switch (side) {
        case MarginSide::Left: return IDC_PRINT_SETUP_LEFT;
        case MarginSide::Right: return IDC_PRINT_SETUP_RIGHT;
        case MarginSide::Top: return IDC_PRINT_SETUP_TOP;
        case MarginSide::Bottom: return IDC_PRINT_SETUP_BOTTOM;
        case MarginSide::None: break;
    }
    return 0;
}

// The dot-matrix printer counts characters and lines; Windows printers hundredths of a mm.
void ShowSize(HWND dialog, int id, std::int32_t target, std::int32_t value) {
    if (target == kDotMatrixPrinter) {
        ShowInteger(dialog, id, value);
    } else {
        ShowHundredths(dialog, id, value);
    }
}

// The size fields in reading order.
struct SizeField {
    int id;
    PaperField field;
    std::int32_t PaperFields::*value;
};
constexpr SizeField kSizeFields[] = {
    {IDC_PRINT_SETUP_WIDTH, PaperField::Width, &PaperFields::width},
    {IDC_PRINT_SETUP_LEFT, PaperField::Left, &PaperFields::left},
    {IDC_PRINT_SETUP_RIGHT, PaperField::Right, &PaperFields::right},
    {IDC_PRINT_SETUP_HEIGHT, PaperField::Height, &PaperFields::height},
    {IDC_PRINT_SETUP_TOP, PaperField::Top, &PaperFields::top},
    {IDC_PRINT_SETUP_BOTTOM, PaperField::Bottom, &PaperFields::bottom},
};

// One field's number; false when the field cannot hold what was typed (`too_small` tells which
// way it went past), and `value` is then left as it was.
bool ReadSize(HWND dialog, int id, std::int32_t target, std::int32_t& value, bool& too_small) {
    std::int32_t read = 0;
    too_small = false;
    const bool fits = target == kDotMatrixPrinter ? ReadInteger(dialog, id, read, &too_small)
                                                  : ReadHundredths(dialog, id, read, &too_small);
    if (!fits || !PaperFieldHolds(target, read)) return false;
    value = read;
    return true;
}

void ShowPaperFields(HWND dialog, std::int32_t target, const PaperFields& fields) {
    for (const SizeField& size : kSizeFields) ShowSize(dialog, size.id, target, fields.*size.value);
}

// The six fields as typed. Returns the first field that cannot hold its number (its value in
// `fields` left as it was), or null when every field was read.
const SizeField* ReadPaperFields(HWND dialog, std::int32_t target, PaperFields& fields, bool& too_small) {
    const SizeField* refused = nullptr;
    for (const SizeField& size : kSizeFields) {
        bool below = false;
        if (ReadSize(dialog, size.id, target, fields.*size.value, below) || refused != nullptr) continue;
        refused = &size;
        too_small = below;
    }
    return refused;
}

// Refuses a number a size field cannot hold: the field's two lines, then the field focused with
// its text selected, so that typing replaces it.
void RefuseSize(HWND dialog, std::int32_t target, const SizeField& size, bool too_small) {
    const std::string second_line = PaperFieldRefusalSecondLine(target, size.field, too_small);
    ShowMessage(dialog, MB_ICONHAND, kMessageTitle, PaperFieldRefusalFirstLine(size.field), second_line.c_str());
    FocusAndSelect(dialog, size.id);
}

// The printer list's entry as shown, blanks trimmed at both ends; empty without that entry.
std::string PrinterAt(HWND dialog, int index) {
    HWND list = GetDlgItem(dialog, IDC_PRINT_SETUP_PRINTERS);
    if (list == nullptr || index < 0) return std::string();
    const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR || length < 0) return std::string();
    std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
    ListItemText(dialog, IDC_PRINT_SETUP_PRINTERS, index, text.data());
    TrimText(text.data());
    return std::string(text.data());
}

// The named printer's paper and unprintable strips in hundredths of a millimetre; false when
// no information context opens for it.
bool ReadPrinterPaper(const std::string& name, PageMetrics& metrics) {
    if (name.empty()) return false;
    HDC info = CreateICA(nullptr, name.c_str(), nullptr, nullptr);
    if (info == nullptr) return false;
    metrics = ReadPageMetrics(info, true);
    DeleteDC(info);
    return true;
}

// The selected printer's paper size in the fields and the margins widened to its strips.
void ApplyPrinter(HWND dialog, PrintSetupEdit& edit) {
    const std::int32_t target = edit.value.printer_kind;
    if (target == kDotMatrixPrinter) return;
    const int selected = ListSelection(dialog, IDC_PRINT_SETUP_PRINTERS);
    if (selected < 0) return;
    PageMetrics metrics{};
    if (!ReadPrinterPaper(PrinterAt(dialog, selected), metrics)) return;
    PaperFields typed;
    bool too_small = false;
    const SizeField* refused = ReadPaperFields(dialog, target, typed, too_small);
    const PaperFields adopted = AdoptPrinterPaper(typed, metrics);
    // A number the field cannot hold stays as typed, for OK to refuse.
    for (const SizeField& size : kSizeFields) {
        if (&size != refused) ShowSize(dialog, size.id, target, adopted.*size.value);
    }
}

// The print mode list means something only for a known dot-matrix model.
void UpdateModeList(HWND dialog, PrintSetupEdit& edit) {
    if (edit.value.printer_kind == kDotMatrixPrinter &&
        ComboSelection(dialog, IDC_PRINT_SETUP_MODEL) > 0) {
        EnableControl(dialog, IDC_PRINT_SETUP_MODE, true);
        return;
    }
    ComboSelect(dialog, IDC_PRINT_SETUP_MODE, 0);
    EnableControl(dialog, IDC_PRINT_SETUP_MODE, false);
}

// The target now selected: the printer list's selection, enabling, unit caption and the sizes a
// change between Windows printers and the dot-matrix printer brings.
void ApplyTarget(HWND dialog, PrintSetupEdit& edit) {
    const std::int32_t target = SelectedKey(dialog, IDC_PRINT_SETUP_TARGET);
    if (target == kDotMatrixPrinter) {
        ListSelect(dialog, IDC_PRINT_SETUP_PRINTERS, -1);
    } else if (target == kDefaultWindowsPrinter) {
        ListSelect(dialog, IDC_PRINT_SETUP_PRINTERS, edit.extra.default_printer_index);
    }
    EnableControl(dialog, IDC_PRINT_SETUP_PRINTERS, target == kOtherWindowsPrinter);
    const bool dot_matrix = target == kDotMatrixPrinter;
    SetControlText(dialog, IDC_PRINT_SETUP_UNITS, PaperUnitCaption(target));
    EnableControl(dialog, IDC_PRINT_SETUP_WIDTH, dot_matrix);
    EnableControl(dialog, IDC_PRINT_SETUP_HEIGHT, dot_matrix);
    EnableControl(dialog, IDC_PRINT_SETUP_ORIENTATION, !dot_matrix);
    EnableControl(dialog, IDC_PRINT_SETUP_MODEL, dot_matrix);
    EnableControl(dialog, IDC_PRINT_SETUP_MODE, dot_matrix);
    EnableControl(dialog, IDC_PRINT_SETUP_DOS_CYRILLIC, dot_matrix);
    PrintSettings& settings = edit.value;
    if (SwitchPrintTarget(settings, target)) {
        ShowPaperFields(dialog, target, PaperFieldsOf(settings));
    }
    ApplyPrinter(dialog, edit);
    UpdateModeList(dialog, edit);
}

// The installed printers in the list: the record's own printer selected, Windows' default one
// remembered. Later entries of the same name win.
void FillPrinterList(HWND dialog, PrintSetupEdit& edit, const char* default_printer) {
    int selected = -1;
    int index = 0;
    for (const std::string& name : ListPrinters()) {
        ListAdd(dialog, IDC_PRINT_SETUP_PRINTERS, name.c_str());
        if (SamePrinterName(name.c_str(), edit.value.device_name)) selected = index;
        if (default_printer[0] != '\0' && SamePrinterName(name.c_str(), default_printer)) {
            edit.extra.default_printer_index = index;
        }
        ++index;
    }
    ListSelect(dialog, IDC_PRINT_SETUP_PRINTERS, selected);
}

void ShowSettings(HWND dialog, PrintSetupEdit& edit) {
    const PrintSettings& settings = edit.value;
    char default_printer[260] = {};
    DefaultPrinterName(default_printer, static_cast<int>(sizeof default_printer));
    FillCombo(dialog, IDC_PRINT_SETUP_TARGET, kPrintTargetOptions, settings.printer_kind);
    ShowPaperFields(dialog, settings.printer_kind, PaperFieldsOf(settings));
    FillCombo(dialog, IDC_PRINT_SETUP_ORIENTATION, kOrientationOptions,
              (settings.flags & kLandscapeFlag) != 0 ? kLandscapeKey : kPortraitKey);
    FillPrinterList(dialog, edit, default_printer);
    SetCheck(dialog, IDC_PRINT_SETUP_MANUAL_FEED, settings.paper_feed == 0);
    SetCheck(dialog, IDC_PRINT_SETUP_DOS_CYRILLIC, (settings.flags & kDosCyrillicFlag) != 0);
    FillCombo(dialog, IDC_PRINT_SETUP_MODEL, kDotMatrixTypeOptions, settings.dot_matrix_model);
    FillCombo(dialog, IDC_PRINT_SETUP_MODE, kPrintModeOptions, settings.dot_matrix_mode);
    // With the record's own target nothing is reset: only enabling, caption and printer paper.
    ApplyTarget(dialog, edit);
}

void ChangeMode(HWND dialog, PrintSetupEdit& edit) {
    PrintSettings& settings = edit.value;
    if (ChangePrintMode(settings, SelectedKey(dialog, IDC_PRINT_SETUP_MODE))) {
        ShowInteger(dialog, IDC_PRINT_SETUP_WIDTH, settings.paper_width);
    }
}

void SetFlag(PrintSettings& settings, std::int32_t flag, bool set) {
    settings.flags = set ? (settings.flags | flag) : (settings.flags & ~flag);
}

// OK: false keeps the dialog open (a message has said why, where there is one to say).
bool StoreSettings(HWND dialog, PrintSetupEdit& edit) {
    PrintSettings& settings = edit.value;
    const std::int32_t target = settings.printer_kind;
    settings.paper_feed = IsChecked(dialog, IDC_PRINT_SETUP_MANUAL_FEED) ? 0 : 1;
    SetFlag(settings, kDosCyrillicFlag, IsChecked(dialog, IDC_PRINT_SETUP_DOS_CYRILLIC));
    settings.dot_matrix_model = 0;
    settings.dot_matrix_mode = 0;
    if (target == kDotMatrixPrinter) {
        settings.dot_matrix_model = SelectedKey(dialog, IDC_PRINT_SETUP_MODEL);
        settings.dot_matrix_mode = SelectedKey(dialog, IDC_PRINT_SETUP_MODE);
    }
    PaperFields fields = PaperFieldsOf(settings);
    bool too_small = false;
    if (const SizeField* refused = ReadPaperFields(dialog, target, fields, too_small)) {
        RefuseSize(dialog, target, *refused, too_small);
        return false;
    }
    StorePaperFields(settings, fields);
    // A negative count of characters or lines would print past the paper's edge.
    const MarginShortfall negative =
        target == kDotMatrixPrinter ? FindNegativeMargin(fields) : MarginShortfall{};
    if (negative.side != MarginSide::None) {
        ShowMessage(dialog, MB_ICONHAND, kMessageTitle, MarginRefusalFirstLine(negative.side),
                    CountMarginRefusalSecondLine(negative.side));
        ShowInteger(dialog, MarginFieldId(negative.side), 0);
        FocusAndSelect(dialog, MarginFieldId(negative.side));
        return false;
    }
    if (!MarginsLeavePrintableArea(fields)) return false;
    SetFlag(settings, kLandscapeFlag,
            SelectedKey(dialog, IDC_PRINT_SETUP_ORIENTATION) == kLandscapeKey);
    if (target == kDotMatrixPrinter) {
        std::memset(settings.device_name, 0, sizeof settings.device_name);
        std::strcpy(settings.device_name, "LPT1");
        return true;
    }
    const int index = target == kDefaultWindowsPrinter
                          ? edit.extra.default_printer_index
                          : ListSelection(dialog, IDC_PRINT_SETUP_PRINTERS);
    if (index < 0) {
        ShowMessage(dialog, MB_ICONHAND, kMessageTitle, "Не е избран принтер !");
        return false;
    }
    const std::string printer = PrinterAt(dialog, index);
    std::memset(settings.device_name, 0, sizeof settings.device_name);
    std::strncpy(settings.device_name, printer.c_str(), sizeof settings.device_name - 1);
    PageMetrics metrics{};
    // A printer that gives no information is taken as it stands.
    if (!ReadPrinterPaper(printer, metrics)) return true;
    settings.paper_width = metrics.paper_width;
    settings.paper_height = metrics.paper_height;
    fields.width = metrics.paper_width;
    fields.height = metrics.paper_height;
    const MarginShortfall shortfall = FindMarginBelowStrip(fields, metrics);
    if (shortfall.side == MarginSide::None) return true;
    const std::string second_line = MarginRefusalSecondLine(shortfall.minimum);
    ShowMessage(dialog, MB_ICONHAND, kMessageTitle, MarginRefusalFirstLine(shortfall.side),
                second_line.c_str());
    const int field = MarginFieldId(shortfall.side);
    ShowHundredths(dialog, field, shortfall.minimum);
    FocusAndSelect(dialog, field);
    return false;
}

INT_PTR CALLBACK PrintSetupProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            PrintSetupEdit& edit = *reinterpret_cast<PrintSetupEdit*>(lparam);
            edit.value.device_name[sizeof edit.value.device_name - 1] = '\0';
            ShowSettings(dialog, edit);
            return TRUE;
        }
        case WM_COMMAND: {
            PrintSetupEdit* edit = Edited(dialog);
            if (edit == nullptr) break;
            const int id = LOWORD(wparam);
            const int code = HIWORD(wparam);
            switch (id) {
                case IDC_PRINT_SETUP_TARGET:
                    if (code == CBN_SELCHANGE) ApplyTarget(dialog, *edit);
                    return TRUE;
                case IDC_PRINT_SETUP_PRINTERS:
                    if (code == LBN_SELCHANGE) ApplyPrinter(dialog, *edit);
                    return TRUE;
                case IDC_PRINT_SETUP_MODEL:
                    if (code == CBN_SELCHANGE) UpdateModeList(dialog, *edit);
                    return TRUE;
                case IDC_PRINT_SETUP_MODE:
                    if (code == CBN_SELCHANGE) ChangeMode(dialog, *edit);
                    return TRUE;
                case IDOK:
                    if (code != 0) break;
                    if (StoreSettings(dialog, *edit)) EndDialog(dialog, kDialogOk);
                    return TRUE;
                default:
                    break;
            }
            break;
        }
        default:
            break;
    }
    return CommonDialogProc(dialog, message, wparam, lparam);
}

}  // namespace

bool Dialog_PrintSetup(HWND owner, PrintSettings& settings) {
    return EditModally(owner, "PrintSetup", PrintSetupProc, settings, PrinterListState{});
}
