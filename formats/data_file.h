// The data file (.rdf): description head, header and footer, titles, types and rows.
#ifndef LINTARO_FORMATS_DATA_FILE_H
#define LINTARO_FORMATS_DATA_FILE_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/work_progress.h"
#include "store/table_store.h"

// Rows are built in buffers of this size, the longest record the store holds; a cell that
// would make a row longer is dropped (later, shorter cells of the row may still fit).
constexpr std::size_t kRowBufferSize = TableStore::kLargestRecord;

// The part of the file that the description reader applies: everything before "Titles:" (or
// before "Data:" when there is no "Titles:" ahead of it; the whole file without "Data:").
std::string_view DescriptionHeadOf(std::string_view file);

// What a data file holds besides its head.
struct DataFileTable {
    std::unique_ptr<TableStore> store;
    std::string header;  // empty when the file has no usable "Header:" section
    std::string footer;  // empty when the file has no usable "Footer:" section
    std::uint32_t cut_rows = 0;  // rows that lost cells of the table's columns to the row limit
};

enum class TableReadResult {
    Read,
    NoTitles,     // no titles line before "Data:": not a table
    OutOfMemory,  // the store could not take every column and row
    Cancelled,    // the progress said stop
};

// Builds a new store from the file's titles, types and rows, and takes its header and footer.
// Either every row is stored or the result is a failure, with `table` untouched. The clock (for
// the row scramble keys) and the store's reallocate function may be given for tests. A
// `progress` is told the bytes gone through of the rows' two passes (twice the file's length in
// all) every block of rows, and may stop the read there: `table` is then untouched too.
[[nodiscard]] TableReadResult ReadDataFileTable(std::string_view file, DataFileTable& table,
                                                MillisecondClock clock = nullptr,
                                                ReallocateFunction reallocate = nullptr,
                                                WorkProgress* progress = nullptr);

// The folder of a data file name as given (the text before its last backslash); empty when
// the name has no backslash.
std::string DataDirectoryOf(std::string_view file_name);

#endif
