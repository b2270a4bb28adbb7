// The dot-matrix print run's message boxes.
#include "dialogs/dot_matrix_prompts_win32.h"

#include "dialogs/dialog_helpers.h"
#include "dialogs/dialog_helpers_win32.h"

const char kNewSheetPrompt[] = "Моля, поставете нов лист хартия.";
const char kPortUnavailableLine1[] = "Принтерът на LPT1 не може да бъде отворен.";
const char kPortUnavailableLine2[] = "Проверете дали е свързан и включен.";

bool AskForNewSheet(HWND owner) {
    return ShowMessage(owner, MB_OKCANCEL, kMessageTitle, kNewSheetPrompt) == IDOK;
}

void TellPortUnavailable(HWND owner) {
    ShowMessage(owner, MB_OK | MB_ICONSTOP, kMessageTitle, kPortUnavailableLine1, kPortUnavailableLine2);
}
