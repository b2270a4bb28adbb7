// Fuzzes TableStore with row and column operations, each checked against a plain model.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "store/table_store.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Fields = std::vector<std::pair<std::int16_t, Bytes>>;  // in record order

void Check(bool condition) {
    if (!condition) std::abort();
}

unsigned U16(const std::uint8_t* bytes) {
    return bytes[0] | (bytes[1] << 8);
}

unsigned long U32(const std::uint8_t* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
           (static_cast<unsigned long>(bytes[3]) << 24);
}

std::size_t RecordLength(const Fields& fields) {
    std::size_t length = 7;
    for (const auto& field : fields) length += 3 + field.second.size();
    return length;
}

Fields::iterator FindField(Fields& fields, std::int16_t identifier) {
    for (auto at = fields.begin(); at != fields.end(); ++at) {
        if (at->first == identifier) return at;
    }
    return fields.end();
}

// The record bytes the row must hold, built independently of the store.
Bytes ExpectedRecord(std::uint8_t key, const std::uint8_t identifier_bytes[4],
                     const Fields& fields) {
    Bytes record = {
        0, key, identifier_bytes[0], identifier_bytes[1], identifier_bytes[2], identifier_bytes[3]};
    for (const auto& field : fields) {
        record.push_back(static_cast<std::uint8_t>(field.second.size()));
        record.push_back(static_cast<std::uint8_t>(field.first & 0xFF));
        record.push_back(static_cast<std::uint8_t>((field.first >> 8) & 0xFF));
        for (std::size_t i = 0; i < field.second.size(); ++i) {
            std::uint8_t mask = key == 0 ? 0 : static_cast<std::uint8_t>(key + i);
            record.push_back(field.second[i] ^ mask);
        }
    }
    record.push_back(0);
    return record;
}

struct Model {
    std::vector<Fields> rows;
    std::vector<StoreColumn> columns;
};

void CheckCell(const TableStore& store, const Model& model, std::int64_t row_index,
               std::int16_t identifier, std::size_t output_size) {
    Bytes output(output_size == 0 ? 256 : output_size + 1, 0xA5);
    std::size_t length = store.GetCellText(row_index, identifier, output.data(), output_size);
    if (output_size == 0 && row_index >= 0 && row_index <= UINT32_MAX) {
        // The column read of the same row, twice over, gives the same cell.
        const std::uint32_t rows[2] = {static_cast<std::uint32_t>(row_index), static_cast<std::uint32_t>(row_index)};
        Bytes texts(2 * TableStore::kCellStride, 0x5A);
        std::uint8_t lengths[2] = {0xEE, 0xEE};
        store.GetColumnCells(identifier, rows, 2, texts.data(), lengths);
        for (std::size_t k = 0; k < 2; ++k) {
            Check(lengths[k] == length);
            Check(std::memcmp(texts.data() + k * TableStore::kCellStride, output.data(), length) == 0);
        }
    }
    const Bytes* expected = nullptr;
    if (row_index >= 0 && static_cast<std::size_t>(row_index) < model.rows.size()) {
        for (const auto& field : model.rows[static_cast<std::size_t>(row_index)]) {
            if (field.first == identifier) expected = &field.second;
        }
    }
    if (expected == nullptr) {
        Check(length == 0);
        for (std::size_t i = 0; i < output_size; ++i) Check(output[i] == 0);
        Check(output[output_size] == 0xA5);
        return;
    }
    std::size_t copied =
        output_size == 0 ? expected->size() : std::min(output_size, expected->size());
    Check(length == copied);
    Check(std::memcmp(output.data(), expected->data(), copied) == 0);
    Check(output[copied] == 0xA5);
}

void CheckHeader(const TableStore& store, const Model& model) {
    StoreImageView image = store.Image();
    Check(U32(image.bytes) == TableStore::kMagicNumber);
    Check(U16(image.bytes + 4) == TableStore::kFormatNumber);
    Check(U16(image.bytes + 6) == 64 + model.columns.size() * 62);
    Check(U32(image.bytes + 10) == model.rows.size());
    Check(U16(image.bytes + 14) == model.columns.size());
    Check(U16(image.bytes + 16) == 64);
    Check(U32(image.bytes + 18) == model.rows.size() + 1);
    Check(store.CountColumns() == static_cast<int>(model.columns.size()));
    Check(store.CountRows() == model.rows.size());
    std::size_t longest = 0;
    for (const Fields& row : model.rows) longest = std::max(longest, RecordLength(row));
    Check(U16(image.bytes + 8) == longest);
    Check(image.length == 64 + model.columns.size() * 62);
    for (std::size_t index = 0; index < model.columns.size(); ++index) {
        Check(std::memcmp(image.bytes + 64 + index * 62, &model.columns[index], 62) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // The clock reads come from the input too; the counter makes sure the reads leave the
    // first five milliseconds of a second eventually.
    int clock_reads = 0;
    int clock_base = input.ConsumeIntegralInRange<int>(0, 999);
    TableStore store(
        [&clock_reads, clock_base]() { return (clock_base + 3 * clock_reads++) % 1000; });

    Model model;
    std::size_t capacity = 8192;
    Bytes row(capacity);
    Fields fields;
    std::vector<Bytes> recent;  // values put before, for putting again
    store.BeginRow(row.data(), row.size());

    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange<int>(0, 5)) {
        case 0: {  // begin a row in a buffer of a chosen size
            capacity = input.ConsumeIntegralInRange<std::size_t>(7, 8192);
            row.assign(capacity, 0);
            fields.clear();
            Check(store.BeginRow(row.data(), row.size()) == 7);
            Check(row[1] >= 32 && row[1] <= 232 && row[6] == 0);
            Check(U32(row.data() + 2) == model.rows.size() + 1);
            break;
        }
        case 1: {  // put a field
            auto identifier =
                input.ConsumeBool()
                    ? static_cast<std::int16_t>(input.ConsumeIntegralInRange<int>(10, 14))
                    : input.ConsumeIntegral<std::int16_t>();
            std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, 260);
            // Values met before come back often, as a table's cities do, so that rows refer to
            // the column dictionaries.
            Bytes value = !recent.empty() && input.ConsumeBool()
                              ? recent[input.ConsumeIntegralInRange<std::size_t>(0, recent.size() - 1)]
                              : input.ConsumeBytes<std::uint8_t>(length);
            length = value.size();
            if (length != 0 && recent.size() < 8) recent.push_back(value);
            std::size_t limit =
                input.ConsumeBool() ? 0 : input.ConsumeIntegralInRange<std::size_t>(1, 9000);
            std::size_t room = (limit != 0 && limit < capacity) ? limit : capacity;

            std::size_t before = RecordLength(fields);
            auto found = FindField(fields, identifier);
            if (length > 255) {
                // refused
            } else if (found == fields.end()) {
                if (length != 0 && before + 3 + length <= room)
                    fields.emplace_back(identifier, value);
            } else if (length == 0) {
                fields.erase(found);
            } else if (!(length > found->second.size() &&
                         before - found->second.size() + length > room)) {
                found->second = value;
            }
            std::size_t result = TableStore::PutField(row.data(), row.size(), identifier,
                                                      value.data(), length, limit);
            Check(result == RecordLength(fields));
            Bytes expected = ExpectedRecord(row[1], row.data() + 2, fields);
            Check(std::memcmp(row.data(), expected.data(), expected.size()) == 0);
            break;
        }
        case 2: {  // store the row
            Check(store.AddRow(row.data(), row.size()));
            model.rows.push_back(fields);
            Check(U32(row.data() + 2) == model.rows.size());
            // The stored form keeps the key (a row without cells has none to keep) and is never
            // more than 16 bytes longer than the record (a dense row's empty positions),
            // whatever the row's columns.
            StoreImageView stored = store.RowRecord(static_cast<std::int64_t>(model.rows.size() - 1));
            Check(stored.length != 0 && (fields.empty() ? stored.length == 2 && stored.bytes[1] == 0 : stored.bytes[0] == row[1]));
            Check(stored.length <= RecordLength(fields) + 16);
            // A repeated row refers to the values its first copy entered: it is never longer.
            if (input.ConsumeBool()) {
                Check(store.AddRow(row.data(), row.size()));
                model.rows.push_back(fields);
                StoreImageView again = store.RowRecord(static_cast<std::int64_t>(model.rows.size() - 1));
                Check(again.length <= stored.length);
            }
            break;
        }
        case 3: {  // put a column
            auto identifier = input.ConsumeIntegral<std::int16_t>();
            StoreColumn column = MakeStoreColumn(identifier, input.ConsumeIntegral<std::uint8_t>(),
                                                 input.ConsumeRandomLengthString(40).c_str());
            bool known = false;
            for (StoreColumn& existing : model.columns) {
                if (StoreColumnIdentifier(existing) == identifier) {
                    existing = column;
                    known = true;
                    break;
                }
            }
            bool expected =
                identifier != 0 && (known || model.columns.size() < TableStore::kMostColumns);
            if (expected && !known) model.columns.push_back(column);
            Check(store.PutColumn(column) == expected);
            StoreColumn found;
            Check(store.FindColumn(identifier, found) == (identifier != 0 && expected));
            if (expected) Check(std::memcmp(&found, &column, sizeof column) == 0);
            break;
        }
        case 4: {  // read a cell
            std::int64_t row_index = input.ConsumeIntegralInRange<std::int64_t>(
                -2, static_cast<std::int64_t>(model.rows.size()) + 1);
            auto identifier =
                input.ConsumeBool()
                    ? static_cast<std::int16_t>(input.ConsumeIntegralInRange<int>(10, 14))
                    : input.ConsumeIntegral<std::int16_t>();
            CheckCell(store, model, row_index, identifier,
                      input.ConsumeIntegralInRange<std::size_t>(0, 300));
            break;
        }
        case 5: {  // look at a column by position
            int index =
                input.ConsumeIntegralInRange<int>(-1, static_cast<int>(model.columns.size()));
            StoreColumn column;
            bool in_range = index >= 0 && static_cast<std::size_t>(index) < model.columns.size();
            Check(store.GetColumn(index, column) == in_range);
            if (in_range)
                Check(std::memcmp(&column, &model.columns[static_cast<std::size_t>(index)], 62) ==
                      0);
            break;
        }
        }
    }

    CheckHeader(store, model);
    for (std::size_t index = 0; index < model.rows.size(); ++index) {
        for (const auto& field : model.rows[index]) {
            CheckCell(store, model, static_cast<std::int64_t>(index), field.first, 0);
        }
    }
    return 0;
}
