// Fuzzes the description head alone: every key against a printer directory that answers like
// Windows with one default printer, so the Windows-printer paths run too.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "formats/description.h"

namespace {

class OnePrinter : public PrinterDirectory {
public:
    std::string DefaultPrinterName() override { return "PDF"; }
    void AdoptDriverPaper(PrintSettings& settings) override {
        settings.paper_width = 21000;
        settings.paper_height = 29700;
    }
};

void CheckTerminated(const char* text, std::size_t capacity) {
    if (strnlen(text, capacity) >= capacity) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view head(reinterpret_cast<const char*>(data), size);
    DescriptionState state;
    state.has_font = true;
    OnePrinter printers;
    ApplyDescription(head, state, printers);
    CheckTerminated(state.window_title, sizeof state.window_title);
    CheckTerminated(state.settings.device_name, sizeof state.settings.device_name);
    CheckTerminated(state.font.face_name, sizeof state.font.face_name);
    if (state.font.size < 50 || state.font.size > 1000) std::abort();
    if (state.settings.printer_kind < kDefaultWindowsPrinter || state.settings.printer_kind > kDotMatrixPrinter) std::abort();
    // Read twice, the same head must give the same state: nothing depends on leftovers.
    DescriptionState again;
    again.has_font = true;
    ApplyDescription(head, again, printers);
    if (std::memcmp(&again.settings, &state.settings, sizeof state.settings) != 0) std::abort();
    return 0;
}
