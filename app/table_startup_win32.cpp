// Start-up of the table: grid window, data file, layout file, or the demonstration table.
#include "app/table_startup_win32.h"

#include <memory>

#include "app/grid_host_win32.h"
#include "app/progress_on_screen_win32.h"
#include "app/session_loading_win32.h"
#include "app/session_win32.h"
#include "dialogs/dialog_helpers_win32.h"
#include "grid/grid_win32.h"
#include "resources/resource_ids.h"

namespace {

constexpr std::uint32_t kMainGridStyle =
    GridStyle::ResizeCursor | GridStyle::MoveColumns | GridStyle::ClientEdge | GridStyle::PageWidthMark;

// What the load of the data file left for the user to hear once the window shows.
DataFileLoadNotice g_load_notice;

}  // namespace

void BuildDemonstrationTable(Grid& grid) {
    static const char* const kTitles[] = {"Колона 1", "Колона 2", "Колона 3", "Колона 4",
                                          "Колона 5"};
    for (int source = 0; source < 5; ++source) grid.AddColumn(source, kTitles[source]);
    for (int position : {1, 3}) {
        GridColumnInfo info;
        grid.GetColumnInfo(position, info);
        info.flags |= ColumnFlags::TextFlow;
        info.max_lines = 3;
        grid.SetColumnInfo(position, info);
    }
    grid.SetHeaderText("Left header text 1\tRight header text 1\r\n"
                       "Left header text 2\tRight header text 2");
    grid.SetFooterText("Left footer text 1\tRight footer text 1\r\n"
                       "Left footer text 2\tRight footer text 2");
    grid.SetRowCount(128);
}

void CreateGridAndTable(HWND main_window) {
    Session& app = CurrentSession();
    app.grid = std::make_unique<Grid>(SessionGridHost());
    Grid& grid = *app.grid;
    RECT client;
    GetClientRect(main_window, &client);
    grid.Create(main_window, IDC_GRID, kMainGridStyle, client.left, client.top,
                client.right - client.left, client.bottom - client.top);
    grid.SetCellTextSource(StoreCellTextSource, &CurrentSession(), StoreCellColumnSource);

    const CommandLineNames& names = app.command_line;
    bool loaded = false;
    if (names.data_file[0] != '\0') {
        // Cancelled, the load leaves the table the program has without a file.
        ProgressOnScreen progress(main_window, "Зареждане на таблицата от файла...", ProgressCount::Percent);
        loaded = LoadDataFile(names.data_file, &g_load_notice, &progress);
    }
    if (loaded) {
        // The load measured the fonts and paginated the table with its natural widths; only a
        // layout file changes what that was made from (paginating a big table costs time).
        if (names.format_file[0] != '\0') {
            grid.LoadLayout(names.format_file);
            RefreshColumnTitles();
            grid.Reformat();
        } else if (grid.Model().ColumnCount() == 0) {
            grid.Reformat();
        }
        SetWindowTextA(main_window, app.window_title);
        return;
    }
    BuildDemonstrationTable(grid);
}

void ShowTableLoadNotice(HWND main_window) {
    const DataFileLoadNotice notice = g_load_notice;
    g_load_notice = DataFileLoadNotice{};
    const char* data_file = CurrentSession().command_line.data_file;
    if (notice.out_of_memory) {
        ShowMessage(main_window, MB_ICONHAND, kMessageTitle,
                    "Няма достатъчно памет за таблицата от файла", data_file,
                    "Таблицата не е заредена.");
    } else if (notice.cut_rows > 0) {
        char count[80];
        wsprintfA(count, "са по-дълги от 65535 байта. Съкратени редове: %lu.",
                  static_cast<unsigned long>(notice.cut_rows));
        ShowMessage(main_window, MB_ICONEXCLAMATION, kMessageTitle,
                    "Някои редове на таблицата от файла", data_file, count,
                    "Клетките в края им, които не се побират, не са заредени.");
    }
}
