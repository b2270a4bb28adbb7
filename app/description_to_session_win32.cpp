// The description head applied to the shell's state, with Windows' printers behind it.
#include "app/description_to_session_win32.h"

#include <cstring>

#include "app/session_win32.h"
#include "formats/description.h"
#include "grid/grid_win32.h"
#include "print/printer_services_win32.h"

namespace {

class WindowsPrinters : public PrinterDirectory {
public:
    std::string DefaultPrinterName() override {
        char name[260] = {};
        ::DefaultPrinterName(name, sizeof name);
        return name;
    }
    void AdoptDriverPaper(PrintSettings& settings) override { ::AdoptDriverPaper(settings); }
};

}  // namespace

void ReadDescription(std::string_view head) {
    Session& app = CurrentSession();
    DescriptionState state;
    state.settings = GetPrintSettings();
    std::memcpy(state.window_title, app.window_title, sizeof state.window_title);
    if (app.grid != nullptr) {
        state.font = app.grid->GetFont();
        state.has_font = true;
    }
    WindowsPrinters printers;
    ApplyDescription(head, state, printers);

    std::memcpy(app.window_title, state.window_title, sizeof app.window_title);
    if (state.has_font) app.grid->StoreFont(state.font);
    SetPrintSettings(state.settings);
    // The table is laid out for the head's printer; it must print there too, not on the one
    // Printer.cfg named.
    if (state.settings.printer_kind != kDotMatrixPrinter) SetCurrentPrinterName(state.settings.device_name);
    RefreshInfoContexts();
}
