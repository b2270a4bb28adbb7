// The dot-matrix print command: the page choice, the port LPT1 and the sheet prompt.
#include "print/dot_matrix_win32.h"

#include "dialogs/dialog_helpers.h"
#include "dialogs/dialog_helpers_win32.h"
#include "print/byte_sink_win32.h"

const char kPortUnavailableLine1[] = "Принтерът на LPT1 не може да бъде отворен.";
const char kPortUnavailableLine2[] = "Проверете дали е свързан и включен.";

namespace {

bool ShowSheetMessage(HWND owner) { return AskForNewSheet(owner); }

class QuestionPrompt : public SheetPrompt {
public:
    QuestionPrompt(HWND owner, bool (*ask)(HWND)) : owner_(owner), ask_(ask ? ask : &ShowSheetMessage) {}
    bool AskForNewSheet() override { return ask_(owner_); }

private:
    HWND owner_;
    bool (*ask_)(HWND);
};

}  // namespace

bool AskForNewSheet(HWND owner) {
    return ShowMessage(owner, MB_OKCANCEL, kMessageTitle, kNewSheetPrompt) == IDOK;
}

TextPrintRun PrintDotMatrix(HWND owner, GridModel& grid, const PrintSettings& settings,
                            const DotMatrixQuestions& questions) {
    TextPrintRun run;
    TextPageChoice choice;
    choice.from_page = 1;
    choice.to_page = CountLayoutPages(grid);
    choice.subset = 0;
    if (questions.choose_pages == nullptr || !questions.choose_pages(owner, choice)) {
        run.cancelled = true;
        return run;
    }
    const HANDLE port = questions.open_port != nullptr
                            ? questions.open_port()
                            : CreateFileA("LPT1", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        // Printing silently into nothing would leave the user waiting at the printer.
        run.port_unavailable = true;
        ShowMessage(owner, MB_OK | MB_ICONSTOP, kMessageTitle, kPortUnavailableLine1, kPortUnavailableLine2);
        return run;
    }
    const PrintSettings copy = settings;
    FileHandleSink sink(port);
    QuestionPrompt prompt(owner, questions.ask_for_sheet);
    run = PrintTextPages(grid, sink, choice, copy, prompt);
    CloseHandle(port);
    return run;
}
