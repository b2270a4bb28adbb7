// The bridge from the table store to the grid: columns, titles and cell texts.
#include "formats/store_to_grid.h"

#include <cstdint>
#include <cstring>

#include "grid/cell_text_source.h"
#include "grid/grid_model.h"
#include "render/text_layout.h"
#include "store/table_store.h"

bool RebuildGridFromStore(GridModel& grid, const TableStore* store, const char* header,
                          const char* footer, bool natural_widths) {
    if (store == nullptr) return true;
    return RebuildGridFromStoreColumns(grid, store, store->CountRows(), header, footer, natural_widths);
}

bool RebuildGridFromStoreColumns(GridModel& grid, const TableStore* store, std::uint32_t rows, const char* header,
                                 const char* footer, bool natural_widths) {
    if (store == nullptr) return true;
    grid.Clear();
    bool whole = true;
    for (int k = 0; k < store->CountColumns(); ++k) {
        StoreColumn column;
        if (!store->GetColumn(k, column)) continue;
        if (!grid.AddColumn(StoreColumnIdentifier(column), column.name)) {
            whole = false;
            continue;
        }
        const int index = grid.ColumnCount() - 1;
        GridColumnInfo info;
        grid.GetColumnInfo(index, info);
        info.type = column.type;
        if (column.type == kNumberColumn) info.alignment = kAlignRight;
        if (column.type == kPictureColumn) info.alignment = kAlignCenter;
        grid.SetColumnInfo(index, info);
    }
    if (header != nullptr) grid.SetHeaderText(header);
    if (footer != nullptr) grid.SetFooterText(footer);
    if (rows > static_cast<std::uint32_t>(INT32_MAX)) return false;
    const bool rows_made = natural_widths ? grid.SetRowCountAndNaturalWidths(static_cast<int>(rows))
                                          : grid.SetRowCount(static_cast<int>(rows));
    if (!rows_made) whole = false;
    return whole;
}

void RefreshColumnTitles(GridModel& grid, const TableStore* store) {
    if (store == nullptr) return;
    // Titles are not part of the layout file: fetching them again leaves it unmodified.
    const bool modified = grid.IsModified();
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        const auto identifier = static_cast<std::int16_t>(grid.ColumnSource(i) & 0xFFFF);
        StoreColumn column;
        if (identifier == 0 || !store->FindColumn(identifier, column)) continue;
        GridColumnInfo info;
        grid.GetColumnInfo(i, info);
        std::memset(info.title, 0, sizeof info.title);
        std::strncpy(info.title, column.name, sizeof info.title - 1);
        grid.SetColumnInfo(i, info);
    }
    grid.SetModified(modified);
}

int CellTextFromStore(const TableStore* store, int row_key, int column_identifier, char* buffer,
                      int size) {
    if (buffer == nullptr) return 0;
    // A size of 0 would mean "no limit" to the store, which the buffer cannot take.
    if (store == nullptr || size <= 0) {
        buffer[0] = '\0';
        return 0;
    }
    const std::size_t length =
        store->GetCellText(row_key, static_cast<std::int16_t>(column_identifier),
                           reinterpret_cast<std::uint8_t*>(buffer), static_cast<std::size_t>(size));
    buffer[length] = '\0';
    return static_cast<int>(length);
}

void CellColumnFromStore(const TableStore* store, int column_identifier, const std::uint32_t* row_keys,
                         int count, char* texts, std::uint8_t* lengths) {
    if (row_keys == nullptr || lengths == nullptr || count <= 0) return;
    static_assert(TableStore::kCellStride == kCellTextStride, "one cell stride for the store and the grid");
    if (store == nullptr) {
        std::memset(lengths, 0, static_cast<std::size_t>(count));
        return;
    }
    store->GetColumnCells(static_cast<std::int16_t>(column_identifier), row_keys,
                          static_cast<std::size_t>(count), reinterpret_cast<std::uint8_t*>(texts),
                          lengths);
}
