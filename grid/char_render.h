// The grid's layout as boxed character text: column widths in characters and one renderer per
// kind of layout line, shared by the dot-matrix printer and the plain-text export.
#ifndef LINTARO_GRID_CHAR_RENDER_H
#define LINTARO_GRID_CHAR_RENDER_H

#include <cstddef>
#include <vector>

#include "grid/box_line.h"
#include "grid/grid_model.h"
#include "store/item_list.h"

// A table line is: `indent` spaces, a border, then per visible column (in display order) a
// blank, w characters, a blank and a border, where w is the column's character width used.
// `width` is the table width in characters (TextPageWidth) and `indent` the spaces before the
// table: 0 for export, the left margin in characters on LPT1; a negative indent counts as 0
// and one beyond kLongestIndent as kLongestIndent, so that no margin makes a line without end.
// Characters are bytes of code page 1251; a blank is 0x00-0x20. Control bytes (0x00-0x1F) of
// cells, titles and header or footer texts are written as blanks: only the renderers' own CR LF
// ends a line, and nothing in a text can act as a printer command.
//
// Every renderer appends to `out` and ends each text line with CR LF. When `out` cannot grow a
// renderer stops, keeps what it appended, and returns false.

// Sets every column's character width and character width used to 0, then for each visible
// column to the longest word of its title and the full length of its longest non-empty cell
// text over the DataRow lines; character width used = character width.
void ComputeCharWidths(GridModel& grid);

// 1 + the sum over visible columns of (character width used + 3).
int TextPageWidth(const GridModel& grid);

// kLongestIndent: the widest indent the renderers write.

// "+---+--+" style: `width` dashes after the indent with "+" at every border position.
bool AppendRuleLine(const GridModel& grid, ItemList& out, int width, int indent);
// The same with blanks for the dashes and "|" for the plus signs.
bool AppendEmptyCellLine(const GridModel& grid, ItemList& out, int width, int indent);

// What a renderer of many data rows keeps from row to row: the visible columns, and the rule
// and empty-cell lines of the widths last rendered, made again only when those change. A big
// table's rows all share them. One per thread: the threads that render an export end with it,
// so nothing of this may live in thread_local storage (see ordered_batches.h).
class BoxLineCache {
public:
    // The visible columns, as CharColumns, in a list whose room is kept.
    const std::vector<CharColumn>& Columns(const GridModel& grid);
    // Appends the empty-cell line (or the rule line) for these columns; as AppendBoxLine.
    int Append(const std::vector<CharColumn>& columns, ItemList& out, int width, int indent, bool rule);

private:
    bool SameWidths(const std::vector<CharColumn>& columns) const;

    std::vector<CharColumn> columns_;
    std::vector<int> widths_;
    int width_ = -1;
    int indent_ = -1;
    std::vector<char> rule_;
    std::vector<char> empty_;
};

// A data row on one text line, whatever its height: cells aligned in their columns, texts
// longer than the column cut (never wrapped); a rule above and below as the line's flags say.
// `kept`, when given, is the caller's cache for the rows it renders one after another.
bool RenderDataRow(const GridModel& grid, const LayoutLine& line, ItemList& out, int width, int indent,
                   BoxLineCache* kept = nullptr);

// The titles: a rule, `line.height` lines of titles word-wrapped and centred, a rule. Title
// text that does not fit in those lines is dropped.
bool RenderTitles(const GridModel& grid, const LayoutLine& line, ItemList& out, int width, int indent);

// The numbers 1, 2, ... of the visible columns, centred; a rule above when RuleAbove, always
// one below.
bool RenderColumnNumbers(const GridModel& grid, const LayoutLine& line, ItemList& out, int width,
                         int indent);

// Header or footer text: one output line per text line (CR, or CR LF, ends a line); the part
// before a TAB starts two columns after the indent, the part after it ends two columns before
// the table's right border. Nothing for an empty text or a width of 0. When `out` fails in a
// line, the renderer still tries to end that line and goes on; it gives up when that fails too.
bool RenderHeaderText(const char* text, std::size_t length, ItemList& out, int width, int indent);

// The page number for the table's page-number position (PageNumberPosition): "  N." at the
// left, "- N -" centred, "N." ending two columns before the table's end otherwise; in the
// PageOfPages style "стр. N от M" in the same places, M being `pages`. Starts at column 0: a
// page number is never indented.
bool RenderPageNumber(int page, int position, ItemList& out, int width, int style = PageNumberStyle::Plain,
                      int pages = 0);

// Renders one layout line by its kind: DataRow, Titles, ColumnNumbers, Header (the grid's
// header text), Footer (its footer text), PageNumber (the line's key and the grid's position),
// the sum lines (RenderSumLine);
// every other kind (Blank, DateLine, PageBreak) is an empty line. `kept` as for RenderDataRow.
bool RenderLayoutLine(const GridModel& grid, const LayoutLine& line, ItemList& out, int width,
                      int indent, BoxLineCache* kept = nullptr);

#endif
