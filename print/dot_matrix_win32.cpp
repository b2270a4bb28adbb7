// The dot-matrix print command: the page choice, the port LPT1 and the sheet prompt.
#include "print/dot_matrix_win32.h"

#include "print/byte_sink_win32.h"

namespace {

class QuestionPrompt : public SheetPrompt {
public:
    QuestionPrompt(HWND owner, bool (*ask)(HWND)) : owner_(owner), ask_(ask) {}
    bool AskForNewSheet() override { return ask_(owner_); }

private:
    HWND owner_;
    bool (*ask_)(HWND);
};

}  // namespace

TextPrintRun PrintDotMatrix(HWND owner, GridModel& grid, const PrintSettings& settings,
                            const DotMatrixQuestions& questions) {
    TextPrintRun run;
    TextPageChoice choice;
    choice.from_page = 1;
    choice.to_page = CountLayoutPages(grid);
    choice.subset = 0;
    if (questions.choose_pages == nullptr || questions.ask_for_sheet == nullptr ||
        questions.tell_port_unavailable == nullptr || !questions.choose_pages(owner, choice)) {
        run.cancelled = true;
        return run;
    }
    const HANDLE port = questions.open_port != nullptr
                            ? questions.open_port()
                            : CreateFileA("LPT1", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        // Printing silently into nothing would leave the user waiting at the printer.
        run.port_unavailable = true;
        questions.tell_port_unavailable(owner);
        return run;
    }
    const PrintSettings copy = settings;
    FileHandleSink sink(port);
    QuestionPrompt prompt(owner, questions.ask_for_sheet);
    run = PrintTextPages(grid, sink, choice, copy, prompt, questions.progress);
    CloseHandle(port);
    return run;
}
