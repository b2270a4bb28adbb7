// The start-up of lintaro.exe replayed without Windows, for the converter.
#include "convert/table_load.h"

#include <cstdio>
#include <cstring>

#include "base/mul_div.h"
#include "formats/data_file.h"
#include "formats/description.h"
#include "formats/store_to_grid.h"
#include "print/paper_rules.h"
#include "render/bitmap_file.h"

namespace {

const NativePrinter kPrinters[] = {
    {"PDF", 300, PageMetrics{2479, 3508, 0, 0, 0, 0}},
    {"Letter", 300, PageMetrics{2550, 3300, 50, 0, 0, 0}},
};

// The driver's paper in hundredths of a millimetre, as the program reads it (MulDiv rounding).
PageMetrics InHundredths(const NativePrinter& printer) {
    PageMetrics metrics = printer.pixels;
    for (std::int32_t* value : {&metrics.paper_width, &metrics.unprintable_left, &metrics.unprintable_right,
                                &metrics.paper_height, &metrics.unprintable_top, &metrics.unprintable_bottom}) {
        *value = MulDiv32(2540, *value, printer.pixels_per_inch);
    }
    return metrics;
}

void AdoptNativePaper(PrintSettings& settings) {
    if (settings.printer_kind == kDotMatrixPrinter) return;
    if (const NativePrinter* printer = FindNativePrinter(settings.device_name)) {
        AdoptPaperFromMetrics(settings, InHundredths(*printer));
    }
}

class NativePrinters : public PrinterDirectory {
public:
    std::string DefaultPrinterName() override { return kNativeDefaultPrinter; }
    void AdoptDriverPaper(PrintSettings& settings) override { AdoptNativePaper(settings); }
};

PrintSettings StartupPrintSettings() {
    // No Printer.cfg: the built-in record, on the default printer with its paper.
    PrintSettings settings = PrintSettingsFromFileBytes(nullptr, 0);
    ChooseStartupPrinter(settings, kNativeDefaultPrinter);
    if (settings.printer_kind != kDotMatrixPrinter) AdoptNativePaper(settings);
    const PrintSettings defaults =
        settings.printer_kind == kDotMatrixPrinter ? DotMatrixPrintSettings() : BuiltInPrintSettings();
    FallBackToAcceptablePaper(settings, defaults, [](PrintSettings& windows) { AdoptNativePaper(windows); });
    return settings;
}

PrintSettings SettingsOf(void* table) { return static_cast<LoadedTable*>(table)->settings; }

std::string FolderOf(const std::string& file_name) {
    const std::size_t slash = file_name.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : file_name.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

const NativePrinter* FindNativePrinter(std::string_view name) {
    for (const NativePrinter& printer : kPrinters) {
        if (name == printer.name) return &printer;
    }
    return nullptr;
}

bool NativePictureSizes::SizeOf(const char* name, PictureSize& size) const {
    if (name == nullptr || name[0] == '\0' || name[0] == '\\' || name[0] == '/' || std::strchr(name, ':') != nullptr) {
        return false;
    }
    std::string path = folder_ + "/" + name;
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    std::size_t count = 0;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + count);
    std::fclose(file);
    BitmapFileLayout layout{};
    if (!ParseBitmapFile(bytes.data(), bytes.size(), layout)) return false;
    size = PictureSize{layout.width, layout.height < 0 ? -layout.height : layout.height};
    return true;
}

TableLoadResult LoadTableForConversion(const ReadBlockFunction& read_block, const std::string& file_name,
                                       const std::vector<std::uint8_t>* layout, TableUse use, LoadedTable& table,
                                       const ReadAtFunction& read_at, std::uint64_t file_size) {
    // The file is read once, in blocks: its rows go into the store as they arrive and only the
    // head is kept, which is applied afterwards (it does not change how the rows are read).
    DataFileTable read;
    std::string head;
    table.rows = std::make_unique<RowTable>();
    TableReadResult result = TableReadResult::Read;
    if (read_at) {
        RowTable later_rows;
        result = ReadDataFileRowsInHalves(read_at, file_size, head, read, *table.rows, later_rows);
        if (result == TableReadResult::Read && !table.rows->AppendRows(later_rows)) result = TableReadResult::OutOfMemory;
    } else {
        result = ReadDataFileRows(read_block, head, read, *table.rows);
    }
    if (result == TableReadResult::Unreadable) return TableLoadResult::Unreadable;

    table.settings = StartupPrintSettings();
    DescriptionState state;
    state.settings = table.settings;
    state.has_font = true;  // the grid exists before the file is read
    NativePrinters printers;
    ApplyDescription(head, state, printers);
    table.settings = state.settings;
    table.printer_model =
        table.settings.printer_kind == kDotMatrixPrinter ? nullptr : FindNativePrinter(table.settings.device_name);

    switch (result) {
        case TableReadResult::Read: break;
        case TableReadResult::Unreadable: return TableLoadResult::Unreadable;
        // No progress is handed to the reader, so nothing can cancel it.
        case TableReadResult::Cancelled:
        case TableReadResult::NoTitles: return TableLoadResult::NotATable;
        case TableReadResult::OutOfMemory: return TableLoadResult::OutOfMemory;
    }
    table.store = std::move(read.store);
    table.cut_rows = read.cut_rows;
    table.pictures = std::make_unique<NativePictureSizes>(FolderOf(file_name));

    GridEnvironment environment;
    environment.screen = &table.display;
    // Without a printer the program measures pages on the display's information context.
    environment.print = table.printer_model != nullptr ? &table.printer : &table.display;
    environment.pictures = table.pictures.get();
    environment.print_settings = SettingsOf;
    environment.print_settings_context = &table;
    table.grid = std::make_unique<GridModel>(environment);
    GridModel& grid = *table.grid;
    grid.StoreFont(state.font);
    grid.SetCellTextSource(RowTable::FetchCell, table.rows.get(), RowTable::FetchColumn);
    const bool pages = use == TableUse::Pages;
    // A layout file gives its own columns their widths and measures the store's other columns
    // in its font: measuring every cell before it would be undone.
    const bool natural_widths = pages && layout == nullptr;
    // Without a header section the file name heads the pages and no footer is applied.
    const std::uint32_t rows = table.rows->RowCount();
    // Rows taken in order need no heights and no pages: the grid gets them unlaid out below
    // (a sort or filter lays them out as it does in the program). Nor do rows whose columns a
    // layout file replaces: they are laid out once, in the file's columns and font.
    const bool laid_out_here = pages && layout == nullptr;
    const std::uint32_t laid_out_rows = laid_out_here ? rows : 0;
    const bool rebuilt =
        read.header.empty()
            ? RebuildGridFromStoreColumns(grid, table.store.get(), laid_out_rows, file_name.c_str(), nullptr,
                                          natural_widths)
            : RebuildGridFromStoreColumns(grid, table.store.get(), laid_out_rows, read.header.c_str(),
                                          read.footer.empty() ? nullptr : read.footer.c_str(), natural_widths);
    if (!rebuilt) return TableLoadResult::OutOfMemory;
    if (!laid_out_here &&
        (rows > static_cast<std::uint32_t>(INT32_MAX) || !grid.SetRowCountUnlaidOut(static_cast<int>(rows)))) {
        return TableLoadResult::OutOfMemory;
    }
    if (layout != nullptr) {
        if (!grid.ApplyLayoutFileImage(layout->data(), layout->size())) return TableLoadResult::LayoutRefused;
        RefreshColumnTitles(grid, table.store.get());
    }
    // The natural widths above measured the font and laid out the pages already (unless there is
    // no column to measure); a layout file changed both since.
    if (pages && (layout != nullptr || grid.ColumnCount() == 0)) grid.Reformat();
    return TableLoadResult::Loaded;
}
