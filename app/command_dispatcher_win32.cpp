// One line per command: the menu, accelerator and speed-bar ids and their handlers.
#include "app/command_dispatcher_win32.h"

#include <commdlg.h>

#include <cstdint>
#include <cstdio>
#include <new>
#include <vector>

#include "app/about_dialog_win32.h"
#include "app/font_choice.h"
#include "app/print_commands_win32.h"
#include "app/session_win32.h"
#include "dialogs/column_properties_dialog_win32.h"
#include "dialogs/dialog_helpers_win32.h"
#include "dialogs/filter_dialog_win32.h"
#include "dialogs/sort_dialog_win32.h"
#include "dialogs/table_properties_dialog_win32.h"
#include "dialogs/visible_columns_dialog_win32.h"
#include "grid/column_groups.h"
#include "grid/grid_view_layout.h"
#include "grid/grid_win32.h"
#include "grid/sort_filter.h"
#include "grid/sum_widths.h"
#include "render/text_draw_win32.h"
#include "resources/resource_ids.h"

namespace {

// Ending goes through WM_CLOSE, posted so that the handler returns first: the window then
// closes exactly as through its close box, and the grid saves its layout before it goes.
void EndProgram(HWND main_window) {
    PostMessageA(main_window, WM_CLOSE, 0, 0);
}

// Every column to the width its title and cells need, on screen and on paper.
void ApplyNaturalWidths() {
    if (Grid* grid = CurrentSession().grid.get()) grid->ApplyNaturalWidths();
}

// The year two-digit years of date keys are read against: this year on the computer's clock.
int ThisYear() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wYear;
}

// The rows changed order or number: scroll ranges and the view follow, then the table repaints.
void ShowChangedRows(Grid& grid) {
    RefreshViewState(grid.Model(), grid.Frame());
    grid.Redraw();
}

// Which of the grid's columns a dialog lists: every one, or those offered for sorting or
// filtering.
enum class ColumnsListed { All, ForSort, ForFilter };

// The columns a dialog lists, keyed by grid column index, each with its title (at most 127
// characters). False without memory for the list: the dialog then does not open.
bool ListColumns(const Grid& grid, ColumnsListed listed, std::vector<DialogChoice>& choices) {
    char title[kColumnTitleLimit];
    try {
        std::vector<int> columns;
        switch (listed) {
            case ColumnsListed::All:
                for (int i = 0; i < grid.ColumnCount(); ++i) columns.push_back(i);
                break;
            case ColumnsListed::ForSort: columns = ColumnsOfferedForSort(grid.Model()); break;
            case ColumnsListed::ForFilter: columns = ColumnsOfferedForFilter(grid.Model()); break;
        }
        choices.reserve(columns.size());
        for (int column : columns) {
            grid.ColumnTitle(column, title, static_cast<int>(sizeof title) - 1);
            choices.push_back(DialogChoice{column, title});
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// The visibility flags edited on a copy; the grid takes them only on OK.
void ChooseVisibleColumns(HWND main_window) {
    Grid* grid = CurrentSession().grid.get();
    if (grid == nullptr || grid->ColumnCount() <= 0) return;
    std::vector<DialogChoice> columns;
    if (!ListColumns(*grid, ColumnsListed::All, columns)) return;
    std::vector<std::uint8_t> visible;
    try {
        visible = grid->GetVisibility();
    } catch (const std::bad_alloc&) {
        return;
    }
    if (Dialog_VisibleColumns(main_window, columns, visible)) {
        grid->SetVisibility(visible.data(), static_cast<int>(visible.size()));
    }
}

// Every sort starts from the first offered column, ascending, as text.
void SortTableRows(HWND main_window) {
    Grid* grid = CurrentSession().grid.get();
    if (grid == nullptr) return;
    std::vector<DialogChoice> columns;
    if (!ListColumns(*grid, ColumnsListed::ForSort, columns)) return;
    SortRequest request;
    if (!Dialog_Sort(main_window, columns, request)) return;
    SortRows(grid->Model(), request, ThisYear());
    ShowChangedRows(*grid);
}

// Every filter starts empty; a range that keeps no row leaves the table as it was and says so.
void FilterTableRows(HWND main_window) {
    Grid* grid = CurrentSession().grid.get();
    if (grid == nullptr) return;
    std::vector<DialogChoice> columns;
    if (!ListColumns(*grid, ColumnsListed::ForFilter, columns)) return;
    FilterRequest request{};
    if (!Dialog_Filter(main_window, columns, request)) return;
    if (!FilterRows(grid->Model(), request, ThisYear())) {
        ShowMessage(main_window, MB_ICONINFORMATION, kMessageTitle, "Няма записи, отговарящи",
                    "на зададеното условие.");
        return;
    }
    ShowChangedRows(*grid);
}

// All rows again, in data-file order, from the top left.
void RestoreAllRows() {
    Grid* grid = CurrentSession().grid.get();
    if (grid == nullptr) return;
    RestoreRows(grid->Model());
    ShowChangedRows(*grid);
}

// The font chooser on a copy of the table font; the grid takes the answer only on OK.
void ChooseTableFont() {
    Grid* grid = CurrentSession().grid.get();
    if (grid == nullptr) return;
    const FontSpec current = grid->GetFont();
    HWND grid_window = grid->Window();
    HDC dc = GetDC(grid_window);
    if (dc == nullptr) return;
    LOGFONTA chosen = MakeFont(dc, current);
    CHOOSEFONTA request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = grid_window;
    request.hDC = dc;
    request.lpLogFont = &chosen;
    request.Flags = CF_SCREENFONTS | CF_PRINTERFONTS | CF_INITTOLOGFONTSTRUCT;
    const BOOL answered = ChooseFontA(&request);
    ReleaseDC(grid_window, dc);
    if (answered != TRUE) return;
    grid->SetFont(ChosenTableFont(current, chosen.lfFaceName, request.iPointSize, chosen.lfWeight,
                                  chosen.lfCharSet));
}

// The table-wide style and print options edited on a copy; the grid lays out and repaints only
// on OK. Key columns so wide that no other column would fit beside them are repeated fewer, and
// the user is told how many.
void EditTableAppearance(HWND main_window) {
    Grid* grid = CurrentSession().grid.get();
    if (grid == nullptr) return;
    TableLook look{grid->GetTableStyle(), grid->GetPrintOptions()};
    if (!Dialog_TableProperties(main_window, look)) return;
    grid->SetTableStyle(look.style);
    grid->SetPrintOptions(look.options);
    // Page totals and group totals bring sums the columns may be too narrow for.
    if (WidenSummedColumnsToTheirSums(grid->Model())) grid->Redraw();
    const KeyColumns keys = FindKeyColumns(grid->Model());
    if (keys.count < keys.wanted) {
        char repeated[96];
        std::snprintf(repeated, sizeof repeated, "На всеки лист ще се повтарят само %d.", keys.count);
        ShowMessage(main_window, MB_ICONINFORMATION, kMessageTitle, "Ключовите колони са по-широки от листа",
                    "и не оставят място за другите колони.", repeated);
    }
}

// Every column's record edited on a copy; on OK all of them go back, in column order. The grid
// is repainted either way, so a cancelled dialog leaves no trace on the screen.
void EditColumnAppearance(HWND main_window) {
    Grid* grid = CurrentSession().grid.get();
    if (main_window == nullptr || grid == nullptr) return;
    const int count = grid->ColumnCount();
    if (count <= 0) return;
    std::vector<GridColumnInfo> columns;
    try {
        columns.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return;
    }
    int row_numbers = -1;
    for (int i = 0; i < count; ++i) {
        grid->GetColumnInfo(i, columns[i]);
        if (grid->IsRowNumberColumn(i)) row_numbers = i;
    }
    if (Dialog_ColumnProperties(main_window, columns, row_numbers)) {
        grid->SetAllColumnInfo(columns.data(), count);
        (void)WidenSummedColumnsToTheirSums(grid->Model());
    }
    grid->Redraw();
}

}  // namespace

void DispatchCommand(HWND main_window, int command_id) {
    switch (command_id) {
        case IDM_ABOUT: ShowAboutDialog(main_window); break;
        case IDM_EXIT: EndProgram(main_window); break;
        case IDM_VISIBLE_COLUMNS: ChooseVisibleColumns(main_window); break;
        case IDM_NATURAL_WIDTHS: ApplyNaturalWidths(); break;
        case IDM_TABLE_APPEARANCE: EditTableAppearance(main_window); break;
        case IDM_COLUMN_APPEARANCE: EditColumnAppearance(main_window); break;
        case IDM_SORT: SortTableRows(main_window); break;
        case IDM_FILTER: FilterTableRows(main_window); break;
        case IDM_RESTORE_ROWS: RestoreAllRows(); break;
        case IDM_CHOOSE_FONT: ChooseTableFont(); break;
        case IDM_PRINT: PrintTable(main_window); break;
        case IDM_PRINT_SETUP: SetUpPrinting(main_window); break;
        case IDM_EXPORT: ExportTableToChosenFile(main_window); break;
        default: break;
    }
}
