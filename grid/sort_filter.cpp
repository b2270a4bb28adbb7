// Sorting, filtering and restoring the grid's data rows over its list of layout lines.
#include "grid/sort_filter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "grid/bulgarian_keys.h"
#include "grid/cell_text_source.h"
#include "grid/decimal_number.h"
#include "grid/radix_order.h"

namespace {

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Unsigned byte order of two NUL-free texts, as strcmp gives it: -1, 0 or 1.
int CompareBytes(const char* a, std::size_t a_length, const char* b, std::size_t b_length) {
    const int common = std::memcmp(a, b, std::min(a_length, b_length));
    if (common != 0) return common < 0 ? -1 : 1;
    return a_length < b_length ? -1 : (a_length > b_length ? 1 : 0);
}

// The text of `row` in store column `source`, read as the grid reads cell texts (the source's
// length held to the buffer and the text ended there), then cut at its first NUL: what strcmp
// would see. `buffer` holds limit + 1 bytes. Returns the length.
std::size_t FetchKey(const CellTextSource& cell_text, std::uint32_t row, int source, char* buffer, int limit) {
    buffer[0] = '\0';
    const int length = std::clamp(cell_text.Fetch(static_cast<int>(row), source, buffer, limit), 0, limit);
    buffer[length] = '\0';
    return std::strlen(buffer);
}

// The keys of a run of rows, read a column block at a time: what FetchKey gives for each row,
// asked for in rising order.
class KeyReader {
public:
    KeyReader(const CellTextSource& cell_text, int source, const std::uint32_t* rows, std::size_t count)
        : cell_text_(cell_text), source_(source), rows_(rows), count_(count),
          texts_(static_cast<std::size_t>(kBlockRows) * kCellTextStride) {}

    // The NUL-ended key of row `i`, valid until the next call; `length` receives its length.
    const char* Key(std::size_t i, std::size_t& length) {
        if (i < block_start_ || i >= block_start_ + block_count_) ReadBlock(i);
        char* text = &texts_[(i - block_start_) * kCellTextStride];
        const std::size_t given = lengths_[i - block_start_];
        text[given] = '\0';
        length = std::strlen(text);
        return text;
    }

private:
    static constexpr int kBlockRows = 256;

    void ReadBlock(std::size_t first) {
        block_start_ = first;
        block_count_ = std::min<std::size_t>(kBlockRows, count_ - first);
        for (std::size_t k = 0; k < block_count_; ++k) keys_[k] = rows_[first + k];
        cell_text_.FetchColumn(source_, keys_, static_cast<int>(block_count_), texts_.data(), lengths_);
    }

    const CellTextSource& cell_text_;
    int source_;
    const std::uint32_t* rows_;
    std::size_t count_;
    std::vector<char> texts_;
    std::uint32_t keys_[kBlockRows];
    std::uint8_t lengths_[kBlockRows];
    std::size_t block_start_ = 0;
    std::size_t block_count_ = 0;
};

// Length of a text in a fixed field of `limit` bytes that need not hold a terminator.
std::size_t FieldLength(const char* field, std::size_t limit) {
    return static_cast<std::size_t>(std::find(field, field + limit, '\0') - field);
}

// Puts rows[order(i)] at rows[i] for every i, in place: each cycle of the permutation is
// followed once, a bit a row telling which places are done.
template <typename Row, typename SourceOf>
void MoveRowsToOrder(Row* rows, std::size_t count, SourceOf order) {
    std::vector<bool> done(count);
    for (std::size_t start = 0; start < count; ++start) {
        if (done[start] || order(start) == start) continue;
        const Row first = rows[start];
        std::size_t place = start;
        while (true) {
            done[place] = true;
            const std::size_t from = order(place);
            if (from == start) {
                rows[place] = first;
                break;
            }
            rows[place] = rows[from];
            place = from;
        }
    }
}

// Keeps the view's top line inside a list that may have become shorter.
void ClampTopLine(GridModel& model) {
    GridViewState& view = model.ViewState();
    if (view.top_line < 0 || view.top_line >= model.LineCount()) {
        view.top_line = 0;
        view.top_sub_line = 0;
    }
    if (view.top_sub_line < 0 || view.top_sub_line >= model.Line(view.top_line).height) view.top_sub_line = 0;
}

bool IsValueType(std::int32_t type) {
    return type == KeyType::Number || type == KeyType::Amount || type == KeyType::Date;
}

int YearFor(std::int32_t type, int current_year) {
    return type == KeyType::Date && current_year == kClockYear ? ClockYear() : current_year;
}

// Reads a NUL-ended key of a value type (IsValueType) into a number; false when it ranks as
// empty: an empty text, an amount without digits, a date that cannot be.
bool ReadKeyValue(const char* text, std::size_t length, std::int32_t type, int current_year, double& value) {
    value = 0;
    if (length == 0) return false;
    if (type == KeyType::Amount) return ReadAmount(text, length, value);
    if (type == KeyType::Date) {
        long day = 0;
        if (!ReadDate(text, length, current_year, day)) return false;
        value = static_cast<double>(day);
        return true;
    }
    value = KeyNumber(text);
    return true;
}

// Orders two non-empty keys of a type that is not a value type: -1, 0 or 1.
int CompareTexts(const char* a, std::size_t a_length, const char* b, std::size_t b_length, std::int32_t type) {
    if (type != KeyType::Alphabetical) return CompareBytes(a, a_length, b, b_length);
    std::string a_key;
    std::string b_key;
    AppendAlphabeticalKey(a, a_length, a_key);
    AppendAlphabeticalKey(b, b_length, b_key);
    return CompareBytes(a_key.data(), a_key.size(), b_key.data(), b_key.size());
}

}  // namespace

double KeyNumber(const char* text) {
    if (text == nullptr) return 0;
    const char* start = text;
    while (IsCSpace(*start)) ++start;
    const char* end = start;
    if (*end == '+' || *end == '-') ++end;
    int digits = 0;
    while (IsDigit(*end)) ++end, ++digits;
    if (*end == '.') {
        ++end;
        while (IsDigit(*end)) ++end, ++digits;
    }
    if (digits == 0) return 0;
    if (*end == 'e' || *end == 'E') {
        const char* exponent = end + 1;
        if (*exponent == '+' || *exponent == '-') ++exponent;
        if (IsDigit(*exponent)) {
            while (IsDigit(*exponent)) ++exponent;
            end = exponent;
        }
    }
    // strtod reads more forms than these (hexadecimal after a "0"), so it gets only the
    // number's own bytes. The program never changes the "C" locale: "." is the point.
    return DecimalValue(start, static_cast<std::size_t>(end - start));
}

int CompareKeys(const char* a, const char* b, std::int32_t data_type, bool descending, int current_year) {
    if (a == nullptr) a = "";
    if (b == nullptr) b = "";
    const std::size_t a_length = std::strlen(a);
    const std::size_t b_length = std::strlen(b);
    int result = 0;
    if (IsValueType(data_type)) {
        const int year = YearFor(data_type, current_year);
        double x = 0;
        double y = 0;
        const bool a_has = ReadKeyValue(a, a_length, data_type, year, x);
        const bool b_has = ReadKeyValue(b, b_length, data_type, year, y);
        if (!b_has) return a_has ? -1 : 0;
        if (!a_has) return 1;
        result = x < y ? -1 : (x > y ? 1 : 0);
    } else {
        if (b_length == 0) return a_length != 0 ? -1 : 0;
        if (a_length == 0) return 1;
        result = CompareTexts(a, a_length, b, b_length, data_type);
    }
    return descending ? -result : result;
}

namespace {

// Puts rows[0 .. count), whose store keys are row_keys, in the order OrderRowsByKey describes.
template <typename Row>
void OrderByKeyText(const GridModel& model, const std::uint32_t* row_keys, Row* rows, std::size_t count,
                    const SortRequest& request, int current_year) {
    const CellTextSource cell_text = model.GetCellTextSource();
    const GridColumn* column = model.Column(request.column);
    if (!cell_text.Present() || column == nullptr || count < 2 || count > UINT32_MAX) return;
    const int source = column->source;
    const bool descending = request.direction == SortDirection::Descending;
    const std::int32_t type = request.data_type;
    const int year = YearFor(type, current_year);

    // Without memory for the keys the rows stay as they are. The keys take 12 bytes a row at
    // most (fewer when a text repeats), the order 4, and the rows are moved in place.
    try {
        KeyReader keys(cell_text, source, row_keys, count);
        // Each key read once; the rows with keys ranked as empty go last, in their order.
        std::vector<std::uint32_t> order;
        std::vector<std::uint32_t> empties;
        if (IsValueType(type)) {
            std::vector<KeyedPosition> items;
            items.reserve(count);
            for (std::size_t i = 0; i < count; ++i) {
                std::size_t length = 0;
                double value = 0;
                const char* text = keys.Key(i, length);
                if (!ReadKeyValue(text, length, type, year, value)) {
                    empties.push_back(static_cast<std::uint32_t>(i));
                    continue;
                }
                const std::uint64_t bits = OrderedValueKey(value);
                items.push_back(KeyedPosition{descending ? ~bits : bits, static_cast<std::uint32_t>(i)});
            }
            OrderKeyedPositions(items.data(), items.size());
            // The items' positions are the order, the empties after them: no copy of it is made.
            if constexpr (std::is_same_v<Row, std::uint32_t>) {
                // Keys are moved through the sorted items themselves, read in order: far fewer
                // cache misses than following the permutation's cycles over a million rows.
                for (std::uint32_t& empty : empties) empty = rows[empty];
                for (KeyedPosition& item : items) item.key = rows[item.position];
                for (std::size_t i = 0; i < items.size(); ++i) rows[i] = static_cast<std::uint32_t>(items[i].key);
                std::copy(empties.begin(), empties.end(), rows + items.size());
            } else {
                MoveRowsToOrder(rows, count, [&items, &empties](std::size_t i) {
                    return i < items.size() ? std::uint32_t{items[i].position} : empties[i - items.size()];
                });
            }
            return;
        } else {
            // Text keys by their bytes, alphabetical ones by their collation keys: both then
            // compare as unsigned bytes, each distinct key ranked once.
            const bool alphabetical = type == KeyType::Alphabetical;
            DistinctKeys distinct;
            std::vector<std::uint32_t> numbers(count);
            std::string collation;
            order.reserve(count);
            for (std::size_t i = 0; i < count; ++i) {
                std::size_t length = 0;
                const char* text = keys.Key(i, length);
                if (alphabetical) {
                    collation.clear();
                    AppendAlphabeticalKey(text, length, collation);
                    numbers[i] = distinct.Add(collation.data(), collation.size());
                } else {
                    numbers[i] = distinct.Add(text, length);
                }
                (length != 0 ? order : empties).push_back(static_cast<std::uint32_t>(i));
            }
            const std::vector<std::uint32_t> ranks = distinct.Ranks(descending);
            if (ranks.size() != distinct.Count()) return;
            if (!OrderByRank(ranks.data(), ranks.size(), numbers.data(), order.data(), order.size())) return;
        }
        order.insert(order.end(), empties.begin(), empties.end());
        if constexpr (std::is_same_v<Row, std::uint32_t>) {
            for (std::uint32_t& position : order) position = rows[position];
            std::copy(order.begin(), order.end(), rows);
        } else {
            MoveRowsToOrder(rows, count, [&order](std::size_t i) { return order[i]; });
        }
    } catch (const std::bad_alloc&) {
        return;
    }
}

}  // namespace

void OrderRowsByKey(const GridModel& model, LayoutLine* rows, std::size_t count, const SortRequest& request,
                    int current_year) {
    try {
        std::vector<std::uint32_t> keys(count);
        for (std::size_t i = 0; i < count; ++i) keys[i] = rows[i].key;
        OrderByKeyText(model, keys.data(), rows, count, request, current_year);
    } catch (const std::bad_alloc&) {
        // The rows stay as they are.
    }
}

void SortRows(GridModel& model, const SortRequest& request, int current_year) {
    if (!model.GetCellTextSource().Present() || model.LineCount() < 2) return;

    // The data rows' keys in list order are sorted and become the rows of the list; the rest
    // of the list goes.
    std::vector<std::uint32_t> keys = model.TakeDataRowKeys();
    OrderByKeyText(model, keys.data(), keys.data(), keys.size(), request, current_year);
    if (const GridColumn* column = model.Column(request.column)) model.SetSortKey(column->source, request.data_type);
    if (keys.empty()) {
        // Without memory for the keys the list stays; a list without data rows loses the rest.
        int data_rows = 0;
        model.ForEachDataRow([&data_rows](int, const LayoutLine&) { ++data_rows; });
        if (data_rows > 0) return;
    }
    model.SetRowOrder(std::move(keys));

    model.RebuildLayout();
    ClampTopLine(model);
    model.SetLayoutDirty(true);
}

// The request's texts are fixed fields: they are read only up to their last byte.
FilterRange::FilterRange(const FilterRequest& request, int current_year)
    : from_(request.from, FieldLength(request.from, kFilterBoundLimit)),
      to_(request.to, FieldLength(request.to, kFilterBoundLimit)),
      type_(request.data_type),
      current_year_(YearFor(request.data_type, current_year)) {
    if (IsValueType(type_)) {
        from_ranks_empty_ = !ReadKeyValue(from_.c_str(), from_.size(), type_, current_year_, from_value_);
        to_ranks_empty_ = !ReadKeyValue(to_.c_str(), to_.size(), type_, current_year_, to_value_);
    } else {
        from_ranks_empty_ = from_.empty();
        to_ranks_empty_ = to_.empty();
        if (type_ == KeyType::Alphabetical) {
            AppendAlphabeticalKey(from_.data(), from_.size(), from_key_);
            AppendAlphabeticalKey(to_.data(), to_.size(), to_key_);
            // Room for the collation key of any key a filter reads (at most 127 bytes).
            key_scratch_.reserve(4 * kFilterBoundLimit + 2);
        }
    }
}

bool FilterRange::Contains(const char* key) const {
    if (key == nullptr) key = "";
    const std::size_t length = std::strlen(key);
    double value = 0;
    const bool ranks_empty =
        IsValueType(type_) ? !ReadKeyValue(key, length, type_, current_year_, value) : length == 0;
    if (ranks_empty) return to_ranks_empty_;  // such keys rank after every bound but an empty one
    // Two empty bounds ask for the keys that rank as empty alone; one leaves its side open.
    if (from_.empty() && to_.empty()) return false;
    if (!from_.empty() && from_ranks_empty_) return false;
    if (IsValueType(type_)) {
        return (from_.empty() || from_value_ <= value) && (to_ranks_empty_ || value <= to_value_);
    }
    if (type_ == KeyType::Alphabetical) {
        key_scratch_.clear();
        AppendAlphabeticalKey(key, length, key_scratch_);
        const std::string& k = key_scratch_;
        return (from_.empty() || CompareBytes(from_key_.data(), from_key_.size(), k.data(), k.size()) <= 0) &&
               (to_ranks_empty_ || CompareBytes(k.data(), k.size(), to_key_.data(), to_key_.size()) <= 0);
    }
    return (from_.empty() || CompareBytes(from_.data(), from_.size(), key, length) <= 0) &&
           (to_.empty() || CompareBytes(key, length, to_.data(), to_.size()) <= 0);
}

bool FilterRows(GridModel& model, const FilterRequest& request, int current_year) {
    const GridColumn* column = model.Column(request.column);
    if (column == nullptr) return false;
    const CellTextSource cell_text = model.GetCellTextSource();
    const int source = column->source;
    const FilterRange range(request, current_year);
    char key[kFilterBoundLimit + 1];
    auto matches = [&](const LayoutLine& line) {
        if (source == kRowNumberSource) {
            std::snprintf(key, sizeof key, "%d", static_cast<int>(line.ordinal));
        } else if (cell_text.Present()) {
            FetchKey(cell_text, line.key, source, key, static_cast<int>(kFilterBoundLimit));
        } else {
            key[0] = '\0';
        }
        return range.Contains(key);
    };

    // The matching data rows in list order; the grid's own lines go with RebuildLayout.
    std::vector<std::uint32_t> kept;
    try {
        kept.reserve(static_cast<std::size_t>(model.LineCount()));
    } catch (const std::bad_alloc&) {
        return false;
    }
    model.ForEachDataRow([&](int, const LayoutLine& line) {
        if (matches(line)) kept.push_back(line.key);
    });
    if (kept.empty()) return false;
    model.SetRowOrder(std::move(kept));

    model.RebuildLayout();
    model.SetLayoutDirty(true);
    model.ScrollHome(false);
    return true;
}

void RestoreRows(GridModel& model) {
    // The rebuild a newly loaded table gets, every stored row in stored order, for the same table.
    model.RestoreRowOrder();
    model.SetLayoutDirty(true);
    model.ScrollHome(false);
}

std::vector<int> ColumnsOfferedForSort(const GridModel& model) {
    std::vector<int> columns;
    for (int i = 0; i < model.ColumnCount(); ++i) {
        if (model.IsColumnVisible(i) && !model.IsRowNumberColumn(i)) columns.push_back(i);
    }
    return columns;
}

std::vector<int> ColumnsOfferedForFilter(const GridModel& model) {
    std::vector<int> columns;
    for (int i = 0; i < model.ColumnCount(); ++i) {
        if (model.IsColumnVisible(i)) columns.push_back(i);
    }
    return columns;
}
