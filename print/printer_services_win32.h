// Windows' printers as the program sees them: the default printer, page metrics, current name.
#ifndef LINTARO_PRINT_PRINTER_SERVICES_WIN32_H
#define LINTARO_PRINT_PRINTER_SERVICES_WIN32_H

#include <windows.h>

#include <string>
#include <vector>

#include "base/print_settings.h"

// The name of Windows' default printer (profile "windows"/"device" up to its first comma), cut
// to size - 1 characters; empty when there is none.
void DefaultPrinterName(char* buffer, int size);

// The installed printers, in the order of the profile's "devices" section.
std::vector<std::string> ListPrinters();

// Paper size and unprintable strips of a printer context, in its pixels or, when in_hundredths
// is set, in hundredths of a millimetre. All zero without a context.
PageMetrics ReadPageMetrics(HDC dc, bool in_hundredths);

// For Windows printers: the paper of the named printer, margins raised to its unprintable
// strips. A printer whose information context does not open leaves the record unchanged.
void AdoptDriverPaper(PrintSettings& settings);

// Converts a copy of the record to the pixels of `dc` (landscape exchanges width and height).
void ToDevicePixels(HDC dc, PrintSettings& settings);

// A device context (or, when info_only, an information context) for the current printer name,
// with the orientation of the record's landscape flag set in the driver's device mode.
// Null when the printer cannot be opened or its device mode cannot be read or written.
HDC CreatePrinterDC(const PrintSettings& settings, bool info_only);

// The printer that Windows printing opens, kept while the program runs.
void CurrentPrinterName(char* buffer, int size);
void SetCurrentPrinterName(const char* name);

#endif
