// The text rules that decide without drawing: line breaks, line counts, alignment, truncation,
// name abbreviation, word measures and where each line of wrapped and header text goes.
#include "render/text_layout.h"

#include <algorithm>
#include <cstring>

#include "base/mul_div.h"

namespace {

bool BlankAt(const char* text, std::size_t index) {
    return IsBlank(static_cast<unsigned char>(text[index]));
}

bool LetterAt(const char* text, std::size_t index) {
    return IsNameLetter(static_cast<unsigned char>(text[index]));
}

std::size_t SkipBlanks(const char* text, std::size_t position, std::size_t length) {
    while (position < length && BlankAt(text, position)) ++position;
    return position;
}

std::size_t SkipWord(const char* text, std::size_t position, std::size_t length) {
    while (position < length && !BlankAt(text, position)) ++position;
    return position;
}

std::size_t SkipLetters(const char* text, std::size_t position, std::size_t length) {
    while (position < length && LetterAt(text, position)) ++position;
    return position;
}

std::size_t SkipNonLetters(const char* text, std::size_t position, std::size_t length) {
    while (position < length && !LetterAt(text, position)) ++position;
    return position;
}

int Width(const PixelRect& rect) { return rect.right - rect.left; }

PixelRect Band(const PixelRect& rect, int top, int bottom) {
    return PixelRect{rect.left, top, rect.right, bottom};
}

TextPiece FillPiece(const PixelRect& box) { return TextPiece{0, 0, box, 0}; }

}  // namespace

int LogicalFontHeight(std::int32_t sizeInTenthsOfPoint, int pixelsPerInchY) {
    return -MulDiv32(sizeInTenthsOfPoint, pixelsPerInchY, 720);
}

std::size_t FindLineBreak(const TextMeter& meter, const char* text, std::size_t length, int width) {
    if (text == nullptr || length == 0) return 0;
    std::size_t position = SkipBlanks(text, 0, length);
    if (position == length) return length;
    position = SkipWord(text, position, length);
    if (position == length) return length;
    if (meter.Width(text, position) >= width) return SkipBlanks(text, position, length);

    std::size_t last_break = position;
    while (position < length) {
        position = SkipBlanks(text, position, length);
        if (position == length) return length;
        // A segment runs to a blank or up to and including a hyphen.
        while (position < length && !BlankAt(text, position) && text[position] != '-') ++position;
        if (position < length && text[position] == '-') ++position;
        if (meter.Width(text, position) > width) return SkipBlanks(text, last_break, length);
        last_break = position;
    }
    return length;
}

int CountWrappedLines(const TextMeter& meter, const char* text, std::size_t length, int width) {
    int lines = 0;
    std::size_t position = 0;
    while (text != nullptr && position < length) {
        if (BlankAt(text, position)) {
            ++position;
            continue;
        }
        position += FindLineBreak(meter, text + position, length - position, width);
        ++lines;
    }
    return lines > 0 ? lines : 1;
}

std::uint8_t CountTextLines(const char* text, std::size_t length) {
    unsigned lines = 1;
    for (std::size_t i = 0; text != nullptr && i < length && lines < 255; ++i) {
        if (text[i] == '\r') {
            ++lines;
            if (i + 1 < length && text[i + 1] == '\n') ++i;
        }
    }
    return static_cast<std::uint8_t>(lines);
}

std::size_t AbbreviateName(const TextMeter* meter, int width, char* text, std::size_t length,
                           std::size_t capacity) {
    if (meter == nullptr || text == nullptr || length == 0 || capacity <= length) return length;

    const std::size_t first_letter = SkipNonLetters(text, 0, length);
    if (first_letter == length) return length;  // digits and punctuation only: dates, amounts
    if (first_letter > 0) {
        length -= first_letter;
        std::memmove(text, text + first_letter, length);
        text[length] = '\0';
    }
    auto fits = [&](std::size_t count) { return meter->Width(text, count) <= width; };
    if (fits(length)) return length;

    const std::size_t first_end = SkipLetters(text, 0, length);
    const std::size_t second_start = SkipNonLetters(text, first_end, length);
    if (second_start == length) return length;
    const std::size_t second_end = SkipLetters(text, second_start, length);
    const std::size_t rest_start = SkipNonLetters(text, second_end, length);
    const char first_initial = text[0];
    const char second_initial = text[second_start];

    // Every shorter form is a few leading bytes followed by a tail of the original (the second
    // word, or the rest after it), so the tail is moved into place and the lead bytes written.
    std::size_t tail_at = rest_start;
    std::size_t tail_length = length - rest_start;
    auto place_tail = [&](std::size_t at) {
        std::memmove(text + at, text + tail_at, tail_length);
        tail_at = at;
        text[at + tail_length] = '\0';
        return at + tail_length;
    };
    auto room_for = [&](std::size_t lead) { return lead + tail_length < capacity; };

    if (tail_length == 0) {
        if (second_start < 4) return length;
        tail_at = second_start;
        tail_length = second_end - second_start;
        const std::size_t initial_form = place_tail(3);
        text[0] = first_initial;
        text[1] = '.';
        text[2] = ' ';
        if (fits(initial_form)) return initial_form;
        return place_tail(0);
    }

    // "Иван П. Иванов": the first word and its separators kept, the second word an initial.
    if (room_for(second_start + 3)) {
        const std::size_t middle_initial = place_tail(second_start + 3);
        text[second_start + 1] = '.';
        text[second_start + 2] = ' ';
        const int middle_width = meter->Width(text, middle_initial);
        if (middle_width <= width) return middle_initial;
        // "Иван Иванов" when the form would fit without the initial.
        if (middle_width - meter->Width(text + second_start, 3) <= width) {
            return place_tail(second_start);
        }
    }
    if (room_for(6)) {
        const std::size_t both_initials = place_tail(6);
        text[0] = first_initial;
        text[1] = '.';
        text[2] = ' ';
        text[3] = second_initial;
        text[4] = '.';
        text[5] = ' ';
        if (fits(both_initials)) return both_initials;
    }
    const std::size_t first_initial_form = place_tail(3);
    text[0] = first_initial;
    text[1] = '.';
    text[2] = ' ';
    if (fits(first_initial_form)) return first_initial_form;
    return place_tail(0);
}

int WidestWordWidth(const TextMeter& meter, const char* text, std::size_t length) {
    int widest = 0;
    std::size_t position = 0;
    while (text != nullptr && position < length) {
        const std::size_t start = SkipBlanks(text, position, length);
        position = SkipWord(text, start, length);
        if (position > start)
            widest = std::max(widest, meter.Width(text + start, position - start));
    }
    return widest;
}

std::size_t LongestWordLength(const char* text, std::size_t length) {
    std::size_t longest = 0;
    std::size_t position = 0;
    while (text != nullptr && position < length) {
        const std::size_t start = SkipBlanks(text, position, length);
        position = SkipWord(text, start, length);
        longest = std::max(longest, position - start);
    }
    return longest;
}

AlignedLine PlaceAlignedLine(const TextMeter& meter, const char* text, std::size_t count,
                             const PixelRect& rect, int alignment, int padding) {
    if (text == nullptr) count = 0;
    int text_width = meter.Width(text, count);
    AlignedLine line{rect.left + padding, count};
    if (rect.left + padding + text_width < rect.right) {
        if (alignment == kAlignRight) {
            line.x = rect.right - padding - text_width;
        } else if (alignment == kAlignCenter) {
            line.x = rect.left + (Width(rect) - text_width) / 2;
        }
    } else {
        while (line.count > 1) {
            if (rect.left + text_width <= rect.right) {
                if (alignment == kAlignRight || alignment == kAlignCenter) {
                    line.x = rect.right - text_width;
                    break;
                }
                if (rect.left + padding + text_width <= rect.right) break;
            }
            const int last_width = meter.Width(text + line.count - 1, 1);
            // The last character may cross the edge: the next cell's painting cuts it.
            if (rect.left + padding + text_width - last_width <= rect.right) break;
            text_width -= last_width;
            --line.count;
        }
    }
    line.x = std::max(line.x, rect.left);
    return line;
}

FillBands BandsAroundBox(const PixelRect& area, const PixelRect& box) {
    FillBands result{};
    auto add = [&](int left, int top, int right, int bottom) {
        left = std::max(left, area.left);
        top = std::max(top, area.top);
        right = std::min(right, area.right);
        bottom = std::min(bottom, area.bottom);
        if (left < right && top < bottom) result.bands[result.count++] = {left, top, right, bottom};
    };
    const int box_top = std::clamp(box.top, area.top, area.bottom);
    const int box_bottom = std::clamp(box.bottom, box_top, area.bottom);
    const int box_left = std::clamp(box.left, area.left, area.right);
    const int box_right = std::clamp(box.right, box_left, area.right);
    if (box_top == box_bottom || box_left == box_right) {
        add(area.left, area.top, area.right, area.bottom);
        return result;
    }
    add(area.left, area.top, area.right, box_top);
    add(area.left, box_top, box_left, box_bottom);
    add(box_right, box_top, area.right, box_bottom);
    add(area.left, box_bottom, area.right, area.bottom);
    return result;
}

WrappedTextLayout::WrappedTextLayout(const TextMeter& meter, const char* text, std::size_t length,
                                     const PixelRect& rect, int wrapWidth, int dy)
    : meter_(meter),
      text_(text),
      length_(text != nullptr ? length : 0),
      rect_(rect),
      wrap_width_(wrapWidth),
      break_meter_(&meter),
      dy_(dy),
      top_(rect.top) {}

WrappedTextLayout WrappedTextLayout::ForCell(const TextMeter& meter, const char* text,
                                             std::size_t length, const PixelRect& rect,
                                             int leftPadding, int rightPadding, int dy,
                                             int alignment) {
    WrappedTextLayout layout(meter, text, length, rect, Width(rect) - leftPadding - rightPadding,
                             dy);
    layout.alignment_ = alignment;
    layout.left_padding_ = leftPadding;
    return layout;
}

WrappedTextLayout WrappedTextLayout::ForCellBrokenAs(const TextMeter& meter, const char* text,
                                                     std::size_t length, const PixelRect& rect,
                                                     int leftPadding, int rightPadding, int dy,
                                                     int alignment, const LineBreakRule& breaks) {
    WrappedTextLayout layout = ForCell(meter, text, length, rect, leftPadding, rightPadding, dy, alignment);
    if (breaks.meter != nullptr) {
        layout.break_meter_ = breaks.meter;
        layout.wrap_width_ = breaks.width;
    }
    return layout;
}

WrappedTextLayout WrappedTextLayout::ForTitle(const TextMeter& meter, const char* text,
                                              std::size_t length, const PixelRect& rect,
                                              int padding, int dy) {
    WrappedTextLayout layout(meter, text, length, rect, Width(rect) - padding, dy);
    layout.title_ = true;
    return layout;
}

bool WrappedTextLayout::Next(TextPiece& piece) {
    if (stage_ == 0) {
        stage_ = 1;
        if (dy_ != 0) {
            const int band_top = top_;
            top_ += dy_;
            if (dy_ > 0) {
                piece = FillPiece(Band(rect_, band_top, top_));
                return true;
            }
        }
    }
    if (stage_ == 1) {
        // Cell text stops at the bottom; titles go on and leave the cut to the clip region.
        while (position_ < length_ && (title_ || top_ < rect_.bottom)) {
            if (BlankAt(text_, position_)) {
                ++position_;
                continue;
            }
            const std::size_t taken =
                FindLineBreak(*break_meter_, text_ + position_, length_ - position_, wrap_width_);
            std::size_t shown = taken;
            while (shown > 0 && BlankAt(text_, position_ + shown - 1)) --shown;
            if (shown == 0) break;
            const TextExtent extent = meter_.Measure(text_ + position_, shown);
            int offset;
            if (title_) {
                offset = Width(rect_) <= extent.width + 3 ? 3 : (Width(rect_) - extent.width) / 2;
            } else if (alignment_ == kAlignRight) {
                offset = Width(rect_) - left_padding_ - extent.width;
            } else if (alignment_ == kAlignCenter) {
                offset = (Width(rect_) - extent.width) / 2;
            } else {
                offset = left_padding_;
            }
            piece = TextPiece{position_, shown, Band(rect_, top_, top_ + extent.height),
                              std::max(offset, 0)};
            position_ += taken;
            top_ += extent.height;
            return true;
        }
        stage_ = 2;
    }
    if (stage_ == 2) {
        stage_ = 3;
        if (top_ < rect_.bottom) {
            piece = FillPiece(Band(rect_, top_, rect_.bottom));
            return true;
        }
    }
    return false;
}

HeaderTextLayout::HeaderTextLayout(const TextMeter& meter, const char* text, std::size_t length,
                                   const PixelRect& rect, int padding, int dy)
    : meter_(meter),
      text_(text),
      length_(text != nullptr ? length : 0),
      rect_(rect),
      padding_(std::max(padding, 0)),
      dy_(dy),
      top_(rect.top) {}

void HeaderTextLayout::LayOutLine() {
    pending_count_ = 0;
    pending_next_ = 0;
    std::size_t end = position_;
    while (end < length_ && text_[end] != '\r') ++end;
    if (end == position_) {
        const int height = meter_.Measure("ABC", 3).height;
        pending_[pending_count_++] = FillPiece(Band(rect_, top_, top_ + height));
        top_ += height;
    } else {
        const void* tab = std::memchr(text_ + position_, '\t', end - position_);
        if (tab == nullptr) {
            const TextExtent extent = meter_.Measure(text_ + position_, end - position_);
            pending_[pending_count_++] = TextPiece{
                position_, end - position_, Band(rect_, top_, top_ + extent.height), padding_};
            top_ += extent.height;
        } else {
            const std::size_t tab_at =
                static_cast<std::size_t>(static_cast<const char*>(tab) - text_);
            const std::size_t right_start = tab_at + 1;
            const TextExtent left = meter_.Measure(text_ + position_, tab_at - position_);
            const TextExtent right = meter_.Measure(text_ + right_start, end - right_start);
            const int split = rect_.left + left.width + padding_;
            pending_[pending_count_++] =
                TextPiece{position_, tab_at - position_,
                          PixelRect{rect_.left, top_, split, top_ + left.height}, padding_};
            const int right_offset = std::max(rect_.right - split - right.width - padding_, 0);
            pending_[pending_count_++] =
                TextPiece{right_start, end - right_start,
                          PixelRect{split, top_, rect_.right, top_ + right.height}, right_offset};
            top_ += std::max(left.height, right.height);
        }
    }
    position_ = end;
    if (position_ < length_ && text_[position_] == '\r') ++position_;
    if (position_ < length_ && text_[position_] == '\n') ++position_;
}

bool HeaderTextLayout::Next(TextPiece& piece) {
    if (pending_next_ < pending_count_) {
        piece = pending_[pending_next_++];
        return true;
    }
    if (stage_ == 0) {
        stage_ = 1;
        if (dy_ != 0) {
            const int band_top = top_;
            top_ += dy_;
            if (dy_ > 0) {
                piece = FillPiece(Band(rect_, band_top, top_));
                return true;
            }
        }
    }
    if (stage_ == 1) {
        while (position_ < length_ && text_[position_] == ' ') ++position_;
        if (position_ < length_) {
            LayOutLine();
            piece = pending_[pending_next_++];
            return true;
        }
        stage_ = 2;
    }
    if (stage_ == 2) {
        stage_ = 3;
        if (top_ < rect_.bottom) {
            piece = FillPiece(Band(rect_, top_, rect_.bottom));
            return true;
        }
    }
    return false;
}
