// The table window: a GridModel measured on GDI, its child window, and the column layout file on disk.
#ifndef LINTARO_GRID_GRID_WIN32_H
#define LINTARO_GRID_GRID_WIN32_H

#include <windows.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "grid/gdi_measuring_device_win32.h"
#include "grid/grid_model.h"
#include "grid/grid_surface_win32.h"
#include "grid/grid_view_layout.h"

// The window class of every grid window.
extern const char kGridWindowClass[];  // "PrintableTableClassName"

// What became of a modified layout when the grid was closed.
enum class LayoutSaveOutcome {
    NotNeeded,  // unmodified, or no layout file named
    Saved,
    Refused,    // the named file is not a layout file: it was not touched
    Failed,     // the write failed: the old file, if any, is whole
};

// One grid: the model (measured on the host's display information context and print measuring
// context), the child window that shows it, and the layout file path. Everything runs on the
// user-interface thread. The model's operations are forwarded under their own names; Model()
// gives the rest.
class Grid : public GridSurface, private GridView {
public:
    // Measures the table font on the host's contexts and starts with the row-number column only
    // (see GridModel). The host outlives the grid.
    explicit Grid(GridHost& host);
    // Removes a window that still exists, without saving the layout (Destroy saves).
    ~Grid() override;
    Grid(const Grid&) = delete;
    Grid& operator=(const Grid&) = delete;

    // Registers the class "PrintableTableClassName" once per process and creates the child
    // window of `parent`: visible, clipping children, both scroll bars, group and tab stop,
    // the client edge when `style_bits` has GridStyle::ClientEdge, `control_id` as its id. The
    // view starts at the top left and the window knows its grid from then on. False when a
    // window exists or cannot be made.
    bool Create(HWND parent, int control_id, std::uint32_t style_bits, int x, int y, int width, int height);

    // Fills the parent's client area across, from `top` pixels below its top edge to
    // `bottom_reserve` pixels above its bottom edge, repainting. Nothing without a window.
    void FitToParent(int top, int bottom_reserve);

    HWND Window() const override { return window_; }

    // Invalidates the whole client area without erasing and paints it now. Nothing without a
    // window.
    void Redraw() override;

    // Saves the layout when it was modified and a layout file path is known (see
    // SaveModifiedLayout) and destroys the window if it still exists. The model stays usable.
    LayoutSaveOutcome Destroy();

    // Remembers `path` as the layout file and applies the file when it is an accepted layout
    // file; title offsets are derived again in any case. The caller then fetches the titles
    // again, Reformats and repaints. An empty path, or one of 260 bytes or more, is ignored.
    // Returns whether a layout was taken from the file. The file will be written back only
    // where it cannot destroy anything else: where no file was (it is created), over an empty
    // file, or over the layout file just accepted; any other file (the data file named twice,
    // a picture, a damaged layout) is left as it is.
    bool LoadLayout(const char* path);

    // When the layout was modified and a layout file is named: writes it (Saved or Failed,
    // the old file staying whole), or leaves a file that LoadLayout did not accept alone
    // (Refused). The modified flag is cleared either way; NotNeeded otherwise.
    [[nodiscard]] LayoutSaveOutcome SaveModifiedLayout();

    // Clears the modified flag; then, with a path and at least one column, writes the layout
    // file through ReplaceFileSafely. Returns whether the file was written.
    [[nodiscard]] bool SaveLayout(const char* path);

    GridModel& Model() override { return model_; }
    const GridModel& Model() const { return model_; }

    GridHost& Host() const override { return host_; }
    std::uint32_t StyleBits() const override { return style_bits_; }

    // The client rectangle as it is now and the page's printable width on screen (0 without
    // the page-width mark): what scrolling and hit tests lay the view out in.
    GridFrame Frame() const override;

    // The device context of the page being printed, or null between pages.
    HDC PrintContext() const { return print_context_; }
    void SetPrintContext(HDC context) { print_context_ = context; }

    // The grid whose window this is, or null (also for any window not of the grid's class).
    static Grid* FromWindow(HWND window);

    // --- The model's operations --------------------------------------------------------------
    void Clear() { model_.Clear(); }
    bool AddColumn(int source, const char* title) { return model_.AddColumn(source, title); }
    int ColumnCount() const { return model_.ColumnCount(); }
    int ColumnSource(int index) const { return model_.ColumnSource(index); }
    bool IsRowNumberColumn(int index) const { return model_.IsRowNumberColumn(index); }
    bool IsColumnVisible(int index) const { return model_.IsColumnVisible(index); }
    void ColumnTitle(int index, char* buffer, int max) const { model_.ColumnTitle(index, buffer, max); }
    void GetColumnInfo(int index, GridColumnInfo& out) const { model_.GetColumnInfo(index, out); }
    bool SetColumnInfo(int index, const GridColumnInfo& in) { return model_.SetColumnInfo(index, in); }
    bool SetAllColumnInfo(const GridColumnInfo* infos, int count) { return model_.SetAllColumnInfo(infos, count); }
    std::vector<std::uint8_t> GetVisibility() const { return model_.GetVisibility(); }
    bool SetVisibility(const std::uint8_t* visible, int count) { return model_.SetVisibility(visible, count); }
    TableStyle GetTableStyle() const { return model_.GetTableStyle(); }
    void SetTableStyle(const TableStyle& style) { model_.SetTableStyle(style); }
    PrintOptions GetPrintOptions() const { return model_.GetPrintOptions(); }
    void SetPrintOptions(const PrintOptions& options) { model_.SetPrintOptions(options); }
    const char* GetHeaderText() const { return model_.GetHeaderText(); }
    const char* GetFooterText() const { return model_.GetFooterText(); }
    bool SetHeaderText(std::string_view text) { return model_.SetHeaderText(text); }
    bool SetFooterText(std::string_view text) { return model_.SetFooterText(text); }
    FontSpec GetFont() const { return model_.GetFont(); }
    void StoreFont(const FontSpec& font) { model_.StoreFont(font); }
    void SetFont(const FontSpec& font) { model_.SetFont(font); }
    void SetCellTextSource(CellTextFunction function, void* context, CellColumnFunction column_function = nullptr) {
        model_.SetCellTextSource(function, context, column_function);
    }
    bool SetRowCount(int rows) { return model_.SetRowCount(rows); }
    void Reformat() { model_.Reformat(); }
    void RebuildLayout() { model_.RebuildLayout(); }
    void ApplyNaturalWidths() { model_.ApplyNaturalWidths(); }
    void UpdateTableWidth() { model_.UpdateTableWidth(); }
    void ScrollHome(bool redraw) { model_.ScrollHome(redraw); }

private:
    bool HasWindow() const override { return window_ != nullptr; }
    void RefreshView() override;
    void ForgetWindow();

    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    // Declared before the model, which measures on them from its construction on.
    GridHost& host_;
    GdiMeasuringDevice screen_device_;
    GdiMeasuringDevice print_device_;
    GdiPictureSizes pictures_;
    GridModel model_;

    HWND window_ = nullptr;
    std::uint32_t style_bits_ = 0;
    RECT client_ = {};
    HDC print_context_ = nullptr;
    // What LoadLayout found at the layout file's path: decides whether it may be written.
    enum class FoundLayoutFile { Nothing, Layout, SomethingElse };
    FoundLayoutFile found_layout_file_ = FoundLayoutFile::Nothing;
};

#endif
