// The text rules that decide without drawing: line breaks, line counts, alignment, truncation,
// name abbreviation, word measures and where each line of wrapped and header text goes.
#ifndef LINTARO_RENDER_TEXT_LAYOUT_H
#define LINTARO_RENDER_TEXT_LAYOUT_H

#include <cstddef>
#include <cstdint>

#include "render/text_meter.h"

// Texts are code page 1251 bytes with an explicit length; none of these functions needs a
// terminator (except AbbreviateName, which keeps one) and none allocates memory. Widths are the
// device pixels of the meter.

// A rectangle in device pixels; right and bottom are exclusive.
struct PixelRect {
    int left;
    int top;
    int right;
    int bottom;
};

// Alignment code of a column.
enum : int {
    kAlignLeft = 0,
    kAlignRight = 1,
    kAlignCenter = 2,
};

// Space and every control character (TAB, CR, LF included); bytes 0x80-0xFF never are.
inline bool IsBlank(unsigned char byte) { return byte <= 0x20; }

// Letters for name abbreviation: the Cyrillic of code page 1251 (0xC0-0xFF), A-Z and a-z.
inline bool IsNameLetter(unsigned char byte) {
    return byte >= 0xC0 || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

// Font height for CreateFontIndirect: minus size (tenths of a point) times pixels per inch over
// 720, rounded as MulDiv rounds. Negative means "character height", as LOGFONT defines it.
int LogicalFontHeight(std::int32_t sizeInTenthsOfPoint, int pixelsPerInchY);

// Bytes of `text` that form its first line when wrapped to `width`, including the blanks after
// the line's last word so that the next line starts at a word. Lines break at blanks and right
// after a '-'; a line fits when its width is at most `width`; the first word always makes a
// line by itself however wide it is, and a text of one word is never broken.
std::size_t FindLineBreak(const TextMeter& meter, const char* text, std::size_t length, int width);

// Lines the text takes when wrapped to `width`; at least 1, also for a blank or empty text.
int CountWrappedLines(const TextMeter& meter, const char* text, std::size_t length, int width);

// Hard lines: 1 plus the number of CRs, a CR LF pair counting once; 1 for an empty or null
// text. The count is kept in a byte as layout lines keep it, so it stops at 255.
std::uint8_t CountTextLines(const char* text, std::size_t length);

// Shortens a name such as "Иван Петров Иванов" step by step ("Иван П. Иванов", "Иван Иванов",
// "И. П. Иванов", "И. Иванов", "Иванов") until it is at most `width` wide, in place. Leading
// non-letters are dropped first unless the text has no letter at all; texts without a second
// word, and two-word names whose first word and separators are shorter than 4 bytes, stay as
// they are. `text` holds `length` bytes and a terminator within a buffer of `capacity` bytes
// (capacity > length); some forms are longer than the original by up to two bytes, and a form
// that would not fit the buffer is passed over. Without a meter nothing changes. Returns the
// new length; the text stays NUL-terminated. The result may still be too wide.
std::size_t AbbreviateName(const TextMeter* meter, int width, char* text, std::size_t length,
                           std::size_t capacity);

// Width of the widest blank-separated word; 0 for a blank text.
int WidestWordWidth(const TextMeter& meter, const char* text, std::size_t length);

// Length in bytes of the longest blank-separated word; 0 for a blank text.
std::size_t LongestWordLength(const char* text, std::size_t length);

// Where one aligned line goes: the text's left edge and how many of its bytes are shown.
struct AlignedLine {
    int x;
    std::size_t count;
};

// Aligns `count` bytes in `rect` with `padding` pixels kept from the aligned edge. A text too
// long for the cell keeps its shortest prefix whose characters but the last fit (the last one
// crosses the right edge and is covered by the next cell); a right or centred text that fits
// only without its padding is put flush against the right edge. x is never left of rect.left.
AlignedLine PlaceAlignedLine(const TextMeter& meter, const char* text, std::size_t count,
                             const PixelRect& rect, int alignment, int padding);

// The parts of `area` around `box` that drawing a text box leaves to be filled: the band above
// the box, the parts left and right of it and the band below, each clipped to `area`; empty
// parts are left out. A box outside the area leaves the whole area.
struct FillBands {
    PixelRect bands[4];
    int count;
};
FillBands BandsAroundBox(const PixelRect& area, const PixelRect& box);

// One text-drawing step: `count` bytes from offset `start` drawn `dx` pixels right of
// box.left at box.top, and the rest of `box` filled (the whole box when count is 0).
struct TextPiece {
    std::size_t start;
    std::size_t count;
    PixelRect box;
    int dx;
};

// Where wrapped lines break when they must break as another device breaks them (the screen
// showing the lines the printer prints): that device's meter, with the font it draws with
// chosen, and its wrap width in its own pixels.
struct LineBreakRule {
    const TextMeter* meter;
    int width;
};

// Lays out multi-line text as a sequence of TextPieces that together cover the rectangle from
// its top down: a band of height dy, then one band per line as high as the line, then the rest.
// Walk it with Next until it returns false. The layout refers to the text and the meter and
// must not outlive them.
class WrappedTextLayout {
public:
    // Cell text wrapped to rect width - leftPadding - rightPadding, each line aligned by itself
    // (a right-aligned line keeps leftPadding from the right edge); stops before a line that
    // would start at or below rect.bottom.
    static WrappedTextLayout ForCell(const TextMeter& meter, const char* text, std::size_t length,
                                     const PixelRect& rect, int leftPadding, int rightPadding,
                                     int dy, int alignment);

    // Cell text as ForCell, its lines broken where `breaks` breaks them; each line is still
    // measured, aligned and placed with `meter`.
    static WrappedTextLayout ForCellBrokenAs(const TextMeter& meter, const char* text,
                                             std::size_t length, const PixelRect& rect,
                                             int leftPadding, int rightPadding, int dy,
                                             int alignment, const LineBreakRule& breaks);

    // Column titles: wrapped to rect width - padding, each line centred in the whole width (3
    // pixels from the left when too wide to centre); all lines are laid out, the caller's clip
    // region limits them.
    static WrappedTextLayout ForTitle(const TextMeter& meter, const char* text,
                                      std::size_t length, const PixelRect& rect, int padding,
                                      int dy);

    bool Next(TextPiece& piece);

private:
    WrappedTextLayout(const TextMeter& meter, const char* text, std::size_t length,
                      const PixelRect& rect, int wrapWidth, int dy);

    const TextMeter& meter_;
    const char* text_;
    std::size_t length_;
    PixelRect rect_;
    int wrap_width_;
    const TextMeter* break_meter_;  // finds the line breaks at wrap_width_
    int dy_;
    bool title_ = false;
    int alignment_ = kAlignLeft;
    int left_padding_ = 0;
    int top_ = 0;
    std::size_t position_ = 0;
    int stage_ = 0;
};

// Lays out page header or footer text: one band per hard line (CR or CR LF ends a line, no
// wrapping, spaces at a line's start are skipped). A TAB splits a line into a left part
// `padding` pixels from the left edge and a right part `padding` pixels from the right edge;
// an empty line is a blank band as high as "ABC". Negative padding counts as 0. Same walking
// contract as WrappedTextLayout.
class HeaderTextLayout {
public:
    HeaderTextLayout(const TextMeter& meter, const char* text, std::size_t length,
                     const PixelRect& rect, int padding, int dy);

    bool Next(TextPiece& piece);

private:
    void LayOutLine();

    const TextMeter& meter_;
    const char* text_;
    std::size_t length_;
    PixelRect rect_;
    int padding_;
    int dy_;
    int top_ = 0;
    std::size_t position_ = 0;
    int stage_ = 0;
    TextPiece pending_[2] = {};
    int pending_count_ = 0;
    int pending_next_ = 0;
};

#endif
