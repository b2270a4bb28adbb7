// The grid's fixed-layout records (columns, column info, table style, layout lines) and their codes.
#ifndef LINTARO_GRID_GRID_RECORDS_H
#define LINTARO_GRID_GRID_RECORDS_H

#include <cstddef>
#include <cstdint>

// These records are byte images: GridColumn and TableStyle are written to the column layout
// file as they are held, GridColumnInfo arrays are exchanged at a 145-byte stride and layout
// lines are kept 11 bytes apart in an ItemList. Every field is little-endian and fixed-width.
// The packed ones have alignment 1, so take no references or pointers to their fields.

// Bits of TableStyle::flags.
struct TableFlags {
    enum : std::uint32_t {
        BoldHeader = 0x1,       // titles in the bold variant of the table font
        ColNumbers = 0x2,       // a ColumnNumbers line under the titles on every page
        HorzLines = 0x4,        // a rule below every data row
        GrayHeader = 0x8,       // titles and column numbers on light gray
        PageColNumbers = 0x10,  // the page number on page 1 too
        PageColTitles = 0x20,   // titles on every page, not only the first
        PageHeader = 0x40,      // header text on every page
        PageFooter = 0x80,      // footer text and page-bottom lines on every page
        PageDate = 0x100,       // a DateLine at the bottom of each page
    };
};

// TableStyle::line_type; the value is also the rule width in pixels.
struct LineType {
    enum : std::uint8_t { Single = 1, Thick = 2, Double = 3 };
};

// TableStyle::page_number_position.
struct PageNumberPosition {
    enum : std::uint8_t {
        None = 0,
        TopLeft = 1,
        TopCenter = 2,
        TopRight = 3,
        BottomLeft = 4,
        BottomCenter = 5,
        BottomRight = 6,
    };
};

#pragma pack(push, 1)
// The table-wide style, read and written as one 8-byte unit.
struct TableStyle {
    std::uint8_t line_type = LineType::Single;
    std::uint16_t cell_height = 0;  // 0, or rows this many percent taller than the font (20..100)
    std::uint8_t page_number_position = PageNumberPosition::TopRight;
    std::uint32_t flags = TableFlags::ColNumbers | TableFlags::HorzLines;
};
#pragma pack(pop)
static_assert(sizeof(TableStyle) == 8, "TableStyle is 8 bytes");
static_assert(offsetof(TableStyle, cell_height) == 1 && offsetof(TableStyle, page_number_position) == 3 &&
                  offsetof(TableStyle, flags) == 4,
              "TableStyle fields sit at their file offsets");

// PrintOptions::page_number_style: how a page number reads, at any of the positions.
struct PageNumberStyle {
    enum : std::uint8_t {
        Plain = 0,        // "N." or "- N -", as the position has it
        PageOfPages = 1,  // "стр. N от M", M the pages of the layout
    };
};

// Bits of PrintOptions::sum_lines: where the sums of the columns marked ColumnFlags::Sum
// appear. Zero, with at least one column summed, is the total at the end of the table alone.
struct SumPlacement {
    enum : std::uint8_t {
        PageTotals = 0x1,      // at the foot of every page: "Общо за страницата" and the running "Пренос"
        BroughtForward = 0x2,  // at the head of every page after the first: "Пренос от предходна страница"
        GroupTotals = 0x4,     // a subtotal after each run of equal keys in the column the view is sorted by
        NoEndTotal = 0x8,      // no "Общо" at the end of the table
    };
};

// How the table goes onto paper beyond the table style; all zero is the plain look.
struct PrintOptions {
    std::uint16_t key_columns = 0;  // leading visible columns repeated left of every column group
    std::uint8_t page_number_style = PageNumberStyle::Plain;
    std::uint8_t fit_to_width = 0;  // 1: the printed table is scaled down to one column group
    std::uint8_t sum_lines = 0;     // SumPlacement bits
};

inline bool operator==(const PrintOptions& a, const PrintOptions& b) {
    return a.key_columns == b.key_columns && a.page_number_style == b.page_number_style &&
           a.fit_to_width == b.fit_to_width && a.sum_lines == b.sum_lines;
}
inline bool operator!=(const PrintOptions& a, const PrintOptions& b) { return !(a == b); }

// Bits of GridColumn::flags and GridColumnInfo::flags.
struct ColumnFlags {
    enum : std::uint32_t {
        Visible = 0x1,
        TextFlow = 0x10,    // wrap the text over several lines
        Abbreviate = 0x20,  // shorten personal names to initials
        Bold = 0x40,        // cells in the bold variant of the table font
        Sum = 0x80,         // the column's amounts are added up on the sum lines
    };
};

// GridColumn::type and GridColumnInfo::type.
struct ColumnType {
    enum : std::int32_t { Text = 0, Number = 1, Date = 2, Time = 3, Picture = 201 };
};

// The source of the row-number column; every other column shows a table store column.
constexpr std::int32_t kRowNumberSource = -1;

// One column of the grid, 48 bytes, as held in the column list and in the layout file. Widths
// are device pixels and include the text inset and the cell margin.
struct GridColumn {
    std::int32_t source;               // table store column identifier, or kRowNumberSource
    std::uint32_t flags;               // ColumnFlags
    std::int32_t alignment;            // kAlignLeft, kAlignRight, kAlignCenter
    std::int32_t max_lines;            // 0 = no limit, otherwise 2 or more
    std::int32_t type;                 // ColumnType
    std::int32_t width;                // on screen
    std::int32_t natural_width;        // on screen, as ApplyNaturalWidths last found it
    std::int32_t print_width;          // on the print measuring context
    std::int32_t print_natural_width;  // likewise
    std::uint32_t title_offset;        // of the title in the string pool
    std::int32_t character_width;      // widest title or cell, in characters
    std::int32_t character_width_used;
};
static_assert(sizeof(GridColumn) == 48, "GridColumn is 48 bytes");
static_assert(offsetof(GridColumn, type) == 16 && offsetof(GridColumn, width) == 20 &&
                  offsetof(GridColumn, title_offset) == 36 &&
                  offsetof(GridColumn, character_width_used) == 44,
              "GridColumn fields sit at their file offsets");

// Longest column title the info record carries, in characters (without the terminator).
constexpr std::size_t kColumnTitleLimit = 128;

#pragma pack(push, 1)
// How the dialogs, the data file reader and the demonstration table read and change a column.
struct GridColumnInfo {
    std::uint32_t flags;
    std::uint32_t alignment;
    std::uint32_t max_lines;
    std::uint32_t type;
    char title[kColumnTitleLimit + 1];  // NUL-terminated
};
#pragma pack(pop)
static_assert(sizeof(GridColumnInfo) == 145, "GridColumnInfo is 145 bytes, also as an array stride");
static_assert(offsetof(GridColumnInfo, type) == 12 && offsetof(GridColumnInfo, title) == 16,
              "GridColumnInfo fields sit at their offsets");

// LayoutLine::kind.
struct LineKind {
    enum : std::uint8_t {
        Blank = 0,
        DataRow = 1,
        // Inside the model's list alone: `ordinal` data rows in a row, from position `key` of
        // the model's row order, each with these flags (GridModel::Line gives them one by one).
        DataRun = 2,
        Titles = 10,
        ColumnNumbers = 11,
        Header = 20,
        Footer = 21,
        DateLine = 23,
        PageNumber = 31,
        PageBreak = 32,
        // Sum lines, one text line high, drawn like a data row in bold: a label over the
        // visible columns before the first summed one, and the sums under the summed columns.
        // Their key indexes the model's sums (grid/sum_lines.h).
        GroupTotal = 40,      // after a run of equal keys of the sorted column; the key is the label
        PageTotal = 41,       // "Общо за страницата": the page's rows
        CarriedTotal = 42,    // "Пренос": every row up to the end of this page
        BroughtForward = 43,  // "Пренос от предходна страница": every row before this page
        EndTotal = 44,        // "Общо": every row of the view
        SumNote = 45,         // "3 стойности не са числа": one plain text line under the end total
    };
};

inline bool IsSumLine(std::uint8_t kind) { return kind >= LineKind::GroupTotal && kind <= LineKind::SumNote; }

// Bits of LayoutLine::flags.
struct LineFlags {
    enum : std::uint8_t { RuleAbove = 0x1, RuleBelow = 0x2 };
};

#pragma pack(push, 1)
// One line of the paginated layout, 11 bytes.
struct LayoutLine {
    std::uint32_t key;      // DataRow: row index for the cell text source; PageNumber: page
    std::uint8_t kind;      // LineKind
    std::uint8_t flags;     // LineFlags
    std::uint8_t height;    // in text lines
    std::uint32_t ordinal;  // DataRow: 1-based position, shown by the row-number column
};
#pragma pack(pop)
static_assert(sizeof(LayoutLine) == 11, "LayoutLine is 11 bytes");
static_assert(offsetof(LayoutLine, kind) == 4 && offsetof(LayoutLine, flags) == 5 &&
                  offsetof(LayoutLine, height) == 6 && offsetof(LayoutLine, ordinal) == 7,
              "LayoutLine fields sit at their offsets");

// Style bits of the grid window, given to Grid::Create.
struct GridStyle {
    enum : std::uint32_t {
        ResizeCursor = 0x1,    // the sizing cursor over column edges
        MoveColumns = 0x2,     // columns can be dragged to a new place
        ClientEdge = 0x100,    // the sunken client edge
        PageWidthMark = 0x400, // the red line at the printable width
    };
};

// Blank strip and band, in screen pixels, left of and above the table.
constexpr int kLeftIndent = 4;
constexpr int kTopBand = 4;
// Extra height above and below a Titles line.
constexpr int kTitleExtra = 0;
// Horizontal text margin in a cell, added to the text inset, on screen and on paper.
constexpr int kScreenCellMargin = 2;
constexpr int kPrintCellMargin = 2;

#endif
