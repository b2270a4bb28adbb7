// Defaults, file image and start-up adjustment of the print settings record.
#include "base/print_settings.h"

#include <cstring>
#include <initializer_list>
#include <utility>

#include "base/mul_div.h"

namespace {

std::int32_t ReadLittleEndian32(const unsigned char* bytes) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) |
                                     static_cast<std::uint32_t>(bytes[1]) << 8 |
                                     static_cast<std::uint32_t>(bytes[2]) << 16 |
                                     static_cast<std::uint32_t>(bytes[3]) << 24);
}

void WriteLittleEndian32(unsigned char* bytes, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
}

// The integer fields in file order, so reading and writing share one list.
std::int32_t PrintSettings::*const kIntegerFields[] = {
    &PrintSettings::printer_kind,     &PrintSettings::flags,
    &PrintSettings::paper_width,      &PrintSettings::left_margin,
    &PrintSettings::right_margin,     &PrintSettings::paper_height,
    &PrintSettings::top_margin,       &PrintSettings::bottom_margin,
    &PrintSettings::dot_matrix_model, &PrintSettings::dot_matrix_mode,
    &PrintSettings::paper_feed,
};
constexpr std::size_t kDeviceNameOffset = 44;

void RaiseToStrip(std::int32_t& margin, std::int32_t strip) {
    if (static_cast<std::uint32_t>(margin) < static_cast<std::uint32_t>(strip)) margin = strip;
}

}  // namespace

PrintSettings BuiltInPrintSettings() {
    PrintSettings settings;
    std::memset(&settings, 0, sizeof settings);
    settings.printer_kind = kDefaultWindowsPrinter;
    settings.paper_width = 21000;
    settings.paper_height = 29700;
    return settings;
}

PrintSettings DotMatrixPrintSettings() {
    PrintSettings settings;
    std::memset(&settings, 0, sizeof settings);
    settings.printer_kind = kDotMatrixPrinter;
    settings.paper_width = 80;
    settings.paper_height = 60;
    return settings;
}

PrintSettings PrintSettingsFromFileBytes(const unsigned char* bytes, std::size_t count) {
    if (bytes == nullptr || count < sizeof(PrintSettings)) return BuiltInPrintSettings();
    PrintSettings settings;
    std::memset(&settings, 0, sizeof settings);
    std::size_t offset = 0;
    for (auto field : kIntegerFields) {
        settings.*field = ReadLittleEndian32(bytes + offset);
        offset += 4;
    }
    std::memcpy(settings.device_name, bytes + kDeviceNameOffset, sizeof settings.device_name);
    // A stored name without its zero would run into whatever follows the record.
    settings.device_name[sizeof settings.device_name - 1] = '\0';
    return settings;
}

void PrintSettingsToFileBytes(const PrintSettings& settings, unsigned char (&bytes)[304]) {
    std::size_t offset = 0;
    for (auto field : kIntegerFields) {
        WriteLittleEndian32(bytes + offset, settings.*field);
        offset += 4;
    }
    std::memcpy(bytes + kDeviceNameOffset, settings.device_name, sizeof settings.device_name);
}

void ChooseStartupPrinter(PrintSettings& settings, const char* default_printer_name) {
    // A kind print setup does not offer, or another printer without a name, means no choice was
    // made: Windows' default printer then.
    const bool unnamed_other = settings.printer_kind == kOtherWindowsPrinter && settings.device_name[0] == '\0';
    if (settings.printer_kind < kDefaultWindowsPrinter || settings.printer_kind > kDotMatrixPrinter || unnamed_other) {
        settings.printer_kind = kDefaultWindowsPrinter;
    }
    if (settings.printer_kind != kDefaultWindowsPrinter) return;
    std::memset(settings.device_name, 0, sizeof settings.device_name);
    if (default_printer_name == nullptr || default_printer_name[0] == '\0') {
        settings = DotMatrixPrintSettings();
        return;
    }
    std::strncpy(settings.device_name, default_printer_name, sizeof settings.device_name - 1);
}

void AdoptPaperFromMetrics(PrintSettings& settings, const PageMetrics& metrics) {
    settings.paper_width = metrics.paper_width;
    settings.paper_height = metrics.paper_height;
    RaiseToStrip(settings.left_margin, metrics.unprintable_left);
    RaiseToStrip(settings.right_margin, metrics.unprintable_right);
    RaiseToStrip(settings.top_margin, metrics.unprintable_top);
    RaiseToStrip(settings.bottom_margin, metrics.unprintable_bottom);
}

void ToDevicePixels(PrintSettings& settings, int pixels_per_inch_x, int pixels_per_inch_y) {
    if (settings.flags & kLandscapeFlag) std::swap(settings.paper_width, settings.paper_height);
    for (std::int32_t* value : {&settings.paper_width, &settings.left_margin, &settings.right_margin}) {
        *value = MulDiv32(pixels_per_inch_x, *value, 2540);
    }
    for (std::int32_t* value : {&settings.paper_height, &settings.top_margin, &settings.bottom_margin}) {
        *value = MulDiv32(pixels_per_inch_y, *value, 2540);
    }
}
