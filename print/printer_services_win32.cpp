// Reads Windows' printer profile and a printer driver's page metrics.
#include "print/printer_services_win32.h"

#include <cstring>
#include <initializer_list>
#include <memory>

#include "print/printer_names.h"

namespace {

char g_current_printer_name[260];

void CopyCut(char* buffer, int size, const char* text) {
    if (buffer == nullptr || size <= 0) return;
    std::size_t length = std::strlen(text);
    if (length > static_cast<std::size_t>(size - 1)) length = static_cast<std::size_t>(size - 1);
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
}

}  // namespace

void DefaultPrinterName(char* buffer, int size) {
    char device[1025] = {};
    GetProfileStringA("windows", "device", ",,,", device, sizeof device - 1);
    char* comma = std::strchr(device, ',');
    if (comma != nullptr) *comma = '\0';
    CopyCut(buffer, size, device);
}

std::vector<std::string> ListPrinters() {
    char names[2048] = {};
    const DWORD length = GetProfileStringA("devices", nullptr, "no printers", names, sizeof names);
    return ParseProfileKeyList(names, length < sizeof names ? length : sizeof names);
}

PageMetrics ReadPageMetrics(HDC dc, bool in_hundredths) {
    PageMetrics metrics = {};
    if (dc == nullptr) return metrics;
    metrics.paper_width = GetDeviceCaps(dc, PHYSICALWIDTH);
    metrics.unprintable_left = GetDeviceCaps(dc, PHYSICALOFFSETX);
    const int right = metrics.paper_width - (GetDeviceCaps(dc, HORZRES) + metrics.unprintable_left);
    metrics.unprintable_right = right > 0 ? right : 0;
    metrics.paper_height = GetDeviceCaps(dc, PHYSICALHEIGHT);
    metrics.unprintable_top = GetDeviceCaps(dc, PHYSICALOFFSETY);
    const int bottom = metrics.paper_height - GetDeviceCaps(dc, VERTRES) - metrics.unprintable_top;
    metrics.unprintable_bottom = bottom > 0 ? bottom : 0;
    if (in_hundredths) {
        const int dpi_x = GetDeviceCaps(dc, LOGPIXELSX);
        const int dpi_y = GetDeviceCaps(dc, LOGPIXELSY);
        for (std::int32_t* value : {&metrics.paper_width, &metrics.unprintable_left,
                                    &metrics.unprintable_right}) {
            *value = MulDiv(2540, *value, dpi_x);
        }
        for (std::int32_t* value : {&metrics.paper_height, &metrics.unprintable_top,
                                    &metrics.unprintable_bottom}) {
            *value = MulDiv(2540, *value, dpi_y);
        }
    }
    return metrics;
}

void AdoptDriverPaper(PrintSettings& settings) {
    if (settings.printer_kind == kDotMatrixPrinter) return;
    HDC info = CreateICA(nullptr, settings.device_name, nullptr, nullptr);
    if (info == nullptr) return;
    AdoptPaperFromMetrics(settings, ReadPageMetrics(info, true));
    DeleteDC(info);
}

void ToDevicePixels(HDC dc, PrintSettings& settings) {
    ToDevicePixels(settings, GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY));
}

HDC CreatePrinterDC(const PrintSettings& settings, bool info_only) {
    char name[260];
    CurrentPrinterName(name, sizeof name);
    HANDLE printer = nullptr;
    if (!OpenPrinterA(name, &printer, nullptr)) return nullptr;
    HDC dc = nullptr;
    const LONG size = DocumentPropertiesA(nullptr, printer, name, nullptr, nullptr, 0);
    if (size >= static_cast<LONG>(sizeof(DEVMODEA))) {
        std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size]());
        auto* mode = reinterpret_cast<DEVMODEA*>(buffer.get());
        if (mode != nullptr &&
            DocumentPropertiesA(nullptr, printer, name, mode, nullptr, DM_OUT_BUFFER) == IDOK) {
            mode->dmFields |= DM_ORIENTATION;
            mode->dmOrientation = (settings.flags & kLandscapeFlag) ? DMORIENT_LANDSCAPE
                                                                    : DMORIENT_PORTRAIT;
            if (DocumentPropertiesA(nullptr, printer, name, mode, mode,
                                    DM_IN_BUFFER | DM_OUT_BUFFER) == IDOK) {
                dc = info_only ? CreateICA(nullptr, name, nullptr, mode)
                               : CreateDCA(nullptr, name, nullptr, mode);
            }
        }
    }
    ClosePrinter(printer);
    return dc;
}

void CurrentPrinterName(char* buffer, int size) {
    CopyCut(buffer, size, g_current_printer_name);
}

void SetCurrentPrinterName(const char* name) {
    CopyCut(g_current_printer_name, sizeof g_current_printer_name, name ? name : "");
}
