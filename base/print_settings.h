// The printer and page settings record, stored byte for byte as Printer.cfg.
#ifndef LINTARO_BASE_PRINT_SETTINGS_H
#define LINTARO_BASE_PRINT_SETTINGS_H

#include <cstddef>
#include <cstdint>

// Printer kinds.
enum : std::int32_t {
    kDefaultWindowsPrinter = 0,
    kOtherWindowsPrinter = 1,
    kDotMatrixPrinter = 2,  // boxed text on LPT1
};

// Bits of PrintSettings::flags.
enum : std::int32_t {
    kDosCyrillicFlag = 2,
    kLandscapeFlag = 4,
};

// Sizes are hundredths of a millimetre, portrait, for Windows printers; characters per line
// and lines per page for the dot-matrix printer. The layout is the file format: 304 bytes,
// little-endian, no padding.
struct PrintSettings {
    std::int32_t printer_kind;
    std::int32_t flags;
    std::int32_t paper_width;
    std::int32_t left_margin;
    std::int32_t right_margin;
    std::int32_t paper_height;
    std::int32_t top_margin;
    std::int32_t bottom_margin;
    std::int32_t dot_matrix_model;
    std::int32_t dot_matrix_mode;
    std::int32_t paper_feed;  // 1 continuous, 0 single sheets fed by hand
    char device_name[260];
};
static_assert(sizeof(PrintSettings) == 304, "PrintSettings is the 304-byte Printer.cfg record");

// What a printer driver reports: paper size and the unprintable strip on each side.
struct PageMetrics {
    std::int32_t paper_width;
    std::int32_t paper_height;
    std::int32_t unprintable_left;
    std::int32_t unprintable_right;
    std::int32_t unprintable_top;
    std::int32_t unprintable_bottom;
};

// A4 portrait for the default Windows printer, no margins.
PrintSettings BuiltInPrintSettings();

// 80 characters by 60 lines on the dot-matrix printer: the choice when Windows has no printer.
PrintSettings DotMatrixPrintSettings();

// The record held by the bytes of Printer.cfg: fewer than 304 bytes give the built-in record,
// more contribute their first 304. The device name is always terminated within its field.
PrintSettings PrintSettingsFromFileBytes(const unsigned char* bytes, std::size_t count);

// The record's 304 bytes as Printer.cfg holds them.
void PrintSettingsToFileBytes(const PrintSettings& settings, unsigned char (&bytes)[304]);

// The start-up choice of printer: kind 0 takes the name of Windows' default printer, and with
// no default printer the whole record becomes the dot-matrix defaults. An unknown kind, or kind
// 1 without a printer name, counts as kind 0.
void ChooseStartupPrinter(PrintSettings& settings, const char* default_printer_name);

// Takes the driver's paper size and raises every margin narrower than the unprintable strip on
// its side to that strip (both in hundredths of a millimetre, compared unsigned).
void AdoptPaperFromMetrics(PrintSettings& settings, const PageMetrics& metrics);

// Converts a copy of the record for a device of the given pixels per inch: landscape first
// exchanges paper width and height, then sizes and margins become device pixels.
void ToDevicePixels(PrintSettings& settings, int pixels_per_inch_x, int pixels_per_inch_y);

#endif
