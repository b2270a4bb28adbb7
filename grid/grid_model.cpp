// The grid model: columns, string pool, table style, font metrics, natural widths, layout file image.
#include "grid/grid_model.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "grid/column_layout_file.h"
#include "base/mul_div.h"
#include "render/text_layout.h"

namespace {

constexpr int kColumnSize = static_cast<int>(sizeof(GridColumn));
constexpr int kLineSize = static_cast<int>(sizeof(LayoutLine));

// Stands in for a device the caller did not give: no text takes room.
class NullMeter : public TextMeter {
public:
    TextExtent Measure(const char*, std::size_t) const override { return TextExtent{0, 0}; }
    int FontHeight() const override { return 0; }
    int PixelsPerInchX() const override { return 96; }
    int PixelsPerInchY() const override { return 96; }
};

class NullDevice : public MeasuringDevice {
public:
    bool SelectFont(const FontSpec&) override { return true; }
    void SelectBold(bool) override {}
    void ReleaseFont() override {}
    const TextMeter& Meter() const override { return meter_; }

private:
    NullMeter meter_;
};

NullDevice& SharedNullDevice() {
    static NullDevice device;
    return device;
}

int TextWidth(const TextMeter& meter, std::string_view text) { return meter.Width(text.data(), text.size()); }

void Raise(std::int32_t& value, int candidate) { value = std::max(value, candidate); }

// The narrowest width, from the widest word on in steps of the width of "i", at which the text
// wraps into at most `max_lines` lines.
int WidthForLineLimit(const TextMeter& meter, const char* text, std::size_t length, int max_lines) {
    int width = WidestWordWidth(meter, text, length);
    const int step = std::max(1, meter.Width("i", 1));
    // Once the whole text fits on one line no wider width changes the count.
    const int whole = meter.Width(text, length);
    while (width <= whole && CountWrappedLines(meter, text, length, width) > max_lines) width += step;
    return width;
}

struct TextWidths {
    int screen;
    int print;
};

// A text's width on both devices from their byte widths, in one pass: measuring every cell of a
// large table twice through the device interface costs more than the rest of the natural widths.
TextWidths AddByteWidths(const int* screen_advances, const int* print_advances, const char* text,
                         std::size_t length) {
    std::int64_t screen = 0;
    std::int64_t print = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        screen += screen_advances[byte];
        print += print_advances[byte];
    }
    return TextWidths{static_cast<int>(std::min<std::int64_t>(screen, INT32_MAX)),
                      static_cast<int>(std::min<std::int64_t>(print, INT32_MAX))};
}

// Both devices' byte widths in one table: the screen's in the low 32 bits, the printer's in the
// high ones, so that a text's two widths are one sum. Only widths below 2^23 are paired, so
// that 255 of them never carry from one half into the other.
struct PairedByteWidths {
    std::uint64_t widths[256];
};

bool PairByteWidths(const TextMeter& screen, const TextMeter& print, PairedByteWidths& paired) {
    const int* screen_advances = screen.ByteAdvances();
    const int* print_advances = print.ByteAdvances();
    if (screen_advances == nullptr || print_advances == nullptr) return false;
    constexpr int kWidest = 1 << 23;
    for (int byte = 0; byte < 256; ++byte) {
        if (screen_advances[byte] < 0 || screen_advances[byte] >= kWidest || print_advances[byte] < 0 ||
            print_advances[byte] >= kWidest) {
            return false;
        }
        paired.widths[byte] = static_cast<std::uint64_t>(screen_advances[byte]) |
                              (static_cast<std::uint64_t>(print_advances[byte]) << 32);
    }
    return true;
}

std::uint64_t AddPairedWidths(const PairedByteWidths& paired, const char* text, std::size_t length) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) sum += paired.widths[static_cast<unsigned char>(text[i])];
    return sum;
}

// The wider of each half of two paired widths.
std::uint64_t WiderPair(std::uint64_t a, std::uint64_t b) {
    return std::max(a & 0xFFFFFFFFu, b & 0xFFFFFFFFu) | std::max(a >> 32 << 32, b >> 32 << 32);
}

// The columns measured from column reads: grid index, store column and byte widths.
struct PairedColumns {
    struct Column {
        int index;
        int source;
        const PairedByteWidths* widths;
    };
    std::vector<Column> columns;
    std::vector<bool> marked;

    bool Empty() const { return columns.empty(); }
    bool Has(int index) const { return static_cast<std::size_t>(index) < marked.size() && marked[static_cast<std::size_t>(index)]; }
    // False when out of memory: the column is then measured cell by cell.
    bool Add(int index, int source, const PairedByteWidths* widths) {
        try {
            if (marked.size() <= static_cast<std::size_t>(index)) marked.resize(static_cast<std::size_t>(index) + 1, false);
            columns.push_back({index, source, widths});
            marked[static_cast<std::size_t>(index)] = true;
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
};

// The widest paired widths of each paired column over part of the rows, and whether every row
// of that part was measured.
struct PairedWidest {
    std::vector<std::uint64_t> widest;
    bool whole = false;
};

// Rows of a table big enough to be measured on two threads.
constexpr int kLinesForTwoThreads = 50000;

int WriteDecimal(std::uint32_t value, char* buffer);

// The widest paired widths of the paired columns over the data rows among layout lines
// [first, end), a block of rows at a time. Touches nothing but `widest`: it may run on a
// thread of its own. False when memory ran out.
bool MeasurePairedColumns(const GridModel& model, const CellTextSource& source, const PairedColumns& paired,
                          int first, int end, std::vector<std::uint64_t>& widest) {
    constexpr int kBlockRows = 256;
    try {
        widest.assign(paired.columns.size(), 0);
        std::vector<char> texts(static_cast<std::size_t>(kBlockRows) * kCellTextStride);
        std::uint32_t keys[kBlockRows];
        std::uint32_t ordinals[kBlockRows];
        std::uint8_t lengths[kBlockRows];
        for (int next = first; next < end;) {
            int rows = 0;
            for (; next < end && rows < kBlockRows; ++next) {
                const LayoutLine line = model.Line(next);
                if (line.kind != LineKind::DataRow) continue;
                keys[rows] = line.key;
                ordinals[rows++] = line.ordinal;
            }
            for (std::size_t n = 0; n < paired.columns.size(); ++n) {
                const PairedColumns::Column& column = paired.columns[n];
                std::uint64_t block_widest = widest[n];
                if (column.source == kRowNumberSource) {
                    // The row numbers are the ordinals as CellText writes them (none for 0).
                    for (int k = 0; k < rows; ++k) {
                        if (ordinals[k] == 0) continue;
                        char digits[12];
                        const int length = WriteDecimal(ordinals[k], digits);
                        block_widest = WiderPair(block_widest, AddPairedWidths(*column.widths, digits,
                                                                               static_cast<std::size_t>(length)));
                    }
                    widest[n] = block_widest;
                    continue;
                }
                source.FetchColumn(column.source, keys, rows, texts.data(), lengths);
                for (int k = 0; k < rows; ++k) {
                    block_widest = WiderPair(block_widest,
                                             AddPairedWidths(*column.widths, &texts[static_cast<std::size_t>(k) * kCellTextStride], lengths[k]));
                }
                widest[n] = block_widest;
            }
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// `value` in decimal digits and a terminator, as "%u" writes it; every export and natural width
// asks for the row numbers of the whole table, where a printf per row shows.
int WriteDecimal(std::uint32_t value, char* buffer) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = 0; i < count; ++i) buffer[i] = digits[count - 1 - i];
    buffer[count] = '\0';
    return count;
}

}  // namespace

GridModel::GridModel() : GridModel(GridEnvironment{}) {}

GridModel::GridModel(const GridEnvironment& environment)
    : columns_(kColumnSize, kColumnSize),
      pool_(128, 128),
      lines_(kLineSize, kLineSize),
      environment_(environment) {
    ResetPool();
    MeasureFontMetrics();
    AddColumn(kRowNumberSource, "No");
    modified_ = false;
}

GridModel::~GridModel() = default;

void GridModel::AttachView(GridView* view) { view_ = view; }

GridColumn* GridModel::Columns() { return reinterpret_cast<GridColumn*>(columns_.Data()); }

const GridColumn* GridModel::Columns() const { return reinterpret_cast<const GridColumn*>(columns_.Data()); }

MeasuringDevice& GridModel::Device(GridDevice device) const {
    MeasuringDevice* chosen = device == GridDevice::Screen ? environment_.screen : environment_.print;
    return chosen != nullptr ? *chosen : SharedNullDevice();
}

const DeviceMetrics& GridModel::Metrics(GridDevice device) const {
    return device == GridDevice::Screen ? screen_ : print_;
}

bool GridModel::HasWindow() const { return view_ != nullptr && view_->HasWindow(); }

void GridModel::RefreshAndRedraw() {
    if (view_ == nullptr) return;
    view_->RefreshView();
    view_->Redraw();
}

// --- String pool ---------------------------------------------------------------------------

void GridModel::ResetPool() {
    pool_.MakeEmpty();
    // Room for the header's and the footer's terminators even when both texts are empty.
    pool_.Append(nullptr, 2);
    titles_end_ = 0;
    header_offset_ = 0;
    header_length_ = 0;
    footer_offset_ = 1;
    footer_length_ = 0;
}

// Replaces `old_length` bytes at `offset` by `text`, which must not point into the pool.
bool GridModel::ReplacePoolBytes(int offset, int old_length, std::string_view text) {
    if (text.size() > static_cast<std::size_t>(INT32_MAX - pool_.Size())) return false;
    const int new_length = static_cast<int>(text.size());
    if (new_length > old_length) {
        if (!pool_.Insert(offset + old_length, text.data() + old_length, new_length - old_length)) {
            return false;
        }
    } else if (new_length < old_length) {
        pool_.Remove(offset + new_length, old_length - new_length);
    }
    if (new_length > 0 && old_length > 0) {
        std::memcpy(pool_.Data() + offset, text.data(), static_cast<std::size_t>(std::min(old_length, new_length)));
    }
    return true;
}

// Every title offset, titles end, header and footer offset beyond `position` moves by `delta`.
void GridModel::MoveOffsetsAfter(int position, int delta) {
    GridColumn* columns = Columns();
    for (int i = 0; i < ColumnCount(); ++i) {
        if (columns[i].title_offset > static_cast<std::uint32_t>(position)) {
            columns[i].title_offset += static_cast<std::uint32_t>(delta);
        }
    }
    if (titles_end_ > position) titles_end_ += delta;
    if (header_offset_ > position) header_offset_ += delta;
    if (footer_offset_ > position) footer_offset_ += delta;
}

const char* GridModel::GetHeaderText() const {
    return pool_.Data() != nullptr ? reinterpret_cast<const char*>(pool_.Data()) + header_offset_ : "";
}

const char* GridModel::GetFooterText() const {
    return pool_.Data() != nullptr ? reinterpret_cast<const char*>(pool_.Data()) + footer_offset_ : "";
}

bool GridModel::SetHeaderText(std::string_view text) {
    // A copy: the text may come from the pool itself (GetHeaderText), which may move.
    const std::string copy(text.substr(0, text.find('\0')));
    if (!ReplacePoolBytes(header_offset_, header_length_, copy)) return false;
    MoveOffsetsAfter(header_offset_, static_cast<int>(copy.size()) - header_length_);
    header_length_ = static_cast<int>(copy.size());
    return true;
}

bool GridModel::SetFooterText(std::string_view text) {
    const std::string copy(text.substr(0, text.find('\0')));
    if (!ReplacePoolBytes(footer_offset_, footer_length_, copy)) return false;
    footer_length_ = static_cast<int>(copy.size());
    return true;
}

// --- Columns -------------------------------------------------------------------------------

void GridModel::Clear() {
    columns_.MakeEmpty();
    ResetPool();
    SetRowOrder({});
    AddColumn(kRowNumberSource, "No");
    view_state_.top_line = 0;
    view_state_.top_sub_line = 0;
    view_state_.horizontal_offset = 0;
    view_state_.total_text_lines = 0;
}

bool GridModel::AddColumn(int source, const char* title) {
    std::string bytes = title != nullptr ? std::string(title) : std::string();
    bytes.push_back('\0');
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX - pool_.Size())) return false;
    const int length = static_cast<int>(bytes.size());
    if (!pool_.Insert(titles_end_, bytes.data(), length)) return false;

    GridColumn column;
    std::memset(&column, 0, sizeof column);
    column.source = source;
    column.flags = ColumnFlags::Visible;
    column.alignment = source == kRowNumberSource ? kAlignRight : kAlignLeft;
    column.title_offset = static_cast<std::uint32_t>(titles_end_);
    if (!columns_.Append(&column, kColumnSize)) {
        pool_.Remove(titles_end_, length);
        return false;
    }
    titles_end_ += length;
    header_offset_ += length;
    footer_offset_ += length;
    WidenToTitle(ColumnCount() - 1);
    layout_dirty_ = true;
    UpdateTableWidth();
    return true;
}

void GridModel::WidenToTitle(int index) {
    const std::string_view title = ColumnTitleText(index);
    if (title.empty()) return;
    struct Side {
        GridDevice device;
        const DeviceMetrics& metrics;
        std::int32_t GridColumn::*width;
    };
    const Side sides[] = {{GridDevice::Screen, screen_, &GridColumn::width},
                          {GridDevice::Print, print_, &GridColumn::print_width}};
    for (const Side& side : sides) {
        MeasuringDevice& device = Device(side.device);
        FontRun run(device, font_);
        Raise(Columns()[index].*side.width, TextWidth(device.Meter(), title) + side.metrics.text_inset + 2);
    }
}

int GridModel::ColumnCount() const { return columns_.Size() / kColumnSize; }

const GridColumn* GridModel::Column(int index) const {
    if (index < 0 || index >= ColumnCount()) return nullptr;
    return Columns() + index;
}

GridColumn* GridModel::MutableColumn(int index) {
    if (index < 0 || index >= ColumnCount()) return nullptr;
    return Columns() + index;
}

int GridModel::ColumnSource(int index) const {
    const GridColumn* column = Column(index);
    return column != nullptr ? column->source : 0;
}

bool GridModel::IsRowNumberColumn(int index) const {
    const GridColumn* column = Column(index);
    return column != nullptr && column->source == kRowNumberSource;
}

bool GridModel::IsColumnVisible(int index) const {
    const GridColumn* column = Column(index);
    return column != nullptr && (column->flags & ColumnFlags::Visible) != 0;
}

std::string_view GridModel::ColumnTitleText(int index) const {
    const GridColumn* column = Column(index);
    if (column == nullptr || pool_.Data() == nullptr) return {};
    // Offsets are derived by the model itself, but a title never reads past the titles.
    if (column->title_offset >= static_cast<std::uint32_t>(titles_end_)) return {};
    const char* start = reinterpret_cast<const char*>(pool_.Data()) + column->title_offset;
    return std::string_view(start, strnlen(start, static_cast<std::size_t>(titles_end_) - column->title_offset));
}

void GridModel::ColumnTitle(int index, char* buffer, int max) const {
    if (buffer == nullptr || max < 0) return;
    const std::string_view title = ColumnTitleText(index);
    const std::size_t count = std::min(title.size(), static_cast<std::size_t>(max));
    if (count > 0) std::memcpy(buffer, title.data(), count);
    buffer[count] = '\0';
}

void GridModel::GetColumnInfo(int index, GridColumnInfo& out) const {
    std::memset(&out, 0, sizeof out);
    const GridColumn* column = Column(index);
    if (column == nullptr) return;
    out.flags = column->flags;
    out.alignment = static_cast<std::uint32_t>(column->alignment);
    out.max_lines = static_cast<std::uint32_t>(column->max_lines);
    out.type = static_cast<std::uint32_t>(column->type);
    const std::string_view title = ColumnTitleText(index).substr(0, kColumnTitleLimit);
    std::memcpy(out.title, title.data(), title.size());
}

bool GridModel::SetColumnInfo(int index, const GridColumnInfo& in) {
    bool relayout = false;
    const bool stored = StoreColumnInfo(index, in, relayout);
    if (relayout) LayOutAfterColumnChange();
    return stored;
}

bool GridModel::SetAllColumnInfo(const GridColumnInfo* infos, int count) {
    if (infos == nullptr) return false;
    bool relayout = false;
    bool stored = true;
    for (int i = 0; i < std::min(count, ColumnCount()); ++i) stored = StoreColumnInfo(i, infos[i], relayout) && stored;
    if (relayout) LayOutAfterColumnChange();
    return stored;
}

// Row heights, the title band and the table width may all follow from a column's settings:
// the layout is made again at once, so that the next paint, print or export sees it.
void GridModel::LayOutAfterColumnChange() {
    RebuildLayout();
    UpdateTableWidth();
    if (HasWindow()) layout_dirty_ = true;
    if (view_ != nullptr) view_->RefreshView();
}

bool GridModel::StoreColumnInfo(int index, const GridColumnInfo& in, bool& relayout) {
    GridColumn* column = MutableColumn(index);
    if (column == nullptr) return false;
    // A limit of one line is no limit: wrapping needs at least two.
    std::int32_t max_lines = static_cast<std::int32_t>(in.max_lines);
    if (max_lines < 2) max_lines = 0;
    const std::string new_title(in.title, strnlen(in.title, kColumnTitleLimit));
    const bool title_changed = ColumnTitleText(index) != new_title;
    if (title_changed || column->flags != in.flags || column->alignment != static_cast<std::int32_t>(in.alignment) ||
        column->max_lines != max_lines || column->type != static_cast<std::int32_t>(in.type)) {
        modified_ = true;
    }
    // Only the alignment leaves heights and widths as they are.
    if (title_changed || column->flags != in.flags || column->max_lines != max_lines ||
        column->type != static_cast<std::int32_t>(in.type)) {
        relayout = true;
    }
    column->flags = in.flags;
    column->alignment = static_cast<std::int32_t>(in.alignment);
    column->max_lines = max_lines;
    column->type = static_cast<std::int32_t>(in.type);
    if (!title_changed) return true;

    const int offset = static_cast<int>(column->title_offset);
    if (column->title_offset >= static_cast<std::uint32_t>(titles_end_)) return false;
    const int old_length = static_cast<int>(ColumnTitleText(index).size());
    if (!ReplacePoolBytes(offset, old_length, new_title)) return false;
    MoveOffsetsAfter(offset, static_cast<int>(new_title.size()) - old_length);
    return true;
}

std::vector<std::uint8_t> GridModel::GetVisibility() const {
    std::vector<std::uint8_t> visible(static_cast<std::size_t>(ColumnCount()));
    for (int i = 0; i < ColumnCount(); ++i) visible[static_cast<std::size_t>(i)] = IsColumnVisible(i) ? 1 : 0;
    return visible;
}

bool GridModel::SetVisibility(const std::uint8_t* visible, int count) {
    if (visible == nullptr) return false;
    bool changed = false;
    GridColumn* columns = Columns();
    for (int i = 0; i < std::min(count, ColumnCount()); ++i) {
        const std::uint32_t flags = visible[i] != 0 ? (columns[i].flags | ColumnFlags::Visible)
                                                    : (columns[i].flags & ~static_cast<std::uint32_t>(ColumnFlags::Visible));
        if (flags != columns[i].flags) {
            columns[i].flags = flags;
            changed = true;
        }
    }
    if (!changed) return false;
    modified_ = true;
    // A shown or hidden column may wrap its cells or its title: the rows and pages follow.
    RebuildLayout();
    UpdateTableWidth();
    if (HasWindow()) layout_dirty_ = true;
    RefreshAndRedraw();
    return true;
}

// --- Table-wide ----------------------------------------------------------------------------

void GridModel::SetTableStyle(const TableStyle& style) {
    if (std::memcmp(&style_, &style, sizeof style) != 0) modified_ = true;
    style_ = style;
    screen_.rule_width = style.line_type;
    print_.rule_width = style.line_type;
    Reformat();
    UpdateTableWidth();
    RefreshAndRedraw();
}

void GridModel::SetPrintOptions(const PrintOptions& options) {
    if (options == options_) return;
    modified_ = true;
    options_ = options;
    RebuildLayout();
    if (HasWindow()) layout_dirty_ = true;
    RefreshAndRedraw();
}

void GridModel::StoreFont(const FontSpec& font) {
    font_ = font;
    font_.face_name[sizeof font_.face_name - 1] = '\0';
}

void GridModel::SetFont(const FontSpec& font) {
    if (std::memcmp(&font_, &font, kFontSpecStoredBytes) == 0) return;
    modified_ = true;
    StoreFont(font);
    Reformat();
    UpdateTableWidth();
    RefreshAndRedraw();
}

bool GridModel::SetRowCount(int rows) {
    sums_.ForgetValues();
    const bool whole = SetDataRows(rows);
    RebuildLayout();
    return whole;
}

bool GridModel::SetRowCountUnlaidOut(int rows) {
    sums_.ForgetValues();
    return SetDataRows(rows);
}

void GridModel::RestoreRowOrder() {
    SetDataRows(row_count_);
    RebuildLayout();
}

bool GridModel::SetRowCountAndNaturalWidths(int rows) {
    sums_.ForgetValues();
    const bool whole = SetDataRows(rows);
    if (ColumnCount() > 0) {
        ApplyNaturalWidths();
    } else {
        RebuildLayout();
    }
    return whole;
}

// The rows are numbered here already, as RebuildLayout numbers them, because natural widths
// may be measured before the first pagination and the row-number column shows the ordinals.
bool GridModel::SetDataRows(int rows) {
    rows = std::max(rows, 0);
    row_count_ = rows;
    sorted_ = false;  // the stored order
    view_state_.top_line = 0;
    view_state_.top_sub_line = 0;
    // The stored order needs no list of keys: one run stands for every row.
    std::vector<std::uint32_t>().swap(row_keys_);
    std::vector<std::uint8_t>().swap(row_heights_);
    PutRowOrderUnpaginated(static_cast<std::uint32_t>(rows));
    const bool whole = LineCount() == rows;
    if (HasWindow()) layout_dirty_ = true;
    return whole;
}

void GridModel::Reformat() {
    MeasureFontMetrics();
    RebuildLayout();
}

void GridModel::MeasureFontMetrics() {
    MeasureDevice(Device(GridDevice::Screen), screen_);
    MeasureDevice(Device(GridDevice::Print), print_);
}

void GridModel::MeasureDevice(MeasuringDevice& device, DeviceMetrics& metrics) {
    FontRun run(device, font_);
    const TextMeter& meter = device.Meter();
    metrics.font_height = meter.FontHeight();
    metrics.text_inset = meter.Width("o", 1);
    metrics.cell_padding = style_.cell_height * metrics.font_height / 200;
    metrics.page = CurrentPrintSettings();
    ToDevicePixels(metrics.page, meter.PixelsPerInchX(), meter.PixelsPerInchY());
}

void GridModel::RecountTextLines() {
    // By entries: a run of rows one line high adds its count without a look at each row.
    int total = 0;
    const int entries = lines_.Size() / kLineSize;
    for (int e = 0; e < entries; ++e) {
        const LayoutLine entry = Entry(e);
        if (entry.kind != LineKind::DataRun) {
            total += entry.height;
        } else if (row_heights_.empty()) {
            total += static_cast<int>(entry.ordinal);
        } else {
            for (std::uint32_t k = 0; k < entry.ordinal; ++k) total += RunLine(entry, k).height;
        }
    }
    view_state_.total_text_lines = total;
}

void GridModel::UpdateTableWidth() {
    const std::int64_t rule = screen_.rule_width;
    std::int64_t width = rule;
    const GridColumn* columns = Columns();
    for (int i = 0; i < ColumnCount(); ++i) {
        if (columns[i].flags & ColumnFlags::Visible) width += static_cast<std::int64_t>(columns[i].width) + rule;
    }
    table_width_ = static_cast<int>(std::clamp<std::int64_t>(width, INT32_MIN, INT32_MAX));
}

void GridModel::ScrollHome(bool redraw) {
    view_state_.horizontal_offset = 0;
    view_state_.top_line = 0;
    view_state_.top_sub_line = 0;
    if (redraw && view_ != nullptr) view_->Redraw();
}

// --- Natural widths ------------------------------------------------------------------------

void GridModel::ApplyNaturalWidths() {
    const int count = ColumnCount();
    if (count == 0) return;
    // The insets added below belong to the table font, which a data file's head may have
    // replaced (StoreFont) since the metrics were last measured.
    MeasureFontMetrics();
    MeasureNaturalWidths();
    WidenNaturalWidthsToSums();
    GridColumn* columns = Columns();
    for (int i = 0; i < count; ++i) {
        GridColumn& column = columns[i];
        if (column.natural_width != column.width || column.print_natural_width != column.print_width) {
            modified_ = true;
            column.width = column.natural_width;
            column.print_width = column.print_natural_width;
        }
    }
    RebuildLayout();
    RefreshAndRedraw();
}

void GridModel::MeasureNaturalWidths(const std::vector<bool>* only) {
    const int count = ColumnCount();
    auto measured = [only](int i) { return only == nullptr || (*only)[static_cast<std::size_t>(i)]; };
    MeasuringDevice& screen = Device(GridDevice::Screen);
    MeasuringDevice& print = Device(GridDevice::Print);
    {
        FontRun screen_run(screen, font_);
        FontRun print_run(print, font_);
        auto select_bold = [&](bool bold) {
            screen.SelectBold(bold);
            print.SelectBold(bold);
        };
        GridColumn* columns = Columns();
        for (int i = 0; i < count; ++i) {
            if (!measured(i)) continue;
            columns[i].natural_width = 0;
            columns[i].print_natural_width = 0;
        }

        const bool bold_titles = (style_.flags & TableFlags::BoldHeader) != 0;
        if (bold_titles) select_bold(true);
        for (int i = 0; i < count; ++i) {
            const std::string_view title = ColumnTitleText(i);
            if (title.empty() || !measured(i)) continue;
            Raise(columns[i].natural_width, WidestWordWidth(screen.Meter(), title.data(), title.size()));
            Raise(columns[i].print_natural_width, WidestWordWidth(print.Meter(), title.data(), title.size()));
        }
        if (bold_titles) select_bold(false);

        const int screen_dpi = screen.Meter().PixelsPerInchX();
        const int print_dpi = print.Meter().PixelsPerInchX();
        // Abbreviated forms may be two bytes longer than the text.
        char text[kCellTextLimit + 3];
        auto measure_cell = [&](GridColumn& column, std::size_t length) {
            if (column.type == ColumnType::Picture) {
                PictureSize size{};
                if (environment_.pictures != nullptr && environment_.pictures->SizeOf(text, size)) {
                    Raise(column.natural_width, size.width);
                    Raise(column.print_natural_width, MulDiv32(size.width, print_dpi, screen_dpi));
                }
                return;
            }
            const bool bold = (column.flags & ColumnFlags::Bold) != 0;
            if (bold) select_bold(true);
            const TextMeter& screen_meter = screen.Meter();
            const TextMeter& print_meter = print.Meter();
            if (!(column.flags & ColumnFlags::TextFlow)) {
                if (column.flags & ColumnFlags::Abbreviate) {
                    const int room = WidestWordWidth(print_meter, text, length) +
                                     print_meter.Width("A. A. ", 6) - 2;
                    length = AbbreviateName(&print_meter, room, text, length, sizeof text);
                }
                const int* screen_advances = screen_meter.ByteAdvances();
                const int* print_advances = print_meter.ByteAdvances();
                if (screen_advances != nullptr && print_advances != nullptr) {
                    const TextWidths widths = AddByteWidths(screen_advances, print_advances, text, length);
                    Raise(column.natural_width, widths.screen);
                    Raise(column.print_natural_width, widths.print);
                } else {
                    Raise(column.natural_width, screen_meter.Width(text, length));
                    Raise(column.print_natural_width, print_meter.Width(text, length));
                }
            } else if (column.max_lines > 0) {
                Raise(column.natural_width, WidthForLineLimit(screen_meter, text, length, column.max_lines));
                Raise(column.print_natural_width, WidthForLineLimit(print_meter, text, length, column.max_lines));
            } else {
                Raise(column.natural_width, WidestWordWidth(screen_meter, text, length));
                Raise(column.print_natural_width, WidestWordWidth(print_meter, text, length));
            }
            if (bold) select_bold(false);
        };

        // Plain text columns (and the row numbers) are measured a block of rows at a time from a
        // column read, with both devices' byte widths in one table: on a big table the cells are
        // most of the work.
        PairedByteWidths regular_widths, bold_widths;
        const bool regular_paired = PairByteWidths(screen.Meter(), print.Meter(), regular_widths);
        select_bold(true);
        const bool bold_paired = PairByteWidths(screen.Meter(), print.Meter(), bold_widths);
        select_bold(false);
        PairedColumns paired;
        if (cell_text_source_.Present()) {
            for (int i = 0; i < count; ++i) {
                const GridColumn& column = columns[i];
                if (!measured(i) || column.type == ColumnType::Picture ||
                    (column.flags & (ColumnFlags::TextFlow | ColumnFlags::Abbreviate))) {
                    continue;
                }
                const bool bold = (column.flags & ColumnFlags::Bold) != 0;
                if (bold ? !bold_paired : !regular_paired) continue;
                if (!paired.Add(i, column.source, bold ? &bold_widths : &regular_widths)) break;
            }
        }

        // A big table's rows are split between this thread and another when the source reads
        // whole columns (which may run on several threads at once): the store does not change
        // while they measure.
        const int line_count = LineCount();
        int split = line_count;
        PairedWidest second_half;
        std::thread helper;
        if (!paired.Empty() && cell_text_source_.column_function != nullptr && line_count >= kLinesForTwoThreads) {
            try {
                helper = std::thread([&, line_count] {
                    second_half.whole = MeasurePairedColumns(*this, cell_text_source_, paired, line_count / 2,
                                                             line_count, second_half.widest);
                });
                split = line_count / 2;
            } catch (const std::exception&) {
                split = line_count;  // no thread: all on this one
            }
        }
        PairedWidest first_half;
        first_half.whole = MeasurePairedColumns(*this, cell_text_source_, paired, 0, split, first_half.widest);
        if (helper.joinable()) helper.join();
        if (split < line_count && !second_half.whole) {
            second_half.widest.clear();
            second_half.whole = MeasurePairedColumns(*this, cell_text_source_, paired, split, line_count,
                                                     second_half.widest);
        }
        const bool paired_whole = first_half.whole && (split == line_count || second_half.whole);
        if (paired_whole) {
            for (std::size_t n = 0; n < paired.columns.size(); ++n) {
                std::uint64_t widest = first_half.widest[n];
                if (split < line_count) widest = WiderPair(widest, second_half.widest[n]);
                GridColumn& column = columns[paired.columns[n].index];
                Raise(column.natural_width, static_cast<int>(widest & 0xFFFFFFFFu));
                Raise(column.print_natural_width, static_cast<int>(widest >> 32));
            }
        }

        // The other columns (all of them when the column reads ran out of memory) cell by cell.
        bool any_cell_by_cell = false;
        for (int i = 0; i < count; ++i) any_cell_by_cell = any_cell_by_cell || (measured(i) && !(paired_whole && paired.Has(i)));
        for (int l = 0; any_cell_by_cell && l < line_count; ++l) {
            const LayoutLine line = Line(l);
            if (line.kind != LineKind::DataRow) continue;
            for (int i = 0; i < count; ++i) {
                if (!measured(i) || (paired_whole && paired.Has(i))) continue;
                const std::size_t length = static_cast<std::size_t>(CellText(line, i, text));
                if (length != 0) measure_cell(columns[i], length);
            }
        }

        for (int i = 0; i < count; ++i) {
            if (!measured(i)) continue;
            GridColumn& column = columns[i];
            column.natural_width += screen_.text_inset + kScreenCellMargin;
            column.print_natural_width += print_.text_inset + kPrintCellMargin;
        }
    }
}

// --- Layout lines --------------------------------------------------------------------------

int GridModel::LineCount() const { return has_runs_ ? line_count_ : lines_.Size() / kLineSize; }

LayoutLine GridModel::Entry(int index) const {
    LayoutLine line{};
    std::memcpy(&line, lines_.Data() + static_cast<std::size_t>(index) * kLineSize, sizeof line);
    return line;
}

LayoutLine GridModel::RunLine(const LayoutLine& run, std::uint32_t k) const {
    const std::uint32_t position = run.key + k;
    LayoutLine line{};
    line.key = RowKeyAt(position);
    line.kind = LineKind::DataRow;
    line.flags = run.flags;
    line.height = position < row_heights_.size() ? row_heights_[position] : 1;
    line.ordinal = position + 1;
    return line;
}

LayoutLine GridModel::Line(int index) const {
    if (index < 0 || index >= LineCount()) return LayoutLine{};
    if (!has_runs_) return Entry(index);
    // The entry holding the line, counted on from the one holding its block's first.
    const auto line = static_cast<std::uint32_t>(index);
    int at = static_cast<int>(block_entries_[line >> kLineBlockShift]);
    std::uint32_t start = block_entry_starts_[line >> kLineBlockShift];
    for (;; ++at) {
        const LayoutLine entry = Entry(at);
        const std::uint32_t size = entry.kind == LineKind::DataRun ? entry.ordinal : 1;
        if (line - start < size) return entry.kind == LineKind::DataRun ? RunLine(entry, line - start) : entry;
        start += size;
    }
}

ItemList& GridModel::LayoutLines() {
    ExpandRuns();
    return lines_;
}

void GridModel::ExpandRuns() {
    if (!has_runs_) return;
    try {
        std::vector<LayoutLine> lines;
        lines.reserve(static_cast<std::size_t>(line_count_));
        for (int i = 0; i < line_count_; ++i) lines.push_back(Line(i));
        SetLayoutEntries(lines);
    } catch (const std::bad_alloc&) {
        // The runs stay; Line still gives every line.
    }
}

std::vector<std::uint32_t> GridModel::DataRowKeys() const {
    std::vector<std::uint32_t> keys;
    try {
        keys.reserve(static_cast<std::size_t>(LineCount()));
        ForEachDataRow([&keys](int, const LayoutLine& line) { keys.push_back(line.key); });
    } catch (const std::bad_alloc&) {
        keys.clear();
    }
    return keys;
}

std::vector<std::uint32_t> GridModel::TakeDataRowKeys() {
    int rows = 0;
    if (DataRowsFollowRowOrder(rows) && row_keys_.size() == static_cast<std::size_t>(rows)) {
        std::vector<std::uint32_t> keys;
        keys.swap(row_keys_);
        return keys;
    }
    return DataRowKeys();
}

bool GridModel::DataRowsFollowRowOrder(int& rows) const {
    bool follows = true;
    rows = 0;
    ForEachDataRow([&](int position, const LayoutLine& line) {
        ++rows;
        if (!follows) return;
        const auto at = static_cast<std::uint32_t>(position);
        follows = (row_keys_.empty() || at < row_keys_.size()) && line.key == RowKeyAt(at);
    });
    return follows;
}

void GridModel::SetRowOrder(std::vector<std::uint32_t> keys) {
    // Rows in stored order need no keys.
    bool stored_order = true;
    for (std::size_t i = 0; i < keys.size() && stored_order; ++i) stored_order = keys[i] == i;
    const std::size_t rows = keys.size();
    if (stored_order) std::vector<std::uint32_t>().swap(keys);
    row_keys_.swap(keys);
    std::vector<std::uint32_t>().swap(keys);
    std::vector<std::uint8_t>().swap(row_heights_);
    PutRowOrderUnpaginated(static_cast<std::uint32_t>(rows));
}

void GridModel::PutRowOrderUnpaginated(std::uint32_t rows) {
    LayoutLine run{};
    run.kind = LineKind::DataRun;
    run.flags = (style_.flags & TableFlags::HorzLines) ? LineFlags::RuleBelow : 0;
    run.height = 1;
    run.ordinal = rows;
    std::vector<LayoutLine> entries;
    if (rows > 0) entries.push_back(run);
    SetLayoutEntries(entries);
}

void GridModel::SetRowHeights(std::vector<std::uint8_t> heights) { row_heights_.swap(heights); }

void GridModel::SetLayoutEntries(const std::vector<LayoutLine>& entries) {
    LayoutLine* place = BeginLayoutEntries(static_cast<std::int64_t>(entries.size()));
    if (place == nullptr) return;
    std::memcpy(static_cast<void*>(place), entries.data(), entries.size() * sizeof(LayoutLine));
    IndexLayoutEntries();
}

LayoutLine* GridModel::BeginLayoutEntries(std::int64_t count) {
    lines_.MakeEmpty();
    std::vector<std::uint32_t>().swap(block_entries_);
    std::vector<std::uint32_t>().swap(block_entry_starts_);
    has_runs_ = false;
    line_count_ = 0;
    if (count <= 0 || count > INT32_MAX / kLineSize ||
        !lines_.Append(nullptr, static_cast<std::int32_t>(count * kLineSize))) {
        return nullptr;
    }
    return reinterpret_cast<LayoutLine*>(lines_.Data());
}

void GridModel::IndexLayoutEntries() {
    const int entries = lines_.Size() / kLineSize;
    bool runs = false;
    std::int64_t lines = 0;
    for (int e = 0; e < entries; ++e) {
        const LayoutLine entry = Entry(e);
        runs = runs || entry.kind == LineKind::DataRun;
        lines += entry.kind == LineKind::DataRun ? std::int64_t{entry.ordinal} : 1;
    }
    if (!runs) return;
    try {
        if (lines > INT32_MAX) throw std::bad_alloc();
        const auto blocks = static_cast<std::size_t>((lines >> kLineBlockShift) + 1);
        block_entries_.reserve(blocks);
        block_entry_starts_.reserve(blocks);
        std::uint32_t start = 0;
        for (int e = 0; e < entries; ++e) {
            const LayoutLine entry = Entry(e);
            const std::uint32_t size = entry.kind == LineKind::DataRun ? std::uint32_t{entry.ordinal} : 1;
            // Every block whose first line falls in this entry.
            while ((static_cast<std::int64_t>(block_entries_.size()) << kLineBlockShift) < std::int64_t{start} + size) {
                block_entries_.push_back(static_cast<std::uint32_t>(e));
                block_entry_starts_.push_back(start);
            }
            start += size;
        }
        line_count_ = static_cast<int>(lines);
        has_runs_ = true;
    } catch (const std::bad_alloc&) {
        // A list whose runs cannot be found is no list: it is left empty.
        std::vector<std::uint32_t>().swap(block_entries_);
        std::vector<std::uint32_t>().swap(block_entry_starts_);
        lines_.MakeEmpty();
    }
}

int GridModel::CellText(const LayoutLine& line, int column, char* buffer) const {
    buffer[0] = '\0';
    const GridColumn* record = Column(column);
    if (record == nullptr) return 0;
    if (record->source == kRowNumberSource) {
        if (line.ordinal == 0) return 0;
        return WriteDecimal(line.ordinal, buffer);
    }
    if (!cell_text_source_.Present()) return 0;
    // The source is outside code: its length is held to what the buffer can take.
    const int length = std::clamp(
        cell_text_source_.Fetch(static_cast<int>(line.key), record->source, buffer, kCellTextLimit), 0, kCellTextLimit);
    buffer[length] = '\0';
    return length;
}

// --- Column layout file --------------------------------------------------------------------

bool GridModel::SetLayoutFilePath(const char* path) {
    if (path == nullptr) path = "";
    const std::size_t length = std::strlen(path);
    if (length >= sizeof layout_file_path_) return false;
    std::memcpy(layout_file_path_, path, length + 1);
    return true;
}

std::vector<std::uint8_t> GridModel::BuildLayoutFileImage() const {
    return BuildLayoutFile(style_, font_, Columns(), ColumnCount(), options_);
}

bool GridModel::ApplyLayoutFileImage(const std::uint8_t* bytes, std::size_t size) {
    LayoutFileHeader header{};
    if (!ParseLayoutFileHeader(bytes, size, header)) {
        RederiveTitleOffsets();
        return false;
    }
    const int count = static_cast<int>(header.column_count);
    // The columns as the data file made them: their titles and the columns the file lacks.
    std::vector<GridColumn> before;
    std::vector<std::string> before_titles;
    for (int i = 0; i < ColumnCount(); ++i) {
        before.push_back(Columns()[i]);
        before_titles.emplace_back(ColumnTitleText(i));
    }
    std::vector<GridColumn> loaded;
    for (int i = 0; i < count; ++i) {
        GridColumn column =
            ReadGridColumn(bytes + header.record_offset + static_cast<std::size_t>(i) * kLayoutFileRecordSize);
        MendLoadedColumn(column);
        loaded.push_back(column);
    }
    // Titles go by source, never by position: a moved column keeps its own title, and a
    // source the data file no longer has gets an empty one.
    std::unordered_map<std::int32_t, std::size_t> before_by_source;
    for (std::size_t k = before.size(); k-- > 0;) before_by_source[before[k].source] = k;
    std::unordered_set<std::int32_t> listed;
    std::vector<std::string> titles;
    for (const GridColumn& column : loaded) {
        listed.insert(column.source);
        const auto same = before_by_source.find(column.source);
        titles.push_back(same != before_by_source.end() ? before_titles[same->second] : std::string());
    }
    // Columns the data file gained since the file was written follow the file's own. The
    // row numbers are not the data file's: a file without them is taken as it is.
    std::vector<bool> added(loaded.size(), false);
    bool any_added = false;
    for (std::size_t k = 0; k < before.size(); ++k) {
        if (before[k].source == kRowNumberSource || !listed.insert(before[k].source).second) continue;
        GridColumn column = before[k];
        column.flags |= ColumnFlags::Visible;
        added.push_back(true);
        any_added = true;
        loaded.push_back(column);
        titles.push_back(before_titles[k]);
    }

    // Room first, so that the old records stay when the new ones cannot be held.
    const std::int64_t record_bytes = static_cast<std::int64_t>(loaded.size()) * kColumnSize;
    if (record_bytes > INT32_MAX || !columns_.Reserve(static_cast<std::int32_t>(record_bytes)) ||
        !ReplaceTitles(titles)) {
        RederiveTitleOffsets();
        return false;
    }
    columns_.MakeEmpty();
    columns_.Append(loaded.data(), static_cast<std::int32_t>(record_bytes));
    AssignTitleOffsets(titles);
    style_ = header.style;
    MendLoadedStyle(style_);
    options_ = ReadLayoutFileOptions(bytes, header);
    MendLoadedOptions(options_);
    screen_.rule_width = style_.line_type;
    print_.rule_width = style_.line_type;
    FontSpec font = font_;
    ReadFontPrefix(bytes + kLayoutFileFontOffset, font);
    MendLoadedFont(font);
    font_ = font;
    if (any_added) TakeNaturalWidths(added);
    modified_ = false;
    layout_dirty_ = true;
    UpdateTableWidth();
    return true;
}

// The added columns get the natural widths of the file's font; the file's own columns keep
// the natural widths it gave them, which their resizes are scaled by.
void GridModel::TakeNaturalWidths(const std::vector<bool>& added) {
    MeasureFontMetrics();
    MeasureNaturalWidths(&added);
    for (int i = 0; i < ColumnCount(); ++i) {
        GridColumn& column = Columns()[i];
        if (!added[static_cast<std::size_t>(i)]) continue;
        column.width = column.natural_width;
        column.print_width = column.print_natural_width;
    }
}

// The pool becomes `titles`, each with its terminator, then the header and the footer as they
// were. False, with nothing changed, when the pool cannot hold them.
bool GridModel::ReplaceTitles(const std::vector<std::string>& titles) {
    std::string bytes;
    for (const std::string& title : titles) bytes.append(title).push_back('\0');
    const int new_titles_end = static_cast<int>(bytes.size());
    bytes.append(GetHeaderText(), static_cast<std::size_t>(header_length_)).push_back('\0');
    bytes.append(GetFooterText(), static_cast<std::size_t>(footer_length_)).push_back('\0');
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX) || !pool_.Reserve(static_cast<std::int32_t>(bytes.size()))) {
        return false;
    }
    pool_.MakeEmpty();
    pool_.Append(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    titles_end_ = new_titles_end;
    header_offset_ = new_titles_end;
    footer_offset_ = header_offset_ + header_length_ + 1;
    return true;
}

// After ReplaceTitles(titles), one title per column: the i-th column points at the i-th title.
void GridModel::AssignTitleOffsets(const std::vector<std::string>& titles) {
    std::size_t position = 0;
    for (int i = 0; i < ColumnCount(); ++i) {
        Columns()[i].title_offset = static_cast<std::uint32_t>(position);
        position += titles[static_cast<std::size_t>(i)].size() + 1;
    }
}

// The i-th column takes the i-th title of the pool: the records may come from a file whose
// offsets mean nothing for this pool.
void GridModel::RederiveTitleOffsets() {
    const int count = ColumnCount();
    GridColumn* columns = Columns();
    const std::uint8_t* pool = pool_.Data();
    int position = 0;
    int index = 0;
    while (index < count && pool != nullptr && position < titles_end_) {
        columns[index++].title_offset = static_cast<std::uint32_t>(position);
        const void* zero = std::memchr(pool + position, 0, static_cast<std::size_t>(titles_end_ - position));
        position = zero != nullptr ? static_cast<int>(static_cast<const std::uint8_t*>(zero) - pool) + 1 : titles_end_;
    }
    if (index < count) {
        const int missing = count - index;
        if (pool_.Insert(titles_end_, nullptr, missing)) {
            for (int k = 0; k < missing; ++k) columns[index + k].title_offset = static_cast<std::uint32_t>(titles_end_ + k);
            titles_end_ += missing;
            header_offset_ += missing;
            footer_offset_ += missing;
        } else {
            // No room for their terminators: these columns point past the titles, which reads
            // as an empty title that cannot be replaced.
            for (int k = index; k < count; ++k) columns[k].title_offset = static_cast<std::uint32_t>(titles_end_);
        }
    } else if (position < titles_end_) {
        const int surplus = titles_end_ - position;
        pool_.Remove(position, surplus);
        titles_end_ -= surplus;
        header_offset_ -= surplus;
        footer_offset_ -= surplus;
    }
}

PrintSettings GridModel::CurrentPrintSettings() const {
    if (environment_.print_settings == nullptr) return BuiltInPrintSettings();
    return environment_.print_settings(environment_.print_settings_context);
}
