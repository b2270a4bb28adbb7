// The data file (.rdf): description head, header and footer, titles, types and rows.
#ifndef LINTARO_FORMATS_DATA_FILE_H
#define LINTARO_FORMATS_DATA_FILE_H

#include <cstddef>
#include <cstdint>
#include <functional>
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
    Unreadable,   // the file could not be read to its end
    NoTitles,     // no titles line before "Data:": not a table
    OutOfMemory,  // the store could not take every column and row
    Cancelled,    // the progress said stop
};

// Builds a new store from the file's titles, types and rows, and takes its header and footer.
// Either every row is stored or the result is a failure, with `table` untouched. The clock (for
// the row scramble keys) and the store's reallocate function may be given for tests. A
// `progress` is as for ReadDataFile, with the file's length as its size.
[[nodiscard]] TableReadResult ReadDataFileTable(std::string_view file, DataFileTable& table,
                                                MillisecondClock clock = nullptr,
                                                ReallocateFunction reallocate = nullptr,
                                                WorkProgress* progress = nullptr);

// Hands over the data file's bytes in order, a block at a time: puts up to `capacity` bytes into
// `buffer` and returns their number, 0 at the end of the file, or -1 when reading failed.
using ReadBlockFunction = std::function<std::ptrdiff_t(char* buffer, std::size_t capacity)>;

// ReadDataFileTable for a file read block by block, which is never held whole: only the part
// before the rows is kept, and each row goes into the store as its line is read. `head` receives
// DescriptionHeadOf the file, set whenever the result is not Unreadable (after which nothing is
// set). Reading stops at the first result other than Read. A `progress` is told the bytes read
// of `file_size` before every block and may stop the read there (Cancelled): `table` is then
// untouched.
[[nodiscard]] TableReadResult ReadDataFile(const ReadBlockFunction& read_block, std::string& head,
                                           DataFileTable& table, MillisecondClock clock = nullptr,
                                           ReallocateFunction reallocate = nullptr,
                                           WorkProgress* progress = nullptr, std::int64_t file_size = 0);

// Takes the rows of a data file as they are read, for a reader that keeps them in a form of
// its own instead of the store: each data line's cells, rising by identifier, cut and trimmed
// exactly as the store would take them (empty cells left out, so a row may have no cell).
class DataRowReceiver {
public:
    virtual ~DataRowReceiver() = default;
    // False when the row could not be kept (out of memory): reading stops there.
    virtual bool TakeRow(const StoreCell* cells, std::size_t count) = 0;
};

// ReadDataFile with the rows handed to `rows` in file order instead of the store, which gets
// the columns only; `table` as for ReadDataFile otherwise (OutOfMemory when `rows` refused one).
[[nodiscard]] TableReadResult ReadDataFileRows(const ReadBlockFunction& read_block, std::string& head,
                                               DataFileTable& table, DataRowReceiver& rows);

// Reads the data file's bytes at `offset`, for a file that can be read anywhere (a regular file):
// puts up to `capacity` bytes into `buffer` and returns their number, 0 past the end of the file,
// or -1 when reading failed. Called from two threads at once.
using ReadAtFunction = std::function<std::ptrdiff_t(std::uint64_t offset, char* buffer, std::size_t capacity)>;

// Rows parts shorter than this are read on one thread: a second would not have started yet.
constexpr std::uint64_t kRowsInHalvesFromBytes = std::uint64_t{8} << 20;

// ReadDataFileRows for a file read at offsets, `file_size` bytes long when it was opened: when
// its rows part is `halves_from_bytes` long or more, it is split after the first line end from its
// middle and the halves are read at once on two threads, the first half's rows handed to `rows`,
// the second half's to `later_rows` (each receiver is called on one thread only); otherwise every
// row goes to `rows`. Either way the receivers get exactly the rows ReadDataFileRows hands over,
// all of `rows`' before all of `later_rows`', and `table.cut_rows` counts both.
[[nodiscard]] TableReadResult ReadDataFileRowsInHalves(const ReadAtFunction& read_at, std::uint64_t file_size,
                                                       std::string& head, DataFileTable& table, DataRowReceiver& rows,
                                                       DataRowReceiver& later_rows,
                                                       std::uint64_t halves_from_bytes = kRowsInHalvesFromBytes);

// The line an unattended run writes when rows of `data_file` lost cells to the row limit.
std::string CutRowsWarning(const std::string& data_file, std::uint32_t cut_rows);

// The folder of a data file name as given (the text before its last backslash); empty when
// the name has no backslash.
std::string DataDirectoryOf(std::string_view file_name);

#endif
