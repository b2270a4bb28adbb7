// The export dialog: the path box, the format and code table lists and the file chooser button.
#include "dialogs/export_dialog_win32.h"

#include <cstring>

#include "dialogs/dialog_helpers_win32.h"
#include "formats/path_rules.h"
#include "print/export_writers.h"
#include "resources/resource_ids.h"

const OptionEntry kExportFormatOptions[] = {
    {kExportPlainText + 1, "Нормален ASCII текст"},
    {kExportTabSeparated + 1, "Текстове разделени с табулации (за Excel)"},
    {kExportCsv + 1, "Текстов файл в CSV формат (за Excel)"},
    {kExportDbase + 1, "Във формата на DBASE III, IV"},
    {0, nullptr},
};

const OptionEntry kCodeTableOptions[] = {
    {kExportWindowsCodeTable + 1, "Windows"},
    {kExportDosCodeTable + 1, "DOS"},
    {0, nullptr},
};

const char* ExportExtension(std::int32_t format) {
    switch (format) {
        case kExportDbase: return "dbf";
        case kExportCsv: return "csv";
        default: return "txt";
    }
}

namespace {

// The path box is read with room for 258 characters, as the request's path always could hold.
constexpr std::size_t kPathFieldCapacity = 259;

ExportRequest* Edited(HWND dialog) {
    return DialogData<ExportRequest>(dialog);
}

void ShowRequest(HWND dialog, const ExportRequest& request) {
    // The request's own path is terminated within its 260 bytes by whoever filled it.
    SetControlText(dialog, IDC_EXPORT_PATH, request.path);
    FillCombo(dialog, IDC_EXPORT_FORMAT, kExportFormatOptions, request.format + 1);
    FillCombo(dialog, IDC_EXPORT_CODE_TABLE, kCodeTableOptions, request.code_table + 1);
}

// Another format picked: a typed path takes that format's extension at once.
void FollowFormat(HWND dialog) {
    char path[kPathBufferSize] = {};
    GetControlText(dialog, IDC_EXPORT_PATH, path, kPathFieldCapacity);
    if (path[0] == '\0') return;
    const std::int32_t format = SelectedKey(dialog, IDC_EXPORT_FORMAT) - 1;
    if (SetExtension(path, kPathFieldCapacity, ExportExtension(format)) == 0) return;
    SetControlText(dialog, IDC_EXPORT_PATH, path);
}

// The Save As chooser starts from an empty name and proposes "dbf" whatever the format; the
// filter is copied fresh each time because the chooser turns its bars into NULs.
void ChooseFile(HWND dialog) {
    static const char kFilter[] =
        "Text files (*.txt)|*.txt|CSV files (*.csv)|*.csv|dBase files (*.dbf)|*.dbf|";
    char filter[sizeof kFilter];
    std::memcpy(filter, kFilter, sizeof kFilter);
    char file[kPathBufferSize] = {};
    if (ChooseSaveFile(dialog, file, filter, "dbf")) SetControlText(dialog, IDC_EXPORT_PATH, file);
}

void StoreRequest(HWND dialog, ExportRequest& request) {
    std::memset(request.path, 0, sizeof request.path);
    GetControlText(dialog, IDC_EXPORT_PATH, request.path, kPathFieldCapacity);
    request.format = SelectedKey(dialog, IDC_EXPORT_FORMAT) - 1;
    request.code_table = SelectedKey(dialog, IDC_EXPORT_CODE_TABLE) - 1;
    if (request.format == kExportDbase || request.format == kExportCsv) {
        SetExtension(request.path, sizeof request.path, ExportExtension(request.format));
    }
}

INT_PTR CALLBACK ExportTableProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            ShowRequest(dialog, *reinterpret_cast<ExportRequest*>(lparam));
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDC_EXPORT_FORMAT:
                    if (HIWORD(wparam) == CBN_SELCHANGE) FollowFormat(dialog);
                    return TRUE;
                case IDC_EXPORT_CHOOSE_FILE:
                    if (HIWORD(wparam) == BN_CLICKED) ChooseFile(dialog);
                    return TRUE;
                case IDOK:
                    if (HIWORD(wparam) != 0) break;
                    StoreRequest(dialog, *Edited(dialog));
                    EndDialog(dialog, kDialogOk);
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

bool Dialog_ExportTable(HWND owner, ExportRequest& request) {
    ExportRequest copy = request;
    copy.path[sizeof copy.path - 1] = '\0';
    if (!RunModalDialog(owner, "ExportTable", ExportTableProc, &copy)) return false;
    request = copy;
    return true;
}
