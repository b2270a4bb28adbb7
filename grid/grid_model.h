// The grid without its window: columns, titles, header and footer, style, font metrics, layout lines.
#ifndef LINTARO_GRID_GRID_MODEL_H
#define LINTARO_GRID_GRID_MODEL_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "grid/cell_text_source.h"
#include "render/font_record.h"
#include "grid/grid_records.h"
#include "grid/measuring_device.h"
#include "grid/sum_values.h"
#include "base/print_settings.h"
#include "store/item_list.h"

// The two devices every measure that matters for paper is kept for.
enum class GridDevice : int { Screen = 0, Print = 1 };

// What the model measures with and which page it lays out for. Everything here belongs to the
// caller and must outlive the model. A missing device measures every text as 0 pixels wide
// and 0 high (a model without devices still keeps columns and lines); without `pictures` no
// picture loads; without `print_settings` the built-in settings are used. The settings are
// asked for, with `print_settings_context`, whenever a measure needs them: they may change.
struct GridEnvironment {
    MeasuringDevice* screen = nullptr;            // the display
    MeasuringDevice* print = nullptr;             // the print measuring context
    const PictureSizeSource* pictures = nullptr;  // sizes of picture cells
    PrintSettings (*print_settings)(void* context) = nullptr;  // the current printer and page settings
    void* print_settings_context = nullptr;
};

// The window side of a grid, told when what it shows has changed. All calls come on the
// user-interface thread from inside the model's operations.
class GridView {
public:
    virtual ~GridView() = default;
    virtual bool HasWindow() const = 0;
    // The layout changed: re-clamp the top line and the scroll ranges before the next paint.
    virtual void RefreshView() = 0;
    // Paint the whole client area now.
    virtual void Redraw() = 0;
};

// The table font's metrics on one device, in that device's pixels, and the page converted to
// them (Reformat keeps both up to date).
struct DeviceMetrics {
    int font_height = 0;   // tmHeight of the table font
    int text_inset = 0;    // width of "o": the horizontal text inset of a cell
    int cell_padding = 0;  // above and below a row's text: cell height % of the font height / 2
    std::uint8_t rule_width = LineType::Single;  // equal to the line type
    PrintSettings page{};  // the current print settings in this device's pixels
};

// Scrolling and painting positions; the painting and scrolling code owns their meaning.
struct GridViewState {
    int top_line = 0;            // first layout line in view
    int top_sub_line = 0;        // text line within it at the top of the view
    int vertical_position = 0;   // text lines above the view
    int last_visible_line = 0;   // last line wholly in view, its sub-line and bottom y
    int last_visible_sub_line = 0;
    int last_visible_bottom = 0;
    int horizontal_offset = 0;   // never positive: pixels the table is shifted left
    int total_text_lines = 0;    // sum of the heights of all layout lines
    int visible_text_lines = 0;  // found by the last paint
};

// What printing keeps in the grid between pages.
struct GridPrintState {
    int table_width_on_paper = 0;
    int first_unfit_column = 0;  // first visible column beyond the printable width
    int column_groups = 0;
};

// The grid model. Indexes outside 0 .. ColumnCount() - 1 are ignored: setters do nothing,
// getters give 0, false or an empty text. When a list cannot grow the operation stops and
// reports false where it has a result. Single-threaded: the user-interface thread only.
class GridModel {
public:
    // A model without devices (every measure 0).
    GridModel();
    // Defaults: TableStyle Single / normal height / page numbers Top Right / ColNumbers and
    // HorzLines; the font "MS Sans Serif" 10 pt; metrics measured (no layout yet); one column,
    // the row-number column "No" (source -1, right-aligned, visible); not modified.
    explicit GridModel(const GridEnvironment& environment);
    virtual ~GridModel();
    GridModel(const GridModel&) = delete;
    GridModel& operator=(const GridModel&) = delete;

    // The window that shows the model, or null; told of changes from then on.
    void AttachView(GridView* view);

    // --- Columns -------------------------------------------------------------------------

    // Empties columns, titles, header, footer and layout lines, then adds the row-number
    // column again; the view goes back to the top left.
    void Clear();

    // Appends a visible column showing store column `source` (kRowNumberSource: the row
    // numbers, right-aligned; others left-aligned) titled `title` (null = empty), and widens it
    // to its title on both devices. False, with nothing changed, when a list cannot grow.
    bool AddColumn(int source, const char* title);

    int ColumnCount() const;
    int ColumnSource(int index) const;
    bool IsRowNumberColumn(int index) const;
    bool IsColumnVisible(int index) const;

    // Copies at most `max` characters of the title and a terminator (`buffer` holds max + 1).
    void ColumnTitle(int index, char* buffer, int max) const;
    // The title inside the string pool; valid until titles, header or footer change.
    std::string_view ColumnTitleText(int index) const;

    // The column record, or null out of range; valid until the column list changes.
    const GridColumn* Column(int index) const;
    GridColumn* MutableColumn(int index);

    // Zeroes `out`, then gives flags, alignment, max lines, type and the title cut at 128.
    void GetColumnInfo(int index, GridColumnInfo& out) const;
    // Takes flags, alignment, max lines (below 2 means no limit: 0) and type, and the title
    // (up to its terminator or 128 characters). Sets the modified flag when any of them
    // differs from what the column had. When anything but the alignment changed, the layout
    // is made again (row heights, titles, pages, table width) and the view refreshed; the
    // caller repaints. False when the new title does not fit the pool (the rest is then still
    // taken).
    bool SetColumnInfo(int index, const GridColumnInfo& in);
    // The same for the first `count` columns from an array in column order, laid out once.
    bool SetAllColumnInfo(const GridColumnInfo* infos, int count);

    // One byte per column, 1 when visible.
    std::vector<std::uint8_t> GetVisibility() const;
    // Sets or clears Visible from the first `count` bytes (the other columns stay); when
    // anything changed: modified, layout and table width recomputed, view refreshed and
    // redrawn. Returns
    // whether anything changed.
    bool SetVisibility(const std::uint8_t* visible, int count);

    // --- Table-wide ----------------------------------------------------------------------

    TableStyle GetTableStyle() const { return style_; }
    // Modified when the 8 bytes differ; rule widths follow the line type; metrics, layout and
    // table width are recomputed and the view redrawn.
    void SetTableStyle(const TableStyle& style);

    PrintOptions GetPrintOptions() const { return options_; }
    // Modified when they differ; the pages are laid out again (a scaled table fits more rows on
    // a page) and the view redrawn.
    void SetPrintOptions(const PrintOptions& options);

    // Header and footer: free text, lines ending in "\r\n", a TAB splitting left and right
    // parts. The pointers are into the string pool, valid until titles or texts change. The
    // setters take the text up to a NUL byte, do not set the modified flag, and return false
    // (nothing changed) when the pool cannot grow.
    const char* GetHeaderText() const;
    const char* GetFooterText() const;
    bool SetHeaderText(std::string_view text);
    bool SetFooterText(std::string_view text);

    FontSpec GetFont() const { return font_; }
    // Replaces the table font without measuring anything (a description being read).
    void StoreFont(const FontSpec& font);
    // Only when the first 54 bytes differ: modified, stored, metrics, layout, table width, redraw.
    void SetFont(const FontSpec& font);

    // A new source is a new table: the amounts read for the sums are read again.
    void SetCellTextSource(CellTextFunction function, void* context, CellColumnFunction column_function = nullptr) {
        cell_text_source_ = {function, context, column_function};
        sums_.ForgetValues();
    }
    CellTextSource GetCellTextSource() const { return cell_text_source_; }

    // Replaces the layout lines by `rows` DataRow lines with keys 0 .. rows - 1 (RuleBelow when
    // HorzLines is set), stopping early when the list cannot grow; the view goes to the top;
    // layout dirty when a window exists; then RebuildLayout. False when it stopped early.
    bool SetRowCount(int rows);
    // SetRowCount without RebuildLayout: the rows in stored order, each one line high and on no
    // page, for writers that take the rows in order and measure nothing (Reformat lays them out).
    bool SetRowCountUnlaidOut(int rows);
    // Every stored row again, in stored order, laid out: SetRowCount for the table the model
    // already shows, so the amounts read for the sums stay.
    void RestoreRowOrder();
    // SetRowCount and then ApplyNaturalWidths, paginating once: the widths change the row
    // heights, so a layout made before them would only be thrown away. False as SetRowCount.
    bool SetRowCountAndNaturalWidths(int rows);
    int RowCount() const { return row_count_; }
    // Pages of the current layout (the rows the filter keeps), 0 without rows.
    int PageCount() const { return page_count_; }

    // Font metrics on both devices, then RebuildLayout.
    void Reformat();
    // Font height, text inset, cell padding and page copy of both devices, nothing else.
    void MeasureFontMetrics();

    // Lays the lines out in pages for the printer: row heights, ordinals, page tops and
    // bottoms, page breaks, and the total of text lines (see grid_layout.cpp).
    void RebuildLayout();

    // Every column's widths become its natural widths: the widest of its title's words and
    // its cells (wrapped, abbreviated, bold or pictures as the column says), on each device,
    // plus the text inset and the cell margin of the table font (measured again first).
    // Modified when a width changes. Then layout, view refresh and redraw.
    void ApplyNaturalWidths();

    // Screen table width: rule width + the sum over visible columns of (width + rule width).
    void UpdateTableWidth();
    int TableWidth() const { return table_width_; }

    // Back to the top left of the table; redrawn when asked.
    void ScrollHome(bool redraw);

    // --- Sum lines (grid/sum_lines.h) -------------------------------------------------------

    // The table column and key type (KeyType) the view is sorted by, which the group lines
    // follow; SortRows sets them, and a new row count or the stored order clears them.
    void SetSortKey(int source, std::int32_t key_type) {
        sorted_ = true;
        sort_source_ = source;
        sort_key_type_ = key_type;
    }
    bool IsSorted() const { return sorted_; }
    int SortSource() const { return sort_source_; }
    std::int32_t SortKeyType() const { return sort_key_type_; }

    // The amounts read for the sums and the sums of the last pagination.
    SumState& Sums() { return sums_; }
    const SumState& Sums() const { return sums_; }

    // --- Column layout file --------------------------------------------------------------

    // The file image of the columns, style and font (layout of column_layout_file.h).
    std::vector<std::uint8_t> BuildLayoutFileImage() const;

    // Takes columns, table style, font and print options from a layout file image when it is accepted (see
    // ParseLayoutFileHeader: magic, 20 and 48, at least one column, header and records inside
    // the bytes) and the column list can hold them; values no grid writes are mended
    // (MendLoadedColumn, MendLoadedStyle, MendLoadedFont). The modified flag is then cleared.
    // A taken column keeps the title of the column with the same source before (the row-number
    // column its own), or an empty one when there was none; the columns before whose source
    // the file does not list (the row numbers aside) follow the file's, visible, at their
    // natural widths in the file's font. A refused image changes nothing but the title offsets, derived again from the
    // pool: the i-th column gets the i-th title; missing titles are added empty, surplus ones
    // removed. Returns whether the image was accepted. Null or empty bytes only re-derive.
    bool ApplyLayoutFileImage(const std::uint8_t* bytes, std::size_t size);
    bool ApplyLayoutFileImage(const std::vector<std::uint8_t>& bytes) {
        return ApplyLayoutFileImage(bytes.data(), bytes.size());
    }

    // Where Destroy saves the layout; empty = nowhere. Longer paths than 259 bytes are refused.
    bool SetLayoutFilePath(const char* path);
    const char* LayoutFilePath() const { return layout_file_path_; }

    // --- State for the layout, painting, interaction and printing code --------------------

    bool IsModified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }
    bool IsLayoutDirty() const { return layout_dirty_; }
    void SetLayoutDirty(bool dirty) { layout_dirty_ = dirty; }

    const DeviceMetrics& Metrics(GridDevice device) const;
    MeasuringDevice& Device(GridDevice device) const;
    const PictureSizeSource* Pictures() const { return environment_.pictures; }
    // The current print settings of the environment, or the built-in ones without a getter.
    PrintSettings CurrentPrintSettings() const;

    // Layout lines; Line gives a zeroed line out of range. The list holds the rows between a
    // page's first and last as one DataRun entry each, so a million rows cost their order (4
    // bytes a row, none in stored order) rather than a line record each. LayoutLines() gives
    // the list with every line an 11-byte record of its own (runs written out), for code that
    // builds or edits lines itself; the const one gives the entries as held.
    int LineCount() const;
    LayoutLine Line(int index) const;
    ItemList& LayoutLines();
    const ItemList& LayoutLines() const { return lines_; }

    // The data rows of the list in list order: visit(position, line) for each, position
    // counting from 0. Linear in the lines.
    template <typename Visit>
    void ForEachDataRow(Visit visit) const {
        const int entries = lines_.Size() / static_cast<int>(sizeof(LayoutLine));
        int position = 0;
        for (int e = 0; e < entries; ++e) {
            const LayoutLine entry = Entry(e);
            if (entry.kind == LineKind::DataRow) {
                visit(position++, entry);
            } else if (entry.kind == LineKind::DataRun) {
                for (std::uint32_t k = 0; k < entry.ordinal; ++k) visit(position++, RunLine(entry, k));
            }
        }
    }
    // Row `position` of the row order as an unpaginated list shows it (the style's rule flags).
    LayoutLine RowOfOrder(int position) const {
        LayoutLine run{};
        run.flags = (style_.flags & TableFlags::HorzLines) ? LineFlags::RuleBelow : 0;
        return RunLine(run, static_cast<std::uint32_t>(position));
    }
    // The keys of the data rows in list order; empty without memory.
    std::vector<std::uint32_t> DataRowKeys() const;
    // DataRowKeys for a caller that gives the list new rows with SetRowOrder at once: the row
    // order's own keys are handed over when the list holds them, so no second copy is made.
    std::vector<std::uint32_t> TakeDataRowKeys();
    // Whether the data rows of the list are those of the row order, each once and in order, as
    // every layout made here leaves them; `rows` receives their number.
    bool DataRowsFollowRowOrder(int& rows) const;
    // The data rows become rows `keys` in that order, numbered and unpaginated, as
    // SetRowCountUnlaidOut leaves them; the caller lays them out.
    void SetRowOrder(std::vector<std::uint32_t> keys);
    // Puts `entries` (lines and DataRun entries over the current row order) in place of the list.
    void SetLayoutEntries(const std::vector<LayoutLine>& entries);
    // The same for a caller that writes the entries in place, sparing a copy of them: empties
    // the list and gives room for `count` entries, to be written through the result before
    // IndexLayoutEntries; nullptr (the list left empty) when there is no memory for them.
    LayoutLine* BeginLayoutEntries(std::int64_t count);
    // Finds the runs of the entries in the list, so that Line reaches every line.
    void IndexLayoutEntries();
    // The row order's heights in text lines; empty: every row one line high.
    void SetRowHeights(std::vector<std::uint8_t> heights);

    // The text of `column` in `line`: the ordinal for the row-number column (empty when 0),
    // otherwise what the cell text source gives for the line's key (empty without a source).
    // `buffer` holds kCellTextLimit + 1 bytes and is always terminated. Returns the length.
    int CellText(const LayoutLine& line, int column, char* buffer) const;

    GridViewState& ViewState() { return view_state_; }
    const GridViewState& ViewState() const { return view_state_; }
    GridPrintState& PrintState() { return print_state_; }

private:
    GridColumn* Columns();
    const GridColumn* Columns() const;
    bool StoreColumnInfo(int index, const GridColumnInfo& in, bool& relayout);
    void LayOutAfterColumnChange();
    bool ReplacePoolBytes(int offset, int old_length, std::string_view text);
    void MoveOffsetsAfter(int position, int delta);
    void WidenToTitle(int index);
    void MeasureDevice(MeasuringDevice& device, DeviceMetrics& metrics);
    // The natural widths of every column (of those marked in `only`) with the current
    // metrics; widths stay.
    void MeasureNaturalWidths(const std::vector<bool>* only = nullptr);
    // Natural widths of summed columns raised to their end and group totals (grid_model_sums.cpp).
    void WidenNaturalWidthsToSums();
    void RederiveTitleOffsets();
    bool ReplaceTitles(const std::vector<std::string>& titles);
    void AssignTitleOffsets(const std::vector<std::string>& titles);
    void TakeNaturalWidths(const std::vector<bool>& added);
    // The layout lines become `rows` numbered DataRow lines, unpaginated; false when cut short.
    bool SetDataRows(int rows);
    LayoutLine Entry(int index) const;
    // Line `k` of a DataRun entry.
    LayoutLine RunLine(const LayoutLine& run, std::uint32_t k) const;
    std::uint32_t RowKeyAt(std::uint32_t position) const {
        return row_keys_.empty() ? position : row_keys_[position];
    }
    // Writes the runs out as lines of their own (an 11-byte record each).
    void ExpandRuns();
    // The list becomes the first `rows` rows of the row order, numbered, in one run.
    void PutRowOrderUnpaginated(std::uint32_t rows);
    void ResetPool();
    void RecountTextLines();
    void RefreshAndRedraw();
    bool HasWindow() const;

    TableStyle style_;
    PrintOptions options_;
    int page_count_ = 0;
    bool layout_dirty_ = false;
    bool modified_ = false;
    char layout_file_path_[260] = {};

    ItemList columns_;
    ItemList pool_;
    int titles_end_ = 0;
    int header_offset_ = 0;
    int header_length_ = 0;
    int footer_offset_ = 1;
    int footer_length_ = 0;
    ItemList lines_;
    // The row order the DataRun entries count in: the rows' keys, or none for rows in stored
    // order; their heights, or none when all are one line high.
    std::vector<std::uint32_t> row_keys_;
    std::vector<std::uint8_t> row_heights_;
    // While the list holds a run: for every block of 64 lines, the entry holding its first
    // line and the line that entry starts at. Line finds its entry in a few steps from there
    // rather than by a search of every entry, and no entry needs a start of its own.
    static constexpr unsigned kLineBlockShift = 6;
    std::vector<std::uint32_t> block_entries_;
    std::vector<std::uint32_t> block_entry_starts_;
    bool has_runs_ = false;
    int line_count_ = 0;
    int row_count_ = 0;
    CellTextSource cell_text_source_;
    SumState sums_;
    bool sorted_ = false;
    int sort_source_ = 0;
    std::int32_t sort_key_type_ = 0;
    int table_width_ = 0;

    FontSpec font_;
    DeviceMetrics screen_;
    DeviceMetrics print_;
    GridViewState view_state_;
    GridPrintState print_state_;

    GridEnvironment environment_;
    GridView* view_ = nullptr;
};

#endif
