// The pieces every line of a boxed character table is made of, shared by the data rows and the
// sum lines: the visible columns, a line of fill with its borders, and a text placed in a cell.
#ifndef LINTARO_GRID_BOX_LINE_H
#define LINTARO_GRID_BOX_LINE_H

#include <algorithm>
#include <cstdint>
#include <vector>

#include "grid/grid_model.h"
#include "store/item_list.h"

// The widest indent the renderers write: wider than any paper a dot-matrix printer takes.
constexpr int kLongestIndent = 999;

// An indent as the renderers use it: never negative, never more than kLongestIndent.
inline int UsedIndent(int indent) { return std::clamp(indent, 0, kLongestIndent); }

// One visible column as the text renderers see it.
struct CharColumn {
    int index;
    int width;  // character width used, never negative
    int alignment;
};

// The visible columns. Big tables render their data rows in runs (DataRowRun), which take the
// list once per run; the renderers that take it per line take it for lines that are few.
std::vector<CharColumn> CharColumns(const GridModel& grid);
// The same into `columns`, whose room is kept: for a renderer that takes them line after line.
void CollectCharColumns(const GridModel& grid, std::vector<CharColumn>& columns);

// Which borders after the columns a line draws: (*drawn)[i] for the one after column i, every
// one when `drawn` is null. The table's left edge always stands.
using BorderMask = std::vector<bool>;

// Writes `indent` spaces and `width` copies of `fill`, then CR LF, at `line` (indent + width + 2
// bytes), and puts `border` at the table's first position and after the columns `drawn` says.
void FillBoxLine(const std::vector<CharColumn>& columns, char* line, int width, int indent, char fill, char border,
                 const BorderMask* drawn = nullptr);

// Appends `count` bytes of `bytes` (zeros when null) as a line; its offset in `out`, or -1 as
// below.
int AppendLineBytes(ItemList& out, const char* bytes, std::int64_t count);

// Appends a line as FillBoxLine makes it, the indent as UsedIndent. Returns the offset of the
// line in `out`, or -1 when `out` cannot grow (or the line would be longer than a list can hold).
int AppendBoxLine(const std::vector<CharColumn>& columns, ItemList& out, int width, int indent, char fill,
                  char border, const BorderMask* drawn = nullptr);

// Copies `count` bytes into the text line at `line_offset` so that they start `pad` characters
// after the left border of the column whose border stands at `border`; nothing goes past the
// table's last character. Control bytes of the text become blanks: a cell's line feed, form
// feed or ESC must neither break the boxed line nor reach a printer as a command.
void PlaceInLine(ItemList& out, int line_offset, int indent, int width, std::int64_t border, int pad,
                 const char* text, int count);

// Pad of a text of `length` in a column `width` wide under an alignment; a text at least as
// long as the column is cut to it and takes pad 1.
int PadFor(int alignment, int length, int width);

#endif
