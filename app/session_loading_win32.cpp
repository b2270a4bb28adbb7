// The data file loader of the running program: file, head, store, grid.
#include "app/session_loading_win32.h"

#include <string>
#include <string_view>

#include "app/description_to_session_win32.h"
#include "app/session_win32.h"
#include "base/file_utils_win32.h"
#include "formats/data_file.h"
#include "formats/store_to_grid.h"
#include "grid/grid_win32.h"

bool LoadDataFile(const char* file_name, DataFileLoadNotice* notice, WorkProgress* progress) {
    DataFileLoadNotice ignored;
    if (notice == nullptr) notice = &ignored;
    *notice = DataFileLoadNotice{};
    // Read in blocks, so that the file is never held whole beside its table.
    BlockFileReader file;
    if (!file.Open(file_name)) return false;
    std::string head;
    DataFileTable table;
    const TableReadResult read = ReadDataFile(
        [&file](char* buffer, std::size_t capacity) { return file.Read(buffer, capacity); }, head,
        table, nullptr, nullptr, progress, file.Size());
    // Unreadable or cancelled: nothing of the file is taken, the table shown stays.
    if (read == TableReadResult::Unreadable || read == TableReadResult::Cancelled) return false;

    ReadDescription(head);
    if (read != TableReadResult::Read) {
        notice->out_of_memory = read == TableReadResult::OutOfMemory;
        return false;
    }

    const std::string folder = DataDirectoryOf(file_name);
    if (!folder.empty()) SetDataDirectory(folder.c_str());
    Session& app = CurrentSession();
    app.table_store = std::move(table.store);
    if (app.grid == nullptr) return true;
    // Without a header section the file name heads the pages and no footer is applied.
    const bool rebuilt =
        table.header.empty()
            ? RebuildGridFromStore(app.grid->Model(), app.table_store.get(), file_name, nullptr)
            : RebuildGridFromStore(app.grid->Model(), app.table_store.get(), table.header.c_str(),
                                   table.footer.empty() ? nullptr : table.footer.c_str());
    if (!rebuilt) {
        // The grid could not take every column or row: no part of the table is shown.
        app.grid->Clear();
        app.table_store.reset();
        notice->out_of_memory = true;
        return false;
    }
    notice->cut_rows = table.cut_rows;
    return true;
}

int StoreCellTextSource(void* session, int row_key, int column_identifier, char* buffer, int size) {
    const TableStore* store = static_cast<Session*>(session)->table_store.get();
    return CellTextFromStore(store, row_key, column_identifier, buffer, size);
}

void StoreCellColumnSource(void* session, int column_identifier, const std::uint32_t* row_keys, int count,
                           char* texts, std::uint8_t* lengths) {
    const TableStore* store = static_cast<Session*>(session)->table_store.get();
    CellColumnFromStore(store, column_identifier, row_keys, count, texts, lengths);
}

void RefreshColumnTitles() {
    Session& app = CurrentSession();
    if (app.grid != nullptr) RefreshColumnTitles(app.grid->Model(), app.table_store.get());
}
