// The export dialog: the path box, the format and code table lists and the file chooser button.
#include "dialogs/export_dialog_win32.h"

#include <cstring>
#include <string>

#include "dialogs/dialog_helpers_win32.h"
#include "base/file_utils_win32.h"
#include "base/path_rules.h"
#include "print/export_formats.h"
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

// What the dialog edits, and the files it must not let the export replace.
using ExportDialogState = ModalEdit<ExportRequest, ExportGuardedFiles>;

ExportDialogState* Edited(HWND dialog) {
    return DialogData<ExportDialogState>(dialog);
}

void ShowRequest(HWND dialog, const ExportRequest& request) {
    // The request's own path is terminated within its 260 bytes by whoever filled it.
    SetControlText(dialog, IDC_EXPORT_PATH, request.path);
    FillCombo(dialog, IDC_EXPORT_FORMAT, kExportFormatOptions, request.format + 1);
    FillCombo(dialog, IDC_EXPORT_CODE_TABLE, kCodeTableOptions, request.code_table + 1);
}

// The whole text of the path box, however long: a path is refused, never cut.
std::string PathBoxText(HWND dialog) {
    const HWND box = GetDlgItem(dialog, IDC_EXPORT_PATH);
    const int length = box != nullptr ? GetWindowTextLengthA(box) : 0;
    if (length <= 0) return std::string();
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(box, text.data(), length + 1)));
    return text;
}

// Another format picked: a typed path takes that format's extension at once.
void FollowFormat(HWND dialog) {
    std::string path = PathBoxText(dialog);
    if (path.empty()) return;
    const char* extension = ExportExtension(SelectedKey(dialog, IDC_EXPORT_FORMAT) - 1);
    path.resize(path.size() + std::strlen(extension) + 2, '\0');
    if (SetExtension(path.data(), path.size(), extension) == 0) return;
    SetControlText(dialog, IDC_EXPORT_PATH, path.c_str());
}

// The extension that OK gives the path: dBase and CSV files always get theirs, the text
// formats keep whatever the user named.
const char* ForcedExtension(std::int32_t format) {
    return format == kExportDbase || format == kExportCsv ? ExportExtension(format) : nullptr;
}

// The Save As chooser starts from an empty name on the chosen format's file type, so that a name
// typed there gets the extension the export will write. It asks nothing about existing files:
// OK asks about the final name. The filter is copied fresh each time because the chooser turns
// its bars into NULs.
void ChooseFile(HWND dialog) {
    static const char kFilter[] =
        "Text files (*.txt)|*.txt|CSV files (*.csv)|*.csv|dBase files (*.dbf)|*.dbf|";
    char filter[sizeof kFilter];
    std::memcpy(filter, kFilter, sizeof kFilter);
    const std::int32_t format = SelectedKey(dialog, IDC_EXPORT_FORMAT) - 1;
    const int filter_index = format == kExportCsv ? 2 : format == kExportDbase ? 3 : 1;
    char file[kPathBufferSize] = {};
    if (!ChooseSaveFile(dialog, file, filter, ExportExtension(format), filter_index)) return;
    if (const char* extension = ForcedExtension(format)) SetExtension(file, sizeof file, extension);
    SetControlText(dialog, IDC_EXPORT_PATH, file);
}

// A message over the dialog, then the path box ready to be corrected. The path itself is in the
// box; a long one in the message would make it wider than the screen.
void RefusePath(HWND dialog, const char* line1, const char* line2 = nullptr) {
    ShowMessage(dialog, MB_ICONHAND, kMessageTitle, line1, line2);
    FocusAndSelect(dialog, IDC_EXPORT_PATH);
}

void RefuseProblem(HWND dialog, OutputPathProblem problem) {
    switch (problem) {
        case OutputPathProblem::NotFull:
            RefusePath(dialog, "Изходният файл трябва да се зададе с точен път,",
                       "например C:\\Данни\\Таблица.txt");
            break;
        case OutputPathProblem::NoFileName:
            RefusePath(dialog, "Не е зададено име на изходния файл.");
            break;
        case OutputPathProblem::TooLong:
            RefusePath(dialog, "Пътят на изходния файл е твърде дълъг:", "позволени са най-много 259 знака.");
            break;
        case OutputPathProblem::None:
        case OutputPathProblem::Empty:
            break;
    }
}

// Whether the export may write `path`: none of the table's own files (also while one of them
// does not exist yet), not a folder, and an existing file only when the user agrees to replace it.
bool MayWriteOver(HWND dialog, const ExportGuardedFiles& guarded, const char* path) {
    const struct {
        const char* file;
        const char* words;
    } own_files[] = {
        {guarded.data_file, "Изходният файл е файлът с данните на таблицата"},
        {guarded.layout_file, "Изходният файл е файлът с оформлението на таблицата"},
        {guarded.printer_config, "Изходният файл е файлът с настройките на печата"},
    };
    for (const auto& own : own_files) {
        if (own.file != nullptr && SameFile(own.file, path)) {
            RefusePath(dialog, own.words, "и не може да бъде заменен.");
            return false;
        }
    }
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RefusePath(dialog, "Изходният път е папка, а не файл.");
        return false;
    }
    if (ShowMessage(dialog, MB_ICONQUESTION | MB_OKCANCEL, kMessageTitle, "Файлът вече съществува:", path,
                    "Да бъде ли заменен?") == IDOK) {
        return true;
    }
    FocusAndSelect(dialog, IDC_EXPORT_PATH);
    return false;
}

// OK: the request takes the final path, format and code table only when they can be used.
bool StoreRequest(HWND dialog, ExportDialogState& state) {
    const std::int32_t format = SelectedKey(dialog, IDC_EXPORT_FORMAT) - 1;
    std::string path;
    const OutputPathProblem problem = MakeOutputPath(PathBoxText(dialog), ForcedExtension(format), path);
    if (problem != OutputPathProblem::None && problem != OutputPathProblem::Empty) {
        RefuseProblem(dialog, problem);
        return false;
    }
    if (!path.empty() && !MayWriteOver(dialog, state.extra, path.c_str())) return false;
    ExportRequest& request = state.value;
    std::memset(request.path, 0, sizeof request.path);
    std::memcpy(request.path, path.data(), path.size());  // at most 259 characters
    request.format = format;
    request.code_table = SelectedKey(dialog, IDC_EXPORT_CODE_TABLE) - 1;
    return true;
}

INT_PTR CALLBACK ExportTableProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            ExportRequest& request = reinterpret_cast<ExportDialogState*>(lparam)->value;
            request.path[sizeof request.path - 1] = '\0';
            ShowRequest(dialog, request);
            return TRUE;
        }
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
                    if (StoreRequest(dialog, *Edited(dialog))) EndDialog(dialog, kDialogOk);
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

bool Dialog_ExportTable(HWND owner, ExportRequest& request, const ExportGuardedFiles& guarded) {
    return EditModally(owner, "ExportTable", ExportTableProc, request, guarded);
}
