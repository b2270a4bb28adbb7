// The description head of a data file: caption, printer, page, orientation, code table, font.
#ifndef LINTARO_FORMATS_DESCRIPTION_H
#define LINTARO_FORMATS_DESCRIPTION_H

#include <cstddef>
#include <string>
#include <string_view>

#include "render/font_record.h"
#include "base/print_settings.h"

// What the head may change: a copy of the current settings, caption and table font.
struct DescriptionState {
    PrintSettings settings = BuiltInPrintSettings();
    char window_title[256] = "Lintaro 2.0";
    FontSpec font;
    bool has_font = false;  // the table font is only read when a grid exists
};

// The two questions the head asks of Windows' printers.
class PrinterDirectory {
public:
    virtual ~PrinterDirectory() = default;
    // Windows' default printer; empty when there is none.
    virtual std::string DefaultPrinterName() = 0;
    // The named printer's paper, margins raised to its unprintable strips; unchanged when the
    // printer cannot be opened.
    virtual void AdoptDriverPaper(PrintSettings& settings) = 0;
};

// Applies every key of the head to the state. Never fails: values that cannot be used leave
// their setting as it was. For a Windows printer the paper size always comes from the printer.
void ApplyDescription(std::string_view head, DescriptionState& state, PrinterDirectory& printers);

// The value of `key` in the head: from after its first occurrence at the start of a line (after
// CR or LF) to the line's end (CR or LF).
// Sets `found` to whether the key occurs.
std::string_view DescriptionValue(std::string_view head, std::string_view key, bool& found);

// A number of the "Page:" key read from `from` on within the value: the first run of digits and
// points (at most 31 characters, else 0); "210.5" gives 21005 and "210.50" 21050.
std::int32_t ReadPageNumber(std::string_view value, std::size_t from);

#endif
