// Fuzzes loading Printer.cfg bytes and the start-up adjustments that follow.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/print_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PrintSettings settings = PrintSettingsFromFileBytes(data, size);
    if (strnlen(settings.device_name, sizeof settings.device_name) >= sizeof settings.device_name) {
        std::abort();
    }
    unsigned char image[304];
    PrintSettingsToFileBytes(settings, image);
    if (size >= 304 && std::memcmp(image, data, 44) != 0) std::abort();

    const char* default_printer = size % 2 ? "PDF" : "";
    ChooseStartupPrinter(settings, default_printer);
    PageMetrics metrics = {};
    if (size >= 24) std::memcpy(&metrics, data, sizeof metrics);
    AdoptPaperFromMetrics(settings, metrics);
    if (strnlen(settings.device_name, sizeof settings.device_name) >= sizeof settings.device_name) {
        std::abort();
    }
    return 0;
}
