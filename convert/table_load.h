// A data file loaded for conversion without Windows: head, store, grid with its layout file,
// natural widths and pages, measured on native devices that stand in for Wine's printer and
// display.
#ifndef LINTARO_CONVERT_TABLE_LOAD_H
#define LINTARO_CONVERT_TABLE_LOAD_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/print_settings.h"
#include "convert/native_measuring_device.h"
#include "convert/row_table.h"
#include "formats/data_file.h"
#include "grid/grid_model.h"
#include "store/table_store.h"

// A Windows printer as its driver reports it (GetDeviceCaps, pixels of the printer).
struct NativePrinter {
    const char* name;
    int pixels_per_inch;
    PageMetrics pixels;  // paper and unprintable strips, portrait
};

// The printers the test environment installs: "PDF" (A4, the default) and "Letter" (US Letter
// with a 12-point strip on the left), both 300 dpi. A head naming another printer is laid out
// as the program lays it out when Windows cannot open that printer: on the display.
const NativePrinter* FindNativePrinter(std::string_view name);
constexpr const char* kNativeDefaultPrinter = "PDF";

// Picture sizes from BMP files named relative to the data file's folder (a backslash in a name
// counts as a folder separator); names with a drive or a leading separator are not found.
class NativePictureSizes : public PictureSizeSource {
public:
    explicit NativePictureSizes(std::string folder) : folder_(std::move(folder)) {}
    bool SizeOf(const char* name, PictureSize& size) const override;

private:
    std::string folder_;
};

// Everything a loaded table consists of; the grid measures on the devices and pictures here,
// so the record is not copied or moved once loaded.
struct LoadedTable {
    NativeMeasuringDevice display{96, true};
    NativeMeasuringDevice printer{300, false};
    std::unique_ptr<NativePictureSizes> pictures;
    PrintSettings settings = BuiltInPrintSettings();
    const NativePrinter* printer_model = nullptr;  // null: pages measured on the display
    std::unique_ptr<TableStore> store;  // the columns; the rows are kept in `rows`
    std::unique_ptr<RowTable> rows;
    std::unique_ptr<GridModel> grid;
    std::uint32_t cut_rows = 0;
};

enum class TableLoadResult {
    Loaded,
    Unreadable,     // reading the data file failed part-way
    NotATable,      // no titles line before "Data:"
    OutOfMemory,    // the table could not be held whole
    LayoutRefused,  // the layout bytes are not a column layout file
};

// How much of the program's start-up a conversion needs. Tab-separated, CSV and dBase output
// take the cells in row order (dBase counts characters itself), so the grid is built without
// measuring a cell or laying out a page; boxed text and LPT1 bytes follow the pages, which need
// every width.
enum class TableUse {
    CellsInOrder,
    Pages,
};

// Loads the data file handed over block by block by `read_block` (`file_name` as given, whose
// folder holds its pictures and which heads the pages of a file without a "Header:" section) as
// lintaro.exe does at start-up with the built-in printer settings (no Printer.cfg) and the
// default printer "PDF": the head sets settings, font and printer; the store and the grid
// follow; a layout file's bytes (when `layout` is given) replace the columns, style and font;
// then, for TableUse::Pages, the font is measured and the table paginated for the printer.
// `table` must be freshly made. A file that can also be read at offsets (`read_at` set, with its
// size when opened) has a big rows part read in two halves at once; `read_block` is not used then.
[[nodiscard]] TableLoadResult LoadTableForConversion(const ReadBlockFunction& read_block, const std::string& file_name,
                                                     const std::vector<std::uint8_t>* layout, TableUse use,
                                                     LoadedTable& table, const ReadAtFunction& read_at = nullptr,
                                                     std::uint64_t file_size = 0);

#endif
